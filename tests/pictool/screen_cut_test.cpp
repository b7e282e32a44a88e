// The screen cut under the offscreen platform: the region dragged on the
// picture of the screen is what lands in the file, in its pixels; Escape
// and an empty region write nothing.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <filesystem>
#include <functional>

#include "platform/pictool/cut_overlay.h"
#include "platform/pictool/pictool.h"

namespace fs = std::filesystem;
using pictool::Selection;

namespace {

// Runs `act` on the overlay once it shows.
void WhenOverlay(std::function<void(QWidget*)> act) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == "screen_cut" && w->isVisible()) {
                timer->stop();
                timer->deleteLater();
                act(w);
                return;
            }
    });
    timer->start(10);
}

void Drag(QWidget* w, QPoint from, QPoint to) {
    QTest::mousePress(w, Qt::LeftButton, {}, from);
    QTest::mouseMove(w, (from + to) / 2);
    QTest::mouseMove(w, to);
    QTest::mouseRelease(w, Qt::LeftButton, {}, to);
}

class ScreenCut : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("zeri-cut-" + std::to_string(::getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    fs::path dir;
};

}  // namespace

TEST(CutSelection, NormalisedClippedAndEmptyWithoutArea) {
    const QRect bounds(0, 0, 100, 80);
    EXPECT_EQ(Selection({50, 40}, {10, 20}, bounds), QRect(10, 20, 40, 20));
    EXPECT_EQ(Selection({-20, -5}, {30, 500}, bounds), QRect(0, 0, 30, 80));
    EXPECT_TRUE(Selection({10, 10}, {10, 60}, bounds).isEmpty());  // a line
    EXPECT_TRUE(Selection({200, 200}, {300, 300}, bounds).isEmpty());  // off the screen
}

TEST_F(ScreenCut, TheDraggedRegionIsSavedAndTheOwnerComesBack) {
    ASSERT_EQ(PICTOOL_CanCut(), "");
    QWidget owner;
    owner.setGeometry(0, 0, 400, 300);
    owner.show();
    const std::string file = (dir / "cut.png").string();
    // The owner is hidden for the picture, so the cut shows the empty desktop.
    WhenOverlay([](QWidget* w) {
        Drag(w, {20, 30}, {120, 90});
        QTest::keyClick(w, Qt::Key_Return);
    });
    std::string why;
    ASSERT_EQ(PICTOOL_ScreenCut(&owner, file, &why), PICTOOL_CUT_SAVED) << why;
    QImage saved(QString::fromStdString(file));
    ASSERT_FALSE(saved.isNull());
    const qreal dpr = owner.devicePixelRatioF();
    EXPECT_EQ(saved.width(), qRound(100 * dpr));
    EXPECT_EQ(saved.height(), qRound(60 * dpr));
    EXPECT_TRUE(owner.isVisible());
}

TEST_F(ScreenCut, EscapeARightClickAndAnEmptyRegionWriteNothing) {
    const std::string file = (dir / "none.jpg").string();
    WhenOverlay([](QWidget* w) {
        Drag(w, {20, 30}, {120, 90});
        QTest::keyClick(w, Qt::Key_Escape);
    });
    EXPECT_EQ(PICTOOL_ScreenCut(nullptr, file), PICTOOL_CUT_CANCELLED);
    WhenOverlay([](QWidget* w) { QTest::mouseClick(w, Qt::RightButton, {}, {5, 5}); });
    EXPECT_EQ(PICTOOL_ScreenCut(nullptr, file), PICTOOL_CUT_CANCELLED);
    WhenOverlay([](QWidget* w) {
        QTest::mouseClick(w, Qt::LeftButton, {}, {40, 40});  // a click is no region
        QTest::keyClick(w, Qt::Key_Return);
    });
    EXPECT_EQ(PICTOOL_ScreenCut(nullptr, file), PICTOOL_CUT_CANCELLED);
    EXPECT_FALSE(fs::exists(file));
}

TEST_F(ScreenCut, AFileThatCannotBeWrittenIsARefusalWithItsReason) {
    const std::string file = (dir / "no-such-folder" / "cut.jpg").string();
    WhenOverlay([](QWidget* w) {
        Drag(w, {10, 10}, {50, 50});
        QTest::keyClick(w, Qt::Key_S, Qt::ControlModifier);
    });
    std::string why;
    EXPECT_EQ(PICTOOL_ScreenCut(nullptr, file, &why), PICTOOL_CUT_REFUSED);
    EXPECT_EQ(why, "截图无法保存");
}

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
