// Moderation in the room window: a real room session shows through the
// window, the user menu's entries follow my role and the user's state, the
// choices go through the reason and days dialogs onto the wire, the mode
// selector sends only the person's picks, and the dialogs offer OK only
// when it can be taken.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <filesystem>

#include "core/clock.h"
#include "net/catalogue_moderation.h"
#include "net/catalogue_room.h"
#include "platform/dui/controls.h"
#include "platform/dui/inputs.h"
#include "platform/dui/menu.h"
#include "platform/patron/patron_records.h"
#include "room/chat_entry.h"
#include "room/room_moderation.h"
#include "tests/room/room_test_support.h"
#include "ui/kick_reason_dlg.h"
#include "ui/moderation_actions.h"
#include "ui/role_set_dlg.h"
#include "ui/room_user_list.h"
#include "ui_test_util.h"

using uitest::Click;

namespace {

constexpr std::uint32_t kMe = 42, kBob = 7, kDave = 10004;
constexpr std::uint8_t kOwner = 1, kManager = 3, kAnchor = 7, kGuest = 20;

class ModerationActions : public uitest::FakeActions {
public:
    IModerationActions* Moderation() const override { return moderation; }
    void ShowUserInfo(std::uint32_t userId) override { profiles.push_back(userId); }
    IModerationActions* moderation = nullptr;
    std::vector<std::uint32_t> profiles;
};

class ModerationWindow : public ::testing::Test, public ITimerSink {
protected:
    void SetUp() override {
        ASSERT_TRUE(w.Create()) << w.SkinError();
        w.show();
        account.me.userId = kMe;
        account.me.nickname = "ann";
        session = std::make_unique<CRoomSession>(w, link, timers, clock, account);
        ASSERT_TRUE(session->Start());
        moderation = std::make_unique<CRoomModeration>(*session, account);
        roles.Add({kOwner, "室主", 0xFF8000, {}, {}});
        roles.Add({kManager, "管理员", 0x3899A7, {}, {}});
        roles.Add({kAnchor, "主播", 0x6464E0, {}, {}});
        roles.Add({kGuest, "游客", 0x808080, {}, {}});
        bridge = std::make_unique<CRoomModerationActions>(*session, *moderation, roles, nullptr);
        actions.moderation = bridge.get();
        // The dialogs answer as the test says and note who they were for.
        w.UserMenuView().SetReasonDialog([this](bool kick, const RoomUser& u) {
            asked.push_back(std::string(kick ? "kick " : "gag ") + u.nickname);
            return reason;
        });
        w.UserMenuView().SetDaysDialog([this](const RoomUser& u, const std::string& role) {
            asked.push_back("days " + u.nickname + " " + role);
            return days;
        });
    }
    void TearDown() override {
        if (CMenuWnd* m = w.OpenMenu()) m->close();
        actions.moderation = nullptr;
        bridge.reset();
        moderation.reset();
        session.reset();
    }
    void OnTimer(unsigned id) override { session->OnTimer(id); }

    template <class Msg>
    void Receive(const Msg& m) {
        roomtest::Deliver(*session, m);
    }
    // Room 1001 in anchor mode as `role`, with bob (guest) and 大卫 (anchor
    // role); owners may do everything, managers all but to owners, and the
    // manager role is given for good.
    void Enter(std::uint8_t role) {
        session->EnterRoom(1001);
        msg::Control_Login_Resp r;
        r.room_id = 1001;
        r.role = role;
        r.room_mode = 2;
        Receive(r);
        Receive(roomtest::MemberList({{kBob, "bob", kGuest}, {kDave, "大卫", kAnchor}}));
        std::vector<roomtest::PowerRule> rules;
        for (std::uint16_t power : {4, 5, 8, 9, 10}) {
            rules.push_back({power, kOwner});
            rules.push_back({power, kManager});
            rules.push_back({power, kManager, kOwner, 0});
        }
        rules.push_back({6, kManager});
        session->OnPowerList(roomtest::PowerListAnswer(rules));
    }
    // Right-clicks the user's line in the list.
    CMenuWnd* MenuOn(std::uint32_t userId) {
        CRoomUserList* list = w.UserList();
        const int at = list ? list->IndexOfUser(userId) : -1;
        if (at < 0) return nullptr;
        Click(list->GetItemAt(at), Qt::RightButton);
        return w.OpenMenu();
    }
    // '-' hidden, 'd' disabled, 'e' enabled, for the entries in this order.
    static std::string States(CMenuWnd* menu) {
        std::string s;
        for (const char* name : {"Menu_UserInfo", "Menu_AddFirend", "Menu_PowerGag", "Menu_PowerCancelGag",
                                 "Menu_PropGag", "Menu_PropCancelGag", "Menu_Kick", "Menu_Set_MIC", "Menu_Power"}) {
            CMenuElementUI* e = menu ? menu->FindElement(name) : nullptr;
            s += !e || e->isHidden() ? '-' : e->isEnabled() ? 'e' : 'd';
        }
        return s;
    }
    std::size_t Sent(std::uint32_t command) const { return static_cast<std::size_t>(link.Count(command)); }

    roomtest::ScopedDataFolder data{"modui"};
    ModerationActions actions;
    CRoomUI w{actions};
    roomtest::RecordingLink link;
    CManualClock clock;
    CManualTimerHost timers{clock, *this};
    roomtest::FakeAccount account;
    std::unique_ptr<CRoomSession> session;
    std::unique_ptr<CRoomModeration> moderation;
    CRoleTable roles;
    std::unique_ptr<CRoomModerationActions> bridge;
    std::optional<CkickReason::Result> reason;
    std::optional<std::int64_t> days;
    std::vector<std::string> asked;
};

}  // namespace

TEST_F(ModerationWindow, TheUserMenuFollowsMyRoleAndTheUsersState) {
    Enter(kOwner);
    CMenuWnd* menu = MenuOn(kBob);
    ASSERT_NE(menu, nullptr);
    // No microphone in this window: its entry stays disabled.
    EXPECT_EQ(States(menu), "eee---ede");
    menu->ShowSubmenu(menu->FindElement("Menu_Power"));
    CMenuWnd* sub = menu->OpenSubmenu();
    ASSERT_NE(sub, nullptr) << "the roles are a submenu";
    ASSERT_EQ(sub->ElementCount(), 4);
    CMenuElementUI* guest = sub->FindElement("MenuElementPower_3");
    ASSERT_NE(guest, nullptr);
    EXPECT_TRUE(guest->IsChecked()) << "bob's own role";
    EXPECT_EQ(guest->GetCheckImage(), "file='menu_check.png' dest='4,4,20,20'");
    EXPECT_EQ(guest->GetText(), "<c #808080>游客</c>");
    EXPECT_FALSE(sub->FindElement("MenuElementPower_0")->IsChecked());
    menu->close();

    // On myself: nothing to do to me but look.
    EXPECT_EQ(States(MenuOn(kMe)), "e-d---ddd");
    w.OpenMenu()->close();

    // Made a guest, I may do nothing to 大卫; once gagged, the menu offers
    // only the cancel entry, still disabled.
    msg::Control_Power_Notify power;
    power.user_id = kMe;
    power.role = kGuest;
    Receive(power);
    msg::Control_Gag_Notify gag;
    gag.user_id = kDave;
    Receive(gag);
    menu = MenuOn(kDave);
    EXPECT_EQ(States(menu), "ee-d--ddd");
    EXPECT_FALSE(menu->FindElement("Menu_Power")->HasSubmenu()) << "no roles to give";
    // A disabled entry chosen anyway (a stale menu) sends nothing.
    const std::size_t before = link.sent.size();
    w.OnMenuChoice("Menu_Kick");
    w.OnMenuChoice("Menu_PowerCancelGag");
    EXPECT_EQ(link.sent.size(), before);
    EXPECT_TRUE(asked.empty());
}

TEST_F(ModerationWindow, ChoicesGoThroughTheirDialogsOntoTheWire) {
    Enter(kOwner);
    ASSERT_NE(MenuOn(kBob), nullptr);
    w.OnMenuChoice("Menu_UserInfo");
    EXPECT_EQ(actions.profiles, std::vector<std::uint32_t>{kBob});

    // A cancelled reason sends nothing; an answered one the gag with it.
    w.OnMenuChoice("Menu_PowerGag");
    EXPECT_EQ(Sent(cmd::Control_Gag_Req), 0u);
    reason = CkickReason::Result{"刷屏, : 太吵", 0, 1};
    w.OnMenuChoice("Menu_PowerGag");
    ASSERT_EQ(Sent(cmd::Control_Gag_Req), 1u);
    const auto gag = link.Last<msg::Control_Gag_Req>();
    EXPECT_EQ(gag.target_id, kBob);
    EXPECT_EQ(gag.reason, "刷屏, : 太吵");
    EXPECT_EQ(gag.option, 1u);

    reason = CkickReason::Result{"广告, : ", 315360000, 0};
    w.OnMenuChoice("Menu_Kick");
    const auto kick = link.Last<msg::Control_Kick_Req>();
    EXPECT_EQ(kick.target_id, kBob);
    EXPECT_EQ(kick.duration, 315360000u);
    EXPECT_EQ(kick.reason, "广告, : ");
    EXPECT_EQ(asked, (std::vector<std::string>{"gag bob", "gag bob", "kick bob"}));

    // Once bob is gagged the gag entry does nothing even from the old menu;
    // a fresh menu's cancel entry sends at once, without a dialog.
    msg::Control_Gag_Notify gagged;
    gagged.user_id = kBob;
    Receive(gagged);
    w.OnMenuChoice("Menu_PowerGag");
    EXPECT_EQ(Sent(cmd::Control_Gag_Req), 1u);
    ASSERT_NE(MenuOn(kBob), nullptr);
    w.OnMenuChoice("Menu_PowerCancelGag");
    EXPECT_EQ(link.Last<msg::Control_Cancel_Gag_Req>().target_id, kBob);
    EXPECT_EQ(asked.size(), 3u);

    // Roles: the anchor role asks for days, the manager role (power 6) and
    // the guest role (20) do not.
    ASSERT_NE(MenuOn(kDave), nullptr);
    days = 30;
    w.OnMenuChoice("MenuElementPower_2");
    EXPECT_EQ(asked.back(), "days 大卫 主播");
    auto set = link.Last<msg::Control_Set_Power_Req>();
    EXPECT_EQ(set.target_id, kDave);
    EXPECT_EQ(set.role, kAnchor);
    EXPECT_EQ(set.duration, 43200u);
    asked.clear();
    for (const char* element : {"MenuElementPower_1", "MenuElementPower_3"}) {
        w.OnMenuChoice(element);
        EXPECT_EQ(link.Last<msg::Control_Set_Power_Req>().duration, 8640000u) << element;
    }
    EXPECT_TRUE(asked.empty());
    const std::size_t sets = Sent(cmd::Control_Set_Power_Req);
    days.reset();
    w.OnMenuChoice("MenuElementPower_2");
    EXPECT_EQ(Sent(cmd::Control_Set_Power_Req), sets) << "a cancelled days dialog sends nothing";

    // Friends: added from the menu, then no longer offered.
    w.OnMenuChoice("Menu_AddFirend");
    EXPECT_TRUE(BUDDY_QueryFriend(session->buddy(), kDave));
    EXPECT_EQ(MenuOn(kDave)->FindElement("Menu_AddFirend")->isHidden(), true);
}

TEST_F(ModerationWindow, CardsInMyPackAreOfferedAndUsedOnTheUser) {
    Enter(kGuest);
    // Before my pack is listed no card is offered.
    EXPECT_EQ(States(MenuOn(kBob)), "eed---ddd");
    w.OpenMenu()->close();

    PatronPackList pack{};
    pack.status = 1;
    pack.userId = kMe;
    pack.count = 2;
    pack.entries[0] = {501, 100, 1, 77, "禁言卡"};
    pack.entries[1] = {502, 10, 0, 88, "解禁卡"};  // used up: no card
    WindowMessage m;
    m.msg = UM_PACK_LIST;
    m.wParam = 1;
    TMessageData<PatronPackList> data(pack);
    m.data = &data;
    ASSERT_TRUE(session->OnFeatureMessage(m));

    EXPECT_EQ(States(MenuOn(kBob)), "eed-e-ddd");
    w.OnMenuChoice("Menu_PropGag");
    ASSERT_EQ(account.props.size(), 1u);
    EXPECT_EQ(account.props[0].giverId, kMe);
    EXPECT_EQ(account.props[0].receiverId, kBob);
    EXPECT_EQ(account.props[0].entryId, 501u);
    EXPECT_EQ(account.props[0].value, 77u);
    EXPECT_EQ(account.props[0].count, 1u);

    // A gagged user is offered the cancel card only, which I do not hold.
    msg::Control_Gag_Notify gag;
    gag.user_id = kBob;
    Receive(gag);
    EXPECT_EQ(States(MenuOn(kBob)), "ee-d--ddd");
}

TEST_F(ModerationWindow, ANameInTheChatOpensTheMenuTheListGivesAndAUserGoneTheChatMenu) {
    Enter(kOwner);
    const std::string fromList = States(MenuOn(kBob));
    w.OpenMenu()->close();
    ChatRenderContext c;
    c.time = 1'700'000'000;
    ChatEntry line;
    line.senderId = kBob;
    line.senderName = "bob";
    line.text = "hi";
    CChatView& recv = *w.FindChat("Edit_RecvChat");
    RenderChatEntry(recv, line, c);
    line.senderId = 99;  // said something, then left
    line.senderName = "gone";
    RenderChatEntry(recv, line, c);
    const QString text = recv.PlainText();

    uitest::Pump([&] { return !w.OpenMenu(); });
    uitest::RightClickText(recv, static_cast<int>(text.indexOf("bob")) + 1);
    ASSERT_NE(w.OpenMenu(), nullptr);
    EXPECT_EQ(w.MenuUser(), kBob);
    EXPECT_EQ(States(w.OpenMenu()), fromList);
    w.OpenMenu()->close();

    uitest::Pump([&] { return !w.OpenMenu(); });
    uitest::RightClickText(recv, static_cast<int>(text.indexOf("gone")) + 1);
    ASSERT_NE(w.OpenMenu(), nullptr);
    EXPECT_EQ(w.MenuView(), "Edit_RecvChat") << "no user menu for someone not in the room";
}

TEST_F(ModerationWindow, TheModeSelectorSendsOnlyThePersonsPick) {
    Enter(kManager);
    auto* combo = w.FindControl<CComboUI>("Combo_Room_mode");
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->GetCurSel(), 0) << "anchor mode shown";

    // The room changing its mode moves the selector and sends nothing.
    msg::Control_Room_Mode_Notify notify;
    notify.mode = 4;
    Receive(notify);
    EXPECT_EQ(combo->GetCurSel(), 2);
    EXPECT_EQ(Sent(cmd::Control_Set_Room_Mode_Req), 0u);

    // The person's pick is sent; the mode changes only with the notify.
    combo->SelectItem(1, true);
    ASSERT_EQ(Sent(cmd::Control_Set_Room_Mode_Req), 1u);
    EXPECT_EQ(link.Last<msg::Control_Set_Room_Mode_Req>().mode, 1u);

    // Without the power the pick is refused and the selector snaps back.
    msg::Control_Power_Notify power;
    power.user_id = kMe;
    power.role = kGuest;
    Receive(power);
    combo->SelectItem(0, true);
    EXPECT_EQ(Sent(cmd::Control_Set_Room_Mode_Req), 1u);
    EXPECT_EQ(w.GetControlText("text_tip"), "没有权限!");
    EXPECT_EQ(combo->GetCurSel(), 2);
}

// ---- the dialogs ----------------------------------------------------------------

namespace {

void Type(CControlUI* edit, const QString& text) {
    auto* e = dynamic_cast<CEditUI*>(edit);
    ASSERT_NE(e, nullptr);
    e->Edit()->setFocus();
    QTest::keyClicks(e->Edit(), text);
}

}  // namespace

TEST(ModerationSkins, TheDialogsMarksAreDrawnAndTellOnFromOff) {
    for (const char* pair : {"check_box", "radio"}) {
        const QImage off(QString::fromStdString(uitest::SkinFolder() + pair + ".png"));
        const QImage on(QString::fromStdString(uitest::SkinFolder() + pair + "_on.png"));
        ASSERT_FALSE(off.isNull()) << pair;
        ASSERT_FALSE(on.isNull()) << pair;
        EXPECT_EQ(off.size(), QSize(32, 32)) << pair;
        EXPECT_NE(off, on) << pair;
    }
}

TEST(ReasonDialog, OkIsOfferedOnlyWithAReasonAndTheResultIsComposed) {
    uitest::FakeActions actions;
    CRoomUI owner(actions);
    ASSERT_TRUE(owner.Create());
    CkickReason kick(true, "大卫", 10004);
    ASSERT_TRUE(kick.Create(&owner)) << kick.SkinError();
    kick.ShowWindow(true);
    EXPECT_EQ(kick.GetWindowClassName(), "DuiKickWnd");
    EXPECT_EQ(kick.GetControlText("text_title"), "踢人");
    EXPECT_EQ(kick.GetControlText("LabelTip"), "你对 <c #6464E0>大卫(10004)</c>  进行踢人操作，请选择原因：");
    EXPECT_TRUE(kick.IsControlVisible("Container_kick_time"));
    EXPECT_FALSE(kick.IsControlVisible("Container_gag_time"));
    auto* edit = kick.FindControl<CEditUI>("edit_other");
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->Edit()->placeholderText().toStdString(), "请输入具体原因:");
    auto* combo = kick.FindControl<CComboUI>("Combo_time");
    ASSERT_NE(combo, nullptr);
    ASSERT_EQ(combo->GetCount(), 5);
    EXPECT_EQ(combo->GetItemText(4), "永 久");

    CControlUI* ok = kick.FindControl("bnt_ok");
    ASSERT_NE(ok, nullptr);
    EXPECT_FALSE(ok->isEnabled()) << "no reason yet";
    Click(kick.FindControl("Option_2"));
    EXPECT_TRUE(ok->isEnabled());
    Click(kick.FindControl("Option_2"));
    EXPECT_FALSE(ok->isEnabled()) << "the option taken back";
    Click(ok);
    EXPECT_FALSE(kick.result()) << "a disabled OK does nothing";
    Type(edit, "noisy");
    EXPECT_TRUE(ok->isEnabled()) << "free text alone is a reason";
    Click(kick.FindControl("Option_1"));
    Click(kick.FindControl("Option_3"));
    combo->SelectItem(4, true);
    Click(ok);
    ASSERT_TRUE(kick.result());
    const std::string reason = kick.GetControlText("Option_1") + "," + kick.GetControlText("Option_3") + ", : noisy";
    EXPECT_EQ(kick.result()->reason, reason);
    EXPECT_EQ(kick.result()->seconds, 315360000u);
    EXPECT_FALSE(kick.isVisible()) << "OK closes the dialog";

    // The gag dialog: its own option instead of the time list, run modal.
    CkickReason gag(false, "bob", 7);
    ASSERT_TRUE(gag.Create(&owner));
    EXPECT_FALSE(gag.IsControlVisible("Container_kick_time"));
    EXPECT_TRUE(gag.IsControlVisible("Container_gag_time"));
    QTimer::singleShot(0, &gag, [&gag] {
        Click(gag.FindControl("Option_gag"));
        Click(gag.FindControl("Option_4"));
        Click(gag.FindControl("bnt_ok"));
    });
    const auto r = gag.ShowModal(&owner);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->option, 1u);
    EXPECT_EQ(r->reason, gag.GetControlText("Option_4") + ", : ");

    // Cancelled: nothing.
    CkickReason cancelled(false, "bob", 7);
    QTimer::singleShot(0, &cancelled, [&cancelled] {
        Click(cancelled.FindControl("Option_1"));
        Click(cancelled.FindControl("bnt_cancel"));
    });
    EXPECT_FALSE(cancelled.ShowModal(&owner));
}

TEST(RoleDialog, TypedDaysOverTheLimitOrNoneKeepTheDialogOpen) {
    uitest::FakeActions actions;
    CRoomUI owner(actions);
    ASSERT_TRUE(owner.Create());
    CRoleSetDlg dlg("大卫", 10004, "主播");
    std::vector<std::string> boxes;
    dlg.SetMessageBoxHandler([&boxes](const std::string& text, const std::string& caption) {
        boxes.push_back(caption + ":" + text);
    });
    ASSERT_TRUE(dlg.Create(&owner)) << dlg.SkinError();
    dlg.ShowWindow(true);
    EXPECT_EQ(dlg.GetWindowClassName(), "DuiRoleWnd");
    EXPECT_NE(dlg.GetControlText("TextUI1").find("大卫(10004)"), std::string::npos);
    EXPECT_TRUE(dlg.IsControlSelected("OptionUI1")) << "the longest grant to start with";

    Type(dlg.FindControl("EditUI1"), "6001");
    EXPECT_TRUE(dlg.IsControlSelected("OptionUI4")) << "typing picks the typed choice";
    EXPECT_FALSE(dlg.IsControlSelected("OptionUI1"));
    Click(dlg.FindControl("bnt_ok"));
    EXPECT_EQ(boxes, std::vector<std::string>{"提示:天数不能大于6000天"});
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_FALSE(dlg.result());

    dlg.FindControl<CEditUI>("EditUI1")->Edit()->clear();
    Click(dlg.FindControl("bnt_ok"));
    EXPECT_EQ(boxes.size(), 2u) << "empty is no number of days";
    Type(dlg.FindControl("EditUI1"), "0");
    Click(dlg.FindControl("bnt_ok"));
    EXPECT_EQ(boxes.size(), 3u) << "0 days would be for ever";
    EXPECT_TRUE(dlg.isVisible());

    Click(dlg.FindControl("OptionUI3"));
    Click(dlg.FindControl("bnt_ok"));
    ASSERT_TRUE(dlg.result());
    EXPECT_EQ(*dlg.result(), 30);
    EXPECT_FALSE(dlg.isVisible());
}
