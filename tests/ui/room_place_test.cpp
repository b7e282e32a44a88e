// The room window as it opens: where it stands (centred the first time,
// then where the person left it, unless that place is gone or its file is
// damaged) and where the first keystrokes go.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>

#include "core/files.h"
#include "platform/dui/inputs.h"
#include "platform/dui/window_rules.h"
#include "ui_test_util.h"

namespace {

QRect Area() { return QGuiApplication::primaryScreen()->availableGeometry(); }

// A room window as the program makes one, sized to fit the test screen
// (smaller than the window's own minimum).
struct Room {
    uitest::FakeActions actions;
    CRoomUI w{actions};
    Room() {
        EXPECT_TRUE(w.Create()) << w.SkinError();
        w.setMinimumSize(200, 150);
        w.resize(400, 300);
    }
};

class RoomPlace : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    std::string Saved() const {
        std::string text;
        files::ReadFile(file, text);
        return text;
    }

    QTemporaryDir dir;
    // conf/ does not exist yet: saving makes it.
    const std::string file = dir.path().toStdString() + "/conf/room_window";
};

void ExpectCentred(const CRoomUI& w) {
    EXPECT_LE((w.geometry().center() - Area().center()).manhattanLength(), 2)
        << "at " << w.x() << "," << w.y() << " on a screen of " << Area().width() << "x" << Area().height();
}

QWidget* Editor(const CRoomUI& w, const char* name) {
    if (auto* rich = w.FindControl<CRichEditUI>(name)) return rich->Edit();
    if (auto* line = w.FindControl<CEditUI>(name)) return line->Edit();
    return nullptr;
}

}  // namespace

TEST_F(RoomPlace, TheFirstStartIsCentredAndThePlaceLeftComesBack) {
    const QRect left(Area().x() + 30, Area().y() + 40, 420, 310);
    {
        Room r;
        EXPECT_FALSE(r.w.RememberPlace(file)) << "nothing remembered yet";
        ExpectCentred(r.w);
        r.w.ShowWindow(true);
        r.w.setGeometry(left);
        uitest::Pump([&] { return r.w.geometry() == left; });
        r.w.ShowWindow(false);  // leaving the room hides the window
        EXPECT_EQ(dui::ParseWindowPlace(Saved()),
                  (dui::WindowPlace{{left.x(), left.y(), left.width(), left.height()}, false}));
    }
    Room again;
    EXPECT_TRUE(again.w.RememberPlace(file));
    EXPECT_EQ(again.w.geometry(), left);
}

TEST_F(RoomPlace, AMaximisedWindowComesBackMaximisedOverItsOwnPlace) {
    const QRect normal(Area().x() + 10, Area().y() + 20, 380, 290);
    {
        Room r;
        r.w.RememberPlace(file);
        r.w.setGeometry(normal);
        r.w.ShowWindow(true);
        r.w.Maximize();
        // Still shown when the program ends: the window's end saves it.
    }
    const auto saved = dui::ParseWindowPlace(Saved());
    ASSERT_TRUE(saved) << Saved();
    EXPECT_TRUE(saved->maximised);
    EXPECT_EQ(saved->normal, (dui::Box{normal.x(), normal.y(), normal.width(), normal.height()}));

    Room again;
    EXPECT_TRUE(again.w.RememberPlace(file));
    EXPECT_TRUE(again.w.IsMaximised());
    EXPECT_EQ(again.w.NormalGeometry(), normal);
    again.w.Restore();
    EXPECT_EQ(again.w.geometry(), normal);
}

TEST_F(RoomPlace, ADamagedFileOrAPlaceOffEveryScreenFallsBackToCentred) {
    const std::string offScreen =
        dui::FormatWindowPlace({{Area().right() + 500, Area().y() + 10, 400, 300}, false});
    for (const std::string& text : {std::string("x=10\ny=ten\n"), std::string("\0\xff\x01garbage", 10),
                                    std::string(), offScreen}) {
        ASSERT_TRUE(paths::MakeDirs(file));
        ASSERT_TRUE(files::WriteFileAtomic(file, text));
        Room r;
        EXPECT_FALSE(r.w.RememberPlace(file)) << text;
        ExpectCentred(r.w);
        // The next hide writes a good place over it.
        r.w.ShowWindow(true);
        r.w.ShowWindow(false);
        EXPECT_TRUE(dui::ParseWindowPlace(Saved())) << Saved();
    }
}

TEST_F(RoomPlace, AWindowThatCannotKeepItsPlaceStillOpensCentred) {
    // conf/ cannot be made: a file stands where the folder would be.
    ASSERT_TRUE(files::WriteFileAtomic(dir.path().toStdString() + "/conf", "in the way"));
    Room r;
    EXPECT_FALSE(r.w.RememberPlace(file));
    ExpectCentred(r.w);
    r.w.ShowWindow(true);
    EXPECT_FALSE(r.w.SavePlace());
    r.w.ShowWindow(false);
}

TEST(RoomFocus, TheFirstKeystrokesGoToTheChatInput) {
    Room r;
    QWidget* input = Editor(r.w, "Edit_SendChat");
    QWidget* search = Editor(r.w, "EditSearch");
    ASSERT_TRUE(input && search);
    r.w.ShowWindow(true);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&r.w));
    EXPECT_EQ(QApplication::focusWidget(), input);
    QTest::keyClicks(QApplication::focusWidget(), "hi all");
    EXPECT_EQ(r.w.GetControlText("Edit_SendChat"), "hi all");
    EXPECT_EQ(r.w.GetControlText("EditSearch"), "") << "the user-id search box takes nothing";

    // Shown again on entering the next room, the input is what the window
    // gives the keyboard to once it is active.
    search->setFocus();
    ASSERT_EQ(r.w.focusWidget(), search);
    r.w.ShowWindow(false);
    r.w.ShowWindow(true);
    EXPECT_EQ(r.w.focusWidget(), input);
    r.w.ShowWindow(false);
}
