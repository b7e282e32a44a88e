// The room window: its skin binds every name the room uses, notifications
// reach the right handlers, the room's view calls change what a person
// sees, and a screenshot shows it whole.
#include <gtest/gtest.h>

#include <QTest>

#include <QClipboard>
#include <QDir>
#include <QKeyEvent>
#include <QLineEdit>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextEdit>

#include "chat/face_ctrl.h"
#include "platform/dui/animated_picture.h"
#include "platform/dui/builder.h"
#include "platform/dui/controls.h"
#include "platform/dui/inputs.h"
#include "platform/dui/menu.h"
#include "platform/dui/skin_model.h"
#include "platform/dui/small_controls.h"
#include "room/chat_entry.h"
#include "room/user_list_model.h"
#include "ui/room_user_list.h"
#include "ui_test_util.h"

using uitest::Click;
using uitest::FakeActions;
using uitest::User;

namespace {

const char* const kNamedControls[] = {
    "bnt_store", "bnt_cancel_store", "bnt_history", "Lable_RoomName", "Lable_RoomID", "Lable_RoomPeople",
    "text_tip", "bnt_Face", "bnt_Image", "bnt_VoiceMsg", "bnt_ScreenCut", "bnt_sendchat", "bnt_MicOpen", "bnt_MicClose",
    "bnt_FmOpen", "bnt_FmClose", "bnt_videoOpen", "bnt_videoClose", "bnt_AnchorOpen", "bnt_AnchorClose",
    "bnt_SysSet", "bnt_SysMin", "bnt_SysClose", "bnt_SysMax", "bnt_SysRestore", "Edit_RecvChat",
    "Edit_PrivateChat", "Edit_SendChat", "Edit_VipChat", "Edit_NearChat", "Edit_Announcement", "List_User",
    "panle_video", "wavebar", "bnt_signal", "bnt_keyspeaker", "Combo_Room_mode", "bnt_sign", "bnt_card",
    "text_sign", "bnt_music_play", "bnt_bbs", "bnt_videoOpen2", "text_net_upload", "bnt_money",
    "bnt_recharge2", "bnt_record_start", "bnt_record_stop", "bnt_room_property", "List_Wheat", "WheatPannel",
    "WheatListPannel", "put_mic", "control_mic", "ban_mic", "open_mic", "down_mic", "rob_mic",
    "Label_private", "bnt_private_close", "Container_privatechat", "bnt_flower", "gif_flower", "text_flower",
    "GiftCtrl", "CarCtrl", "PropCtrl", "bnt_prop", "Label_Balance", "Label_Pelto", "bntSearchUser",
    "EditSearch", "List_Search", "ContainerListUser", "ContainerListSearch", "bntsearchclose", "waitcontrol",
    "waitbg", "Label_Fail", "roombg", "tabchat", "Option_chattext", "Option_chatnear", "LabelLine",
    "tabwealth", "Option_wealth_day", "Option_wealth_week", "Option_wealth_month", "Option_wealth_all",
    "ListWealthDay", "ListWealthWeek", "ListWealthMonth", "ListWealthAll", "Option_userlist",
    "Option_wheatlist", "tabuser", "Option_buy_gift", "Option_buy_car", "Option_buy_prop", "tabprop",
    "VerVipCat"};

class RoomWindow : public ::testing::Test {
protected:
    void SetUp() override {
        w.SetMessageBoxHandler([this](const std::string& t, const std::string& c, BoxIcon i) {
            boxes.push_back(c + ":" + t + (i == BoxIcon::Error ? ":error" : ":info"));
        });
        ASSERT_TRUE(w.Create()) << w.SkinError();
        model.SetObserver(&w.UserListView());
        w.show();
    }
    void TearDown() override { model.SetObserver(nullptr); }

    FakeActions actions;
    CRoomUI w{actions};
    CRoomUserListModel model;
    std::vector<std::string> boxes;
};

CMenuElementUI* Element(CMenuWnd* menu, const char* name) { return menu ? menu->FindElement(name) : nullptr; }

// An element of the chat menu's zoom submenu, which opens for it.
CMenuElementUI* ZoomEntry(CMenuWnd* menu, const char* name) {
    if (!menu) return nullptr;
    menu->ShowSubmenu(menu->FindElement("Menu_Zoom"));
    return Element(menu->OpenSubmenu(), name);
}

}  // namespace

TEST(RoomSkins, EverySkinLoadsAndTheRoomSkinHasEveryNamedControl) {
    // Every XML file of the built skin folder reads (the face table too).
    int skins = 0;
    for (const QFileInfo& f : QDir(QString::fromStdString(uitest::SkinFolder())).entryInfoList({"*.xml"})) {
        const dui::SkinDoc doc = dui::LoadSkinFile(f.absoluteFilePath().toStdString());
        EXPECT_TRUE(doc.loaded) << f.fileName().toStdString() << ": " << doc.error;
        ++skins;
    }
    EXPECT_GE(skins, 6);

    FakeActions actions;
    CRoomUI w(actions);
    ASSERT_TRUE(w.Create()) << w.SkinError();
    for (const char* name : kNamedControls) EXPECT_NE(w.FindControl(name), nullptr) << name;
    // The custom controls are ours, not stand-ins.
    EXPECT_NE(w.FindControl<CRoomUserList>("List_User"), nullptr);
    EXPECT_NE(w.FindControl<CGifControl>("waitbg"), nullptr);
    EXPECT_NE(w.FindControl<CGifControl>("gif_flower"), nullptr);
    EXPECT_TRUE(w.FindControl<CGifControl>("waitbg")->Picture().IsAnimated())
        << "the waiting animation is drawn by the build and plays";

    // The menus the window opens are readable, with the entries it binds.
    for (const char* file : {"RoomRecvEditMenu.xml", "RoomUserMenu.xml"}) {
        auto* menu = new CMenuWnd(&w, file);
        EXPECT_TRUE(menu->IsLoaded()) << file << ": " << menu->Error();
        delete menu;
    }
}

TEST(RoomSkins, EveryPictureTheSkinsAndTheRoomNameExists) {
    // Pictures the room code names (status icon, notices, gag mark, the
    // waiting picture of downloads) and those of the skins.
    const char* const files[] = {"sign_1.png", "sign_2.png", "sign_3.png", "sign_4.png", "sign_5.png",
                                 "sign_6.png", "near_notify.png", "gag.png", "wait_image.gif",
                                 "normal_head.png", "chat_sound_normal.png", "menu_check.png",
                                 "Im/people.png", "spearking.png", "un_speark.png", "speark_icon.png",
                                 "userinfo/level.png", "room_logo.png", "chat_sound_push.gif", "voice_msg.png"};
    for (const char* f : files) {
        QImage img(QString::fromStdString(uitest::SkinFolder() + f));
        EXPECT_FALSE(img.isNull()) << f;
    }
    // Stretched pictures are drawn at twice their size for dense screens;
    // inline ones at the size they take on a line.
    EXPECT_EQ(QImage(QString::fromStdString(uitest::SkinFolder() + "sign_1.png")).size(), QSize(40, 32));
    EXPECT_EQ(QImage(QString::fromStdString(uitest::SkinFolder() + "gag.png")).size(), QSize(16, 16));
    // ... and again at twice that as "name@2x", for dense screens.
    for (const char* f : {"gag", "near_notify", "spearking", "un_speark", "speark_icon", "Im/people", "userinfo/level"}) {
        const QString base = QString::fromStdString(uitest::SkinFolder() + f);
        EXPECT_EQ(QImage(base + "@2x.png").size(), QImage(base + ".png").size() * 2) << f;
    }
    // A playing clip's icon moves, in the still icon's place and size.
    AnimatedPicture playing;
    ASSERT_TRUE(playing.Load(uitest::SkinFolder() + "chat_sound_push.gif"));
    EXPECT_GT(playing.FrameCount(), 1);
    EXPECT_EQ(QSize(playing.Width(), playing.Height()),
              QImage(QString::fromStdString(uitest::SkinFolder() + "chat_sound_normal.png")).size());
    for (int f = 1; f < playing.FrameCount(); ++f)
        EXPECT_NE(playing.Frame(f), playing.Frame(f - 1)) << "frame " << f;
    // The signal bars differ from best to worst.
    EXPECT_NE(QImage(QString::fromStdString(uitest::SkinFolder() + "sign_1.png")),
              QImage(QString::fromStdString(uitest::SkinFolder() + "sign_6.png")));
}

TEST_F(RoomWindow, AClickSendsTheComposedLineAndEmptiesTheBoxOnlyWhenTaken) {
    auto* box = w.FindControl<CRichEditUI>("Edit_SendChat");
    ASSERT_NE(box, nullptr);
    box->Edit()->setPlainText("hello a/b");
    const FaceEntry* face = actions.faces.FindById(2);
    ASSERT_NE(face, nullptr);
    QTextCursor c = box->Edit()->textCursor();
    c.movePosition(QTextCursor::End);
    box->Edit()->setTextCursor(c);
    ASSERT_TRUE(w.Input().InsertFace(*face));

    actions.acceptChat = false;
    Click(w.FindControl("bnt_sendchat"));
    ASSERT_EQ(actions.sent.size(), 1u);
    EXPECT_EQ(actions.sent[0], "hello a//b/f[\"002\"]") << "text and the face object, as codes";
    EXPECT_FALSE(w.Input().Empty()) << "a refused line stays for the person to change";

    actions.acceptChat = true;
    w.Notify(*std::make_unique<TNotifyUI>(TNotifyUI{"return", "Edit_SendChat"}));
    ASSERT_EQ(actions.sent.size(), 2u);
    EXPECT_TRUE(w.Input().Empty());

    Click(w.FindControl("bnt_SysClose"));
    EXPECT_EQ(actions.closes, 1);
    // Escape takes the same way out instead of only hiding the window.
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(&w, &esc);
    EXPECT_EQ(actions.closes, 2);
}

TEST_F(RoomWindow, TheVoiceMessageButtonTogglesRecordingAndShowsItsSecondsBesideItsIcon) {
    auto* button = w.FindControl<CButtonUI>("bnt_VoiceMsg");
    ASSERT_NE(button, nullptr);
    Click(button);
    Click(button);
    EXPECT_EQ(actions.voiceToggles, 2) << "each press reaches the room: record, then send";

    IRoomView& view = w;
    const QImage idle = button->grab().toImage();
    view.SetText("bnt_VoiceMsg", "60s");
    EXPECT_EQ(button->GetText(), "60s");
    const QImage counting = button->grab().toImage();
    ASSERT_EQ(idle.size(), counting.size());
    // The seconds fit whole in the button, and none of the icon's pixels
    // (those not of the button's plain background) is drawn over.
    EXPECT_LE(QFontMetrics(button->CurrentFont()).horizontalAdvance("60s"), button->TextRect().width());
    const QRgb plain = idle.pixel(2, idle.height() / 2);
    int iconCovered = 0, changed = 0;
    for (int y = 0; y < idle.height(); ++y)
        for (int x = 0; x < idle.width(); ++x) {
            if (idle.pixel(x, y) == counting.pixel(x, y)) continue;
            ++changed;
            if (idle.pixel(x, y) != plain) ++iconCovered;
        }
    EXPECT_GT(changed, 20) << "the seconds show";
    EXPECT_EQ(iconCovered, 0) << "the icon stays whole";
    view.SetText("bnt_VoiceMsg", "");
    EXPECT_EQ(button->grab().toImage(), idle);
}

TEST_F(RoomWindow, TheSearchBoxShowsItsWholeHint) {
    auto* search = w.FindControl<CEditUI>("EditSearch");
    ASSERT_NE(search, nullptr);
    QLineEdit* e = search->Edit();
    ASSERT_FALSE(e->placeholderText().isEmpty());
    // The box holds a line of its font with the pixel the line edit keeps
    // above and below it, for the font found here and for the tall CJK
    // faces other systems put in for "宋体" (about 1.5 times the size).
    const QFontMetrics fm(e->font());
    const int line = std::max(fm.height(), e->font().pixelSize() * 3 / 2);
    EXPECT_GE(e->contentsRect().height() - 2, line)
        << "box " << e->contentsRect().height() << " px for a line of " << line << " px";
    EXPECT_GE(e->contentsRect().width() - 4, fm.horizontalAdvance(e->placeholderText()));
    // The hint is a fainter version of the box's own text colour, not the
    // application's dark default on the dark box.
    const QColor hint = e->palette().color(QPalette::PlaceholderText);
    const QColor text = e->palette().color(QPalette::Text);
    EXPECT_EQ(hint.rgb(), text.rgb());
    EXPECT_LT(hint.alpha(), text.alpha());
    EXPECT_GT(hint.alpha(), 100);
}

TEST_F(RoomWindow, OptionsSwitchTheirTabs) {
    auto* users = w.FindControl<CTabLayoutUI>("tabuser");
    auto* chat = w.FindControl<CTabLayoutUI>("tabchat");
    auto* props = w.FindControl<CTabLayoutUI>("tabprop");
    auto* wealth = w.FindControl<CTabLayoutUI>("tabwealth");
    ASSERT_TRUE(users && chat && props && wealth);
    Click(w.FindControl("Option_wheatlist"));
    EXPECT_EQ(users->GetCurSel(), 1);
    Click(w.FindControl("Option_userlist"));
    EXPECT_EQ(users->GetCurSel(), 0);
    Click(w.FindControl("Option_chatnear"));
    EXPECT_EQ(chat->GetCurSel(), 1);
    Click(w.FindControl("Option_buy_prop"));
    EXPECT_EQ(props->GetCurSel(), 2);
    Click(w.FindControl("Option_wealth_all"));
    EXPECT_EQ(wealth->GetCurSel(), 3);
    EXPECT_EQ(users->GetCurSel(), 0) << "groups stay apart";
}

TEST_F(RoomWindow, EachItemPanelShowsItsCatalogueProgress) {
    for (const char* name : {"GiftCtrl_progress", "CarCtrl_progress", "PropCtrl_progress"}) {
        auto* bar = w.FindControl<CProgressUI>(name);
        ASSERT_NE(bar, nullptr) << name;
        w.SetProgress(name, 12500, 40000);
        w.SetText(name, "12/40");
        EXPECT_EQ(bar->GetValue(), 12500) << name;
        EXPECT_EQ(bar->GetMaxValue(), 40000) << name;
        EXPECT_EQ(bar->GetText(), "12/40") << name;
    }
    w.SetProgress("Label_Balance", 1, 2);  // not a bar: nothing happens
}

TEST_F(RoomWindow, TheUserListFollowsTheModelAndARightClickOpensTheUserMenu) {
    model.AddUser(User(101, "alice", 5, 3));
    model.AddUser(User(102, "bob", 9, 3));
    model.AddUser(User(103, "carol", 5, 1));
    CRoomUserList* list = w.UserList();
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->GetCount(), 3);
    EXPECT_EQ(list->UserAt(0), 102u);
    EXPECT_EQ(list->UserAt(1), 103u);
    EXPECT_EQ(list->UserAt(2), 101u);
    EXPECT_EQ(list->GetItemAt(0)->GetText(), model.at(0).text) << "the model's markup line as it is";
    model.SetGag(User(101, "alice", 5, 3), true);
    EXPECT_NE(list->GetItemAt(2)->GetText().find("gag.png"), std::string::npos);
    model.RemoveUser(103);
    EXPECT_EQ(list->GetCount(), 2);
    EXPECT_EQ(list->UserAt(1), 101u);

    Click(list->GetItemAt(1), Qt::RightButton);
    CMenuWnd* menu = w.OpenMenu();
    ASSERT_NE(menu, nullptr) << "itemrclick opened the user menu";
    EXPECT_EQ(w.MenuUser(), 101u);
    for (const char* name : {"Menu_UserInfo", "Menu_AddFirend", "Menu_PowerGag", "Menu_PowerCancelGag",
                             "Menu_PropGag", "Menu_PropCancelGag", "Menu_Kick", "Menu_Power"}) {
        ASSERT_NE(Element(menu, name), nullptr) << name;
        EXPECT_FALSE(Element(menu, name)->IsEnabled()) << name << ": no room to act in yet";
    }
    menu->close();

    model.Clear();
    EXPECT_EQ(list->GetCount(), 0);
}

TEST_F(RoomWindow, SearchSelectsAUserByIdAndClosingResetsIt) {
    for (std::uint32_t id = 200; id < 230; ++id) model.AddUser(User(id, "user" + std::to_string(id), 1, 5));
    CRoomUserList* list = w.UserList();
    w.SetControlVisible("ContainerListSearch", true);
    w.SetControlText("EditSearch", "217");
    Click(w.FindControl("bntSearchUser"));
    EXPECT_EQ(list->UserAt(list->GetCurSel()), 217u);
    EXPECT_TRUE(w.IsControlVisible("ContainerListUser"));
    EXPECT_FALSE(w.IsControlVisible("ContainerListSearch"));

    // An id not in the room, or no id at all: nothing changes.
    for (const char* text : {"999", "abc", "99999999999"}) {
        w.SetControlText("EditSearch", text);
        Click(w.FindControl("bntSearchUser"));
        EXPECT_EQ(list->UserAt(list->GetCurSel()), 217u) << text;
    }
    w.SetControlVisible("bntsearchclose", true);
    Click(w.FindControl("bntsearchclose"));
    EXPECT_EQ(w.GetControlText("EditSearch"), "");
    EXPECT_FALSE(w.IsControlVisible("bntsearchclose"));
    EXPECT_FALSE(w.IsControlVisible("ContainerListSearch"));
    EXPECT_TRUE(w.IsControlVisible("ContainerListUser"));
}

TEST_F(RoomWindow, TheChatMenuActsOnTheViewItBelongsTo) {
    auto* recv = w.FindChat("Edit_RecvChat");
    ASSERT_NE(recv, nullptr);
    recv->AppendText("first line", {});
    recv->AppendLineBreak();
    recv->AppendText("second", MakeFormat("", 10, 0x112233));
    recv->AppendLineBreak();
    w.FindChat("Edit_PrivateChat")->AppendText("a gift", {});
    const QPoint at = recv->Control()->mapToGlobal(QPoint(10, 10));

    // Right-click: "menu" from the view opens its menu; nothing selected, no copy.
    w.Notify(*std::make_unique<TNotifyUI>(TNotifyUI{"menu", "Edit_RecvChat", nullptr, 0, 0, at}));
    CMenuWnd* menu = w.OpenMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(w.MenuView(), "Edit_RecvChat");
    EXPECT_FALSE(Element(menu, "Menu_Copy")->IsEnabled());
    EXPECT_FALSE(Element(menu, "Menu_SaveAs")->IsEnabled()) << "no picture under the cursor";
    ASSERT_NE(ZoomEntry(menu, "Menu_ZoomRatio_100"), nullptr);
    EXPECT_TRUE(ZoomEntry(menu, "Menu_ZoomRatio_100")->IsChecked());
    EXPECT_FALSE(ZoomEntry(menu, "Menu_ZoomRatio_200")->IsChecked());
    EXPECT_EQ(ZoomEntry(menu, "Menu_ZoomRatio_100")->GetCheckImage(), "file='menu_check.png' dest='4,4,20,20'");

    // Choosing goes back to the window as menu_msg with the element's name.
    menu->Choose(Element(menu, "Menu_SelAll"));
    EXPECT_EQ(recv->Control()->GetSelText(), "first line\nsecond\n");

    w.OpenChatMenu("Edit_RecvChat", at);
    EXPECT_TRUE(Element(w.OpenMenu(), "Menu_Copy")->IsEnabled()) << "copy only with a selection";
    w.OpenMenu()->Choose(Element(w.OpenMenu(), "Menu_Copy"));
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), "first line\nsecond\n");

    // Zoom: the seven ratios scale the text from its own size.
    const struct {
        const char* name;
        int quarters;
    } zooms[] = {{"Menu_ZoomRatio_400", 16}, {"Menu_ZoomRatio_200", 8}, {"Menu_ZoomRatio_150", 6},
                 {"Menu_ZoomRatio_125", 5},  {"Menu_ZoomRatio_75", 3},  {"Menu_ZoomRatio_50", 2},
                 {"Menu_ZoomRatio_100", 4}};
    for (const auto& z : zooms) {
        w.OpenChatMenu("Edit_RecvChat", at);
        CMenuElementUI* entry = ZoomEntry(w.OpenMenu(), z.name);
        ASSERT_NE(entry, nullptr) << z.name;
        w.OpenMenu()->OpenSubmenu()->Choose(entry);
        EXPECT_EQ(recv->ZoomQuarters(), z.quarters) << z.name;
        QTextCursor c(recv->Editor()->document()->findBlockByNumber(1));
        c.movePosition(QTextCursor::NextCharacter);
        EXPECT_DOUBLE_EQ(c.charFormat().fontPointSize(), 10.0 * z.quarters / 4) << z.name;
    }
    w.OpenChatMenu("Edit_RecvChat", at);
    EXPECT_TRUE(ZoomEntry(w.OpenMenu(), "Menu_ZoomRatio_100")->IsChecked());
    EXPECT_FALSE(ZoomEntry(w.OpenMenu(), "Menu_ZoomRatio_50")->IsChecked());

    // Clear empties the view and the gift record and drops cached pictures.
    w.OpenMenu()->Choose(Element(w.OpenMenu(), "Menu_Clear"));
    EXPECT_EQ(recv->LineCount(), 0u);
    EXPECT_EQ(w.FindChat("Edit_PrivateChat")->LineCount(), 0u);
    EXPECT_EQ(actions.cleared, 1);
    uitest::Pump([] { return false; }, 50);
}

TEST_F(RoomWindow, TheRoomViewCallsChangeTheNamedControls) {
    IRoomView& v = w;
    v.SetText("Lable_RoomName", "Demo Room   ID:1001");
    EXPECT_EQ(w.GetControlText("Lable_RoomName"), "Demo Room   ID:1001");
    v.SetVisible("bnt_store", false);
    v.SetVisible("bnt_cancel_store", true);
    EXPECT_FALSE(w.IsControlVisible("bnt_store"));
    EXPECT_TRUE(w.IsControlVisible("bnt_cancel_store"));
    v.SetEnabled("bnt_keyspeaker", false);
    EXPECT_FALSE(w.FindControl("bnt_keyspeaker")->IsEnabled());
    v.SetImage("bnt_signal", "sign_4.png");
    EXPECT_EQ(w.FindControl<CButtonUI>("bnt_signal")->GetNormalImage(), "sign_4.png");
    v.SetTooltip("bnt_signal", "120 ms");
    EXPECT_EQ(w.FindControl("bnt_signal")->toolTip().toStdString(), "120 ms");
    v.ShowTip("登录频道成功！");
    EXPECT_EQ(w.GetControlText("text_tip"), "登录频道成功！");
    v.ShowNotice("<x 4><i near_notify.png><x 4>bob(7) 进入了房间 12:00:00");
    EXPECT_EQ(w.GetControlText("LabelLine"), "<x 4><i near_notify.png><x 4>bob(7) 进入了房间 12:00:00");
    EXPECT_TRUE(w.FindControl<CLabelUI>("LabelLine")->IsShowHtml());
    v.MessageBox("你被踢出房间!", "提示", BoxIcon::Error);
    EXPECT_EQ(boxes, std::vector<std::string>{"提示:你被踢出房间!:error"});
    v.SetTitle("Demo Room");
    EXPECT_EQ(w.windowTitle().toStdString(), "Demo Room");
    v.SetText("no_such_control", "x");  // ignored, like every missing name
    v.SetVisible("waitcontrol", false);
    EXPECT_FALSE(w.IsControlVisible("waitcontrol"));

    // Emptying a list's text empties the list.
    auto* wheat = w.FindControl<CListUI>("List_Wheat");
    auto* line = new CListLabelElementUI;
    line->SetManager(&w.Manager());
    wheat->Add(line);
    v.SetText("List_Wheat", "");
    EXPECT_EQ(wheat->GetCount(), 0);

    // Chat views by name; other names get a view that shows nothing.
    v.ChatView("Edit_VipChat").AppendText("vip", {});
    EXPECT_EQ(w.FindChat("Edit_VipChat")->PlainText().toStdString(), "vip");
    v.ChatView("Edit_Nowhere").AppendText("lost", {});
    v.ClearChat("Edit_VipChat");
    EXPECT_EQ(w.FindChat("Edit_VipChat")->LineCount(), 0u);
    EXPECT_FALSE(v.Minimised());
    w.showMinimized();
    EXPECT_TRUE(v.Minimised());
    w.showNormal();
}

TEST_F(RoomWindow, FavouriteButtonsFollowTheStore) {
    QTemporaryDir dir;
    paths::SetDataFolderOverride(dir.path().toStdString() + "/");
    actions.buddy = BUDDY_Create(42);
    ASSERT_NE(actions.buddy, nullptr);
    // Outside a room the store refuses: both buttons stay.
    Click(w.FindControl("bnt_store"));
    EXPECT_TRUE(w.IsControlVisible("bnt_store"));
    EXPECT_FALSE(w.IsControlVisible("bnt_cancel_store"));

    actions.room = 1001;
    Click(w.FindControl("bnt_store"));
    EXPECT_TRUE(BUDDY_IsStore(actions.buddy, 1001));
    EXPECT_FALSE(w.IsControlVisible("bnt_store"));
    EXPECT_TRUE(w.IsControlVisible("bnt_cancel_store"));
    Click(w.FindControl("bnt_cancel_store"));
    EXPECT_FALSE(BUDDY_IsStore(actions.buddy, 1001));
    EXPECT_TRUE(w.IsControlVisible("bnt_store"));
    EXPECT_FALSE(w.IsControlVisible("bnt_cancel_store"));
    BUDDY_Close(actions.buddy);
    actions.buddy = nullptr;
    paths::SetDataFolderOverride("");
}

TEST_F(RoomWindow, TheScreenCutAndTheRoomsPictureKeysSendLikeAChosenPicture) {
    ASSERT_TRUE(w.FindControl("bnt_ScreenCut")->IsEnabled());
    int cuts = 0;
    w.SetScreenCut([&cuts](std::string*) {
        ++cuts;
        return std::string("/tmp/cut.jpg");
    });
    Click(w.FindControl("bnt_ScreenCut"));
    EXPECT_EQ(actions.pictures, std::vector<std::string>{"/tmp/cut.jpg"});

    // The keys work while the chat input has the keyboard.
    w.ShowWindow(true);
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    auto* input = w.FindControl<CRichEditUI>("Edit_SendChat");
    ASSERT_NE(input, nullptr);
    QTest::keyClick(input->Edit(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(cuts, 2);
    w.SetOpenPictureDialog([] { return std::string("/tmp/chosen.png"); });
    QTest::keyClick(input->Edit(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(actions.pictures.back(), "/tmp/chosen.png");

    // A refused or cancelled cut sends nothing; a refusal says why.
    w.SetScreenCut([](std::string* why) {
        *why = "此桌面不允许程序截屏";
        return std::string();
    });
    Click(w.FindControl("bnt_ScreenCut"));
    EXPECT_EQ(actions.pictures.size(), 3u);
    EXPECT_EQ(w.GetControlText("text_tip"), "此桌面不允许程序截屏");
}

TEST_F(RoomWindow, TheFontButtonChangesMyChatStyleOnlyWhenOneIsChosen) {
    actions.style = MyChatStyle{0x112233, "宋体,10"};
    MyChatStyle offered;
    w.SetStyleChooser([&offered](const MyChatStyle& now) -> std::optional<MyChatStyle> {
        offered = now;
        return MyChatStyle{0xCC0000, "黑体,14,bold"};
    });
    Click(w.FindControl("bnt_font"));
    EXPECT_EQ(offered, (MyChatStyle{0x112233, "宋体,10"}));  // starts from mine
    EXPECT_EQ(actions.style, (MyChatStyle{0xCC0000, "黑体,14,bold"}));
    w.SetStyleChooser([](const MyChatStyle&) { return std::optional<MyChatStyle>(); });
    Click(w.FindControl("bnt_font"));
    EXPECT_EQ(actions.style.font, "黑体,14,bold") << "a cancelled chooser keeps mine";
}

TEST_F(RoomWindow, ThePictureAndFaceButtonsReachTheRoom) {
    w.SetOpenPictureDialog([] { return std::string("/tmp/chosen.png"); });
    Click(w.FindControl("bnt_Image"));
    EXPECT_EQ(actions.pictures, std::vector<std::string>{"/tmp/chosen.png"});
    w.SetOpenPictureDialog([] { return std::string(); });
    Click(w.FindControl("bnt_Image"));
    EXPECT_EQ(actions.pictures.size(), 1u) << "a cancelled dialog sends nothing";

    ASSERT_TRUE(w.FindControl("bnt_Face")->IsEnabled());
    Click(w.FindControl("bnt_Face"));
    CFaceSelDlg* picker = w.FacePicker();
    ASSERT_NE(picker, nullptr);
    EXPECT_TRUE(picker->isVisible());
    // The third face of the first page, clicked: message 1281 reaches the
    // window, which puts that face into the input box.
    CFaceCtrl* grid = picker->Grid();
    ASSERT_NE(grid, nullptr);
    Click(grid, Qt::LeftButton, grid->CellRect(2).center());
    EXPECT_FALSE(picker->isVisible());
    EXPECT_EQ(picker->Chosen().id, 3);
    ASSERT_TRUE(uitest::Pump([&] { return !w.Input().Pieces().empty(); }));
    const auto pieces = w.Input().Pieces();
    ASSERT_EQ(pieces.size(), 1u);
    EXPECT_EQ(pieces[0].kind, ChatInputPiece::Kind::Face);
    EXPECT_EQ(pieces[0].face, 3);
    // A 1281 with another context is not the picker's: nothing is inserted.
    PostMessage(w.GetHWND(), UM_FACE_CHOSEN, CRoomUI::kFaceContext + 1, 0);
    uitest::Pump([] { return false; }, 30);
    EXPECT_EQ(w.Input().Pieces().size(), 1u);
    // Buttons whose work is not built yet cannot be pressed.
    EXPECT_FALSE(w.FindControl("bnt_money")->IsEnabled());
    uitest::Pump([] { return false; }, 50);
}

TEST_F(RoomWindow, ARightClickOnANameInTheChatOpensThatUsersMenuElsewhereTheChatMenu) {
    model.AddUser(User(7, "bob", 1, 20));
    model.AddUser(User(42, "ann", 1, 20));
    ChatRenderContext c;
    c.time = 1'700'000'000;
    c.roomStyle = MakeFormat("宋体", 12, 0x112233);
    ChatEntry e;
    e.kind = chat_kind::directed;
    e.senderId = 7;
    e.senderName = "bob";
    e.receiverId = 42;
    e.receiverName = "ann";
    e.text = "hello there";
    CChatView& recv = *w.FindChat("Edit_RecvChat");
    RenderChatEntry(recv, e, c);
    const QString text = recv.PlainText();
    ASSERT_TRUE(text.contains("bob(7)对ann(42)")) << text.toStdString();

    struct Click {
        QString word;
        int offset;                // character within the word
        std::uint32_t user;        // 0: the chat menu
    } const clicks[] = {{"bob", 0, 7}, {"bob", 2, 7}, {"ann(", 1, 42}, {"(7)", 1, 0},
                        {"对", 0, 0},  {"hello", 2, 0}, {"ann(", 3, 0}};
    for (const Click& k : clicks) {
        if (w.OpenMenu()) w.OpenMenu()->close();
        uitest::Pump([&] { return !w.OpenMenu(); });
        uitest::RightClickText(recv, static_cast<int>(text.indexOf(k.word)) + k.offset);
        CMenuWnd* menu = w.OpenMenu();
        ASSERT_NE(menu, nullptr) << k.word.toStdString();
        if (k.user) {
            EXPECT_EQ(w.MenuUser(), k.user) << k.word.toStdString();
            EXPECT_TRUE(w.MenuView().empty());
            EXPECT_NE(Element(menu, "Menu_UserInfo"), nullptr) << "the user list's menu";
        } else {
            EXPECT_EQ(w.MenuView(), "Edit_RecvChat") << k.word.toStdString();
            EXPECT_NE(Element(menu, "Menu_SelAll"), nullptr) << "the chat view's own menu";
        }
    }
    w.OpenMenu()->close();
    uitest::Pump([] { return false; }, 50);
}

TEST_F(RoomWindow, TheAnnouncementIsDrawnTitleInTheRoomsStyleThenWhiteText) {
    IRoomView& v = w;
    v.ClearChat("Edit_Announcement");
    RenderAnnouncement(v.ChatView("Edit_Announcement"), "欢迎光临", MakeFormat("黑体", 14, 0x3366CC, true));
    auto* box = w.FindControl<CRichEditUI>("Edit_Announcement");
    ASSERT_NE(box, nullptr);
    QTextDocument* doc = box->Edit()->document();
    EXPECT_EQ(doc->toPlainText().toStdString(), "频道公告：欢迎光临");
    const auto formatAt = [&](int pos) {
        QTextCursor c(doc);
        c.setPosition(pos);
        c.setPosition(pos + 1, QTextCursor::KeepAnchor);
        return c.charFormat();
    };
    const QTextCharFormat title = formatAt(0), body = formatAt(6);
    EXPECT_EQ(title.foreground().color(), QColor(0x33, 0x66, 0xCC));
    EXPECT_EQ(title.fontWeight(), QFont::Bold);
    EXPECT_EQ(body.foreground().color(), QColor(Qt::white));
    EXPECT_EQ(body.fontWeight(), QFont::Normal);
    for (const QTextCharFormat& f : {title, body}) {
        EXPECT_EQ(f.fontFamilies().toStringList(), QStringList{"宋体"});
        EXPECT_DOUBLE_EQ(f.fontPointSize(), 10.0);
    }
    // Refreshed, it is replaced, not added to; it has no chat menu.
    v.ClearChat("Edit_Announcement");
    RenderAnnouncement(v.ChatView("Edit_Announcement"), "新公告", MakeFormat("宋体", 10, 0));
    EXPECT_EQ(doc->toPlainText().toStdString(), "频道公告：新公告");
    w.Notify(*std::make_unique<TNotifyUI>(TNotifyUI{"menu", "Edit_Announcement", nullptr, 0, 0, QPoint(5, 5)}));
    EXPECT_EQ(w.OpenMenu(), nullptr);
}
