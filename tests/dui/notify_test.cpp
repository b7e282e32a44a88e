// Every control event reaches the window as (type, sender name); the window
// base keeps its promises about keys, closing, dragging and bad skins.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QSlider>
#include <QTest>
#include <QTextEdit>

#include "dui_test_util.h"
#include "platform/dui/controls.h"
#include "platform/dui/inputs.h"
#include "platform/dui/list.h"

using duitest::Click;
using duitest::Geo;
using duitest::Key;
using duitest::Note;
using duitest::TestWindow;

namespace {

class NotifyTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(w.Create()) << w.SkinError();
        w.show();
        w.notes.clear();
    }
    TestWindow w{duitest::TestSkins(), "notify.xml"};
};

}  // namespace

TEST(WindowBase, BuildsFromTheSkinAndSaysSoOnce) {
    TestWindow w(duitest::TestSkins(), "notify.xml");
    ASSERT_TRUE(w.Create()) << w.SkinError();
    ASSERT_EQ(w.Of("windowinit").size(), 1u);
    EXPECT_EQ(w.size(), QSize(480, 360));
    EXPECT_EQ(w.minimumSize(), QSize(200, 150));
    EXPECT_EQ(w.Caption(), (dui::Rect4{0, 0, 0, 32}));
    EXPECT_EQ(w.SizeBox(), (dui::Rect4{4, 4, 4, 4}));
    EXPECT_EQ(w.windowTitle(), "notify test");
    EXPECT_TRUE(w.windowFlags() & Qt::FramelessWindowHint);
    // Unknown names go to the callback, lower-cased; what it cannot make is skipped.
    EXPECT_NE(std::find(w.asked.begin(), w.asked.end(), "buttonex"), w.asked.end());
    EXPECT_NE(std::find(w.asked.begin(), w.asked.end(), "mystery"), w.asked.end());
    EXPECT_NE(w.FindControl<CButtonExUI>("btn_ex"), nullptr);
    EXPECT_EQ(w.FindControl("no_such_control"), nullptr);
    // Class defaults apply before the control's own attributes.
    EXPECT_EQ(w.FindControl("btn_ok")->FixedSize().cy, 24);
    EXPECT_FALSE(w.IsControlVisible("hidden_label"));
    EXPECT_TRUE(w.IsControlVisible("btn_ok"));
}

TEST(WindowBase, MissingControlsAreSkippedNotFatal) {
    TestWindow w(duitest::TestSkins(), "notify.xml");
    ASSERT_TRUE(w.Create());
    EXPECT_EQ(w.FindControl("bnt_nothing"), nullptr);
    EXPECT_EQ(w.FindControl(""), nullptr);
    EXPECT_FALSE(w.SetControlText("bnt_nothing", "x"));
    EXPECT_FALSE(w.SetControlVisible("bnt_nothing", false));
    EXPECT_FALSE(w.SetControlEnabled("bnt_nothing", false));
    EXPECT_FALSE(w.SetControlAttribute("bnt_nothing", "normalimage", "a.png"));
    EXPECT_FALSE(w.SetControlSelected("btn_ok", true)) << "a button is no option";
    EXPECT_EQ(w.GetControlText("bnt_nothing"), "");
    EXPECT_FALSE(w.IsControlVisible("bnt_nothing"));

    EXPECT_TRUE(w.SetControlText("Lable_RoomName", "room 42"));
    EXPECT_EQ(w.GetControlText("Lable_RoomName"), "room 42");
    EXPECT_TRUE(w.SetControlText("edit_name", "typed"));
    EXPECT_EQ(w.FindControl<CEditUI>("edit_name")->Edit()->text(), "typed");
    EXPECT_TRUE(w.SetControlAttribute("Lable_RoomName", "TextColor", "#FF00FF00"));
    EXPECT_EQ(w.FindControl<CLabelUI>("Lable_RoomName")->CurrentTextColor(), QColor(0, 255, 0));
    EXPECT_TRUE(w.SetControlEnabled("Lable_RoomName", false));
    EXPECT_EQ(w.FindControl<CLabelUI>("Lable_RoomName")->CurrentTextColor(), QColor(0x90, 0x90, 0x90))
        << "disabled text takes the window's disabled colour";
    EXPECT_TRUE(w.SetControlSelected("opt_b", true));
    EXPECT_TRUE(w.IsControlSelected("opt_b"));
    EXPECT_FALSE(w.IsControlSelected("opt_a"));
    EXPECT_TRUE(w.Of("selectchanged").empty()) << "setting by program sends nothing";
}

TEST(WindowBase, BrokenOrMissingSkinsLeaveAnEmptyWorkingWindow) {
    for (const char* file : {"broken.xml", "no_such_skin.xml"}) {
        TestWindow w(duitest::TestSkins(), file);
        EXPECT_FALSE(w.Create());
        EXPECT_FALSE(w.IsSkinLoaded());
        EXPECT_FALSE(w.SkinError().empty());
        EXPECT_NE(w.SkinError().find(file), std::string::npos) << w.SkinError();
        EXPECT_EQ(w.Root(), nullptr);
        EXPECT_EQ(w.FindControl("b"), nullptr);
        EXPECT_FALSE(w.SetControlText("b", "x"));
        EXPECT_TRUE(w.Of("windowinit").empty());
        w.show();
        w.resize(120, 80);
        Key(&w, Qt::Key_Escape);
        EXPECT_FALSE(w.isVisible()) << "an empty window still closes";
    }
}

TEST_F(NotifyTest, ButtonClickNamesTheButton) {
    Click(w.FindControl("btn_ok"));
    EXPECT_EQ(w.notes, (std::vector<Note>{{"click", "btn_ok", 0, 0}}));
    w.notes.clear();
    // Released outside, or disabled: no click.
    auto* b = w.FindControl("btn_ok");
    duitest::SendMouse(b, QEvent::MouseButtonPress, QPoint(5, 5), Qt::LeftButton, Qt::LeftButton);
    duitest::SendMouse(b, QEvent::MouseMove, QPoint(500, 5), Qt::NoButton, Qt::LeftButton);
    duitest::SendMouse(b, QEvent::MouseButtonRelease, QPoint(500, 5), Qt::LeftButton, Qt::NoButton);
    w.SetControlEnabled("btn_ok", false);
    Click(b);
    EXPECT_TRUE(w.notes.empty());
}

TEST_F(NotifyTest, OptionGroupsExcludeEachOtherAndReportTheChange) {
    auto* a = w.FindControl<COptionUI>("opt_a");
    auto* b = w.FindControl<COptionUI>("opt_b");
    ASSERT_TRUE(a && b);
    EXPECT_TRUE(a->IsSelected());
    Click(b);
    EXPECT_EQ(w.notes, (std::vector<Note>{{"click", "opt_b", 0, 0}, {"selectchanged", "opt_b", 0, 0}}));
    EXPECT_EQ(w.notes[1].wParam, 1u);
    EXPECT_TRUE(b->IsSelected());
    EXPECT_FALSE(a->IsSelected());
    w.notes.clear();
    Click(b);
    EXPECT_TRUE(b->IsSelected()) << "a selected group member stays selected";
    EXPECT_TRUE(w.Of("selectchanged").empty());

    auto* chk = w.FindControl<CCheckBoxUI>("chk_top");
    Click(chk);
    Click(chk);
    const auto changes = w.Of("selectchanged");
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[0].name, "chk_top");
    EXPECT_EQ(changes[0].wParam, 1u);
    EXPECT_EQ(changes[1].wParam, 0u);
    EXPECT_FALSE(chk->GetCheck());
}

TEST_F(NotifyTest, ListClicksComeFromTheListWithTheItemIndex) {
    auto* list = w.FindControl<CListUI>("List_User");
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->GetCount(), 3);
    EXPECT_EQ(w.FindControl("u1"), list->GetItemAt(1));
    Click(list->GetItemAt(1), Qt::RightButton);
    ASSERT_EQ(w.notes.size(), 2u);
    EXPECT_EQ(w.notes[0], (Note{"itemselect", "List_User", 0, 0}));
    EXPECT_EQ(w.notes[0].wParam, 1u);
    EXPECT_EQ(w.notes[0].lParam, -1);
    EXPECT_EQ(w.notes[1], (Note{"itemrclick", "List_User", 0, 0}));
    EXPECT_EQ(w.notes[1].wParam, 1u);
    EXPECT_EQ(list->GetCurSel(), 1);
    w.notes.clear();

    Click(list->GetItemAt(2));
    EXPECT_EQ(w.notes, (std::vector<Note>{{"itemselect", "List_User", 0, 0}, {"itemclick", "List_User", 0, 0}}));
    EXPECT_EQ(w.notes[0].lParam, 1);
    w.notes.clear();
    duitest::SendMouse(list->GetItemAt(0), QEvent::MouseButtonDblClick, QPoint(3, 3), Qt::LeftButton, Qt::LeftButton);
    ASSERT_FALSE(w.Of("itemactivate").empty());
    EXPECT_EQ(w.Of("itemactivate")[0].wParam, 0u);

    // Removing items keeps the selection on the same item.
    list->Remove(list->GetItemAt(0));
    EXPECT_EQ(list->GetCurSel(), 1);
    list->RemoveAll();
    EXPECT_EQ(list->GetCurSel(), -1);
    EXPECT_EQ(w.FindControl("u2"), nullptr);
}

TEST_F(NotifyTest, EditsReportTypingEnterAndFocus) {
    auto* edit = w.FindControl<CEditUI>("edit_name");
    w.activateWindow();
    edit->Edit()->setFocus();
    QTest::keyClicks(edit->Edit(), "hi");
    EXPECT_EQ(w.Of("textchanged").size(), 2u);
    EXPECT_EQ(edit->GetText(), "hi");
    Key(edit->Edit(), Qt::Key_Return);
    ASSERT_EQ(w.Of("return").size(), 1u);
    EXPECT_EQ(w.Of("return")[0].name, "edit_name");
    EXPECT_TRUE(w.isVisible()) << "Enter does nothing to the window";

    auto* chat = w.FindControl<CRichEditUI>("Edit_SendChat");
    chat->Edit()->setFocus();
    QTest::keyClick(chat->Edit(), 'a');
    Key(chat->Edit(), Qt::Key_Return);
    Key(chat->Edit(), Qt::Key_Return, Qt::ShiftModifier);
    const auto returns = w.Of("return");
    ASSERT_EQ(returns.size(), 2u);
    EXPECT_EQ(returns[1].name, "Edit_SendChat");
    EXPECT_EQ(chat->GetText(), "a\n") << "Shift+Enter breaks the line, Enter does not";
    QApplication::processEvents();
    bool sawFocus = false;
    for (const auto& n : w.notes) sawFocus |= n.type == "setfocus" && n.name == "Edit_SendChat";
    EXPECT_TRUE(sawFocus);
    chat->AppendText(" from program");
    chat->SetText("set");
    EXPECT_EQ(w.Of("textchanged").size(), 4u) << "typing only (h, i, a, Shift+Enter); program text is no news";
}

TEST_F(NotifyTest, RightClickOnAMenuControlAsksForAMenu) {
    auto* chat = w.FindControl<CRichEditUI>("Edit_SendChat");
    ASSERT_EQ(chat->Edit()->contextMenuPolicy(), Qt::CustomContextMenu);
    emit chat->Edit()->customContextMenuRequested(QPoint(5, 5));
    ASSERT_FALSE(w.Of("menu").empty());
    EXPECT_EQ(w.Of("menu")[0].name, "Edit_SendChat");

    QContextMenuEvent e2(QContextMenuEvent::Mouse, QPoint(1, 1), QPoint(1, 1));
    QApplication::sendEvent(w.FindControl("timer_box"), &e2);
    EXPECT_EQ(w.Of("menu").back().name, "timer_box");
}

TEST_F(NotifyTest, ComboSliderAndTimerNotifications) {
    auto* combo = w.FindControl<CComboUI>("Combo_Room_mode");
    ASSERT_EQ(combo->GetCount(), 3);
    EXPECT_EQ(combo->GetCurSel(), 0);
    EXPECT_EQ(combo->GetItemUserData(2), "2");
    emit combo->Box()->activated(2);
    ASSERT_EQ(w.Of("itemselect").size(), 1u);
    EXPECT_EQ(w.Of("itemselect")[0].name, "Combo_Room_mode");
    EXPECT_EQ(w.Of("itemselect")[0].wParam, 2u);
    EXPECT_EQ(w.Of("itemselect")[0].lParam, 0);
    EXPECT_EQ(combo->GetText(), "host");

    auto* slider = w.FindControl<CSliderUI>("sld_volume");
    EXPECT_EQ(slider->GetValue(), 30);
    slider->SetValue(40);
    EXPECT_TRUE(w.Of("valuechanged").empty());
    slider->Slider()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    ASSERT_EQ(w.Of("valuechanged").size(), 1u);
    EXPECT_EQ(w.Of("valuechanged")[0].wParam, 41u);

    auto* box = w.FindControl("timer_box");
    box->SetTimer(77, 5);
    ASSERT_TRUE(duitest::Pump([&] { return !w.Of("timer").empty(); }));
    box->KillTimer(77);
    EXPECT_EQ(w.Of("timer")[0].name, "timer_box");
    EXPECT_EQ(w.Of("timer")[0].wParam, 77u);
}

TEST_F(NotifyTest, EscapeClosesEnterDoesNotAndTheSystemCloseIsRefused) {
    Key(&w, Qt::Key_Return);
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(w.close()) << "a close request from outside is swallowed";
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(w.finalMessage);
    Key(&w, Qt::Key_Escape);
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(w.finalMessage);

    w.show();
    w.finalMessage = false;
    w.Close();
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(w.finalMessage);
}

TEST_F(NotifyTest, CaptionDragsTheWindowButButtonsInItStillClick) {
    w.move(100, 100);
    QApplication::processEvents();
    const QPoint start = w.pos();
    EXPECT_EQ(w.HitTest(QPoint(100, 10)), dui::Hit::kCaption);
    EXPECT_EQ(w.HitTest(Geo(w, "bnt_SysClose").center()), dui::Hit::kClient);
    EXPECT_EQ(w.HitTest(QPoint(1, 1)), dui::Hit::kTopLeft);
    auto* title = w.FindControl("Lable_RoomName");
    duitest::SendMouse(title, QEvent::MouseButtonPress, QPoint(50, 10), Qt::LeftButton, Qt::LeftButton);
    duitest::SendMouse(title, QEvent::MouseMove, QPoint(80, 30), Qt::NoButton, Qt::LeftButton);
    duitest::SendMouse(title, QEvent::MouseButtonRelease, QPoint(80, 30), Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(w.pos(), start + QPoint(30, 20));
    EXPECT_TRUE(w.Of("click").empty());

    Click(w.FindControl("bnt_SysClose"));
    EXPECT_EQ(w.Of("click"), (std::vector<Note>{{"click", "bnt_SysClose", 0, 0}}));
    EXPECT_EQ(w.pos(), start + QPoint(30, 20));

    // The size box resizes, never below the minimum size.
    auto* root = w.Root();
    const QSize before = w.size();
    const QPoint corner(w.width() - 2, w.height() - 2);
    duitest::SendMouse(root, QEvent::MouseButtonPress, corner, Qt::LeftButton, Qt::LeftButton);
    duitest::SendMouse(root, QEvent::MouseMove, corner + QPoint(20, 10), Qt::NoButton, Qt::LeftButton);
    duitest::SendMouse(root, QEvent::MouseButtonRelease, corner + QPoint(20, 10), Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(w.size(), before + QSize(20, 10));
    duitest::SendMouse(root, QEvent::MouseButtonPress, QPoint(w.width() - 2, 100), Qt::LeftButton, Qt::LeftButton);
    duitest::SendMouse(root, QEvent::MouseMove, QPoint(w.width() - 2000, 100), Qt::NoButton, Qt::LeftButton);
    duitest::SendMouse(root, QEvent::MouseButtonRelease, QPoint(-2000, 100), Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(w.width(), 200);
}

TEST_F(NotifyTest, MaximiseRoundCornersAndMessages) {
    const QRect normal = w.geometry();
    w.Maximize();
    const QRect work = w.screen()->availableGeometry();
    EXPECT_EQ(w.geometry(), QRect(work.x() - 5, work.y() - 3, work.width() + 10, work.height() + 10));
    EXPECT_EQ(w.HitTest(QPoint(1, 1)), dui::Hit::kClient) << "no sizing while maximised";
    w.Restore();
    EXPECT_EQ(w.geometry(), normal);

    const QRegion mask = w.mask();
    EXPECT_FALSE(mask.contains(QPoint(0, 0))) << "the corner is cut";
    EXPECT_TRUE(mask.contains(QPoint(w.width() / 2, 0)));
    EXPECT_TRUE(mask.contains(QPoint(w.width() - 1, w.height() / 2)));
    EXPECT_TRUE(mask.contains(QPoint(w.width(), w.height() / 2))) << "one pixel larger than the window";

    ASSERT_NE(w.GetHWND(), 0u);
    EXPECT_EQ(SendMessage(w.GetHWND(), 1757, 3), 7);
    ASSERT_TRUE(PostMessage(w.GetHWND(), 1758, 4));
    ASSERT_TRUE(duitest::Pump([&] { return w.messages.size() == 2; }));
    EXPECT_EQ(w.messages[1], (std::pair<unsigned, std::uintptr_t>{1758, 4}));
    w.SetTimer(9, 5);
    ASSERT_TRUE(duitest::Pump([&] { return !w.timers.empty(); }));
    w.KillTimer(9);
    EXPECT_EQ(w.timers[0], 9u);
}

TEST(WindowBase, AHandlerMayDeleteTheWindowItIsCalledFor) {
    auto* w = new TestWindow(duitest::TestSkins(), "notify.xml");
    ASSERT_TRUE(w->Create());
    w->show();
    QPointer<TestWindow> alive(w);
    w->onNotify = [w](TNotifyUI& msg) {
        if (msg.sType == "click") w->deleteLater();
    };
    Click(w->FindControl("btn_ok"));
    ASSERT_TRUE(duitest::Pump([&] { return alive.isNull(); }));
}
