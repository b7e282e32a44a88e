// Moderation driven through the session: each request's checks and the fields
// it sends, the room-mode selector, the notifies for me, another user and a
// stranger, the gag and cancel-gag cards of my pack, and the typed headless
// commands with their usage lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "core/paths.h"
#include "net/catalogue_chat.h"
#include "net/catalogue_moderation.h"
#include "net/catalogue_room.h"
#include "platform/patron/patron_records.h"
#include "room/headless_view.h"
#include "room/room_chat.h"
#include "room/room_moderation.h"
#include "tests/room/room_test_support.h"

using roomtest::FakeAccount;
using roomtest::RecordingLink;
using R = CRoomModeration::Result;

namespace {

constexpr std::uint32_t kMe = 42, kBob = 7, kDave = 10004, kStranger = 999;
constexpr std::uint8_t kManager = 3, kGuest = 20, kAnchorRole = 7;

class RoomModeration : public ::testing::Test, public ITimerSink {
protected:
    void SetUp() override {
        account.me.userId = kMe;
        account.me.nickname = "ann";
        ASSERT_TRUE(session.Start());
        chat = std::make_unique<CRoomChat>(session, account, transfers, faces, RoomChatSetup{});
        moderation = std::make_unique<CRoomModeration>(session, account);
    }
    void TearDown() override {
        moderation.reset();
        chat.reset();
    }
    roomtest::ScopedDataFolder data{"rmod"};
    void OnTimer(unsigned id) override { session.OnTimer(id); }

    template <class Msg>
    void Receive(const Msg& m) {
        roomtest::Deliver(session, m);
    }
    // In room 1001, anchor mode, as `role`, with bob (guest) and 大卫 (anchor role).
    void Enter(std::uint8_t role = kManager) {
        session.EnterRoom(1001);
        msg::Control_Login_Resp r;
        r.room_id = 1001;
        r.role = role;
        r.room_mode = 2;
        Receive(r);
        Receive(roomtest::MemberList({{kBob, "bob", kGuest}, {kDave, "大卫", kAnchorRole}}));
    }
    void Grant(std::initializer_list<roomtest::PowerRule> rules) {
        session.OnPowerList(roomtest::PowerListAnswer(rules));
    }
    std::size_t Sent() const { return link.sent.size(); }
    std::string Tip() const { return view.Text("text_tip"); }
    int Selection() const { return view.Find("Combo_Room_mode")->selection; }
    std::vector<std::string> SystemLines() { return view.FindChat("Edit_RecvChat")->Lines(); }
    void Gagged(std::uint32_t id, bool gagged) {
        if (gagged) {
            msg::Control_Gag_Notify n;
            n.user_id = id;
            Receive(n);
        } else {
            msg::Control_Cancel_Gag_Notify n;
            n.user_id = id;
            Receive(n);
        }
    }
    std::vector<std::uint32_t> ListOrder() const {
        std::vector<std::uint32_t> ids;
        for (const auto& item : session.userList().items()) ids.push_back(item.userId);
        return ids;
    }

    CHeadlessView view{nullptr};
    RecordingLink link;
    CManualClock clock;
    CManualTimerHost timers{clock, *this};
    FakeAccount account;
    CRoomSession session{view, link, timers, clock, account};
    CFaceTable faces;
    roomtest::NoHttp http;
    CSerialTransfers transfers{http};
    std::unique_ptr<CRoomChat> chat;
    std::unique_ptr<CRoomModeration> moderation;
};

}  // namespace

// --- requests ------------------------------------------------------------------------

TEST_F(RoomModeration, GagAndCancelGagAreCheckedBeforeSendingAndCarryTheirFields) {
    EXPECT_EQ(moderation->Gag(kBob, "spam", 0), R::not_in_room);
    Enter();
    const std::size_t before = Sent();
    EXPECT_EQ(moderation->Gag(kBob, "spam", 0), R::no_power);
    EXPECT_EQ(Tip(), "无权限!");
    EXPECT_EQ(moderation->Gag(kStranger, "spam", 0), R::no_target);
    EXPECT_EQ(Tip(), "对方不在房间");
    // Power over guests only: the anchor-role user stays out of reach, as do I.
    Grant({{power_id::gag, kManager, kGuest}});
    EXPECT_EQ(moderation->Gag(kDave, "spam", 0), R::no_power);
    EXPECT_EQ(moderation->Gag(kMe, "spam", 0), R::self);
    EXPECT_EQ(Sent(), before);

    ASSERT_EQ(moderation->Gag(kBob, "刷屏,  : 太多", 1), R::sent);
    const auto gag = link.Last<msg::Control_Gag_Req>();
    EXPECT_EQ(gag.user_id, kMe);
    EXPECT_EQ(gag.target_id, kBob);
    EXPECT_EQ(gag.reason, "刷屏,  : 太多");
    EXPECT_EQ(gag.option, 1u);
    // Un-gagging a user who is not gagged does nothing; once gagged, the reverse.
    EXPECT_EQ(moderation->CancelGag(kBob), R::already);
    Gagged(kBob, true);
    const std::size_t afterGag = Sent();
    EXPECT_EQ(moderation->Gag(kBob, "again", 0), R::already);
    EXPECT_EQ(Sent(), afterGag);
    ASSERT_EQ(moderation->CancelGag(kBob), R::sent);
    const auto cancel = link.Last<msg::Control_Cancel_Gag_Req>();
    EXPECT_EQ(cancel.user_id, kMe);
    EXPECT_EQ(cancel.target_id, kBob);
    link.down = true;
    EXPECT_EQ(moderation->CancelGag(kBob), R::not_sent);
}

TEST_F(RoomModeration, KickNeedsPowerOverTheTargetAndSendsSecondsAndReason) {
    Enter();
    EXPECT_EQ(moderation->Kick(kBob, 300, "广告"), R::no_power);
    Grant({{power_id::kick, kManager}});
    EXPECT_EQ(moderation->Kick(kMe, 300, "x"), R::self);
    EXPECT_EQ(moderation->Kick(kBob, 0, "广告"), R::bad_value);
    EXPECT_EQ(moderation->Kick(kBob, kKickForeverSeconds + 1, "广告"), R::bad_value);
    EXPECT_EQ(link.Count(cmd::Control_Kick_Req), 0);
    ASSERT_EQ(moderation->Kick(kDave, kKickForeverSeconds, "广告"), R::sent);
    const auto kick = link.Last<msg::Control_Kick_Req>();
    EXPECT_EQ(kick.target_id, kDave);
    EXPECT_EQ(kick.duration, 315360000u);
    EXPECT_EQ(kick.reason, "广告");
    // A refusal shows the server's text.
    msg::Control_Kick_Resp refused;
    refused.message = "无权限!";
    refused.code = 1020;
    Receive(refused);
    EXPECT_EQ(Tip(), "无权限!");
}

TEST_F(RoomModeration, SetPowerSendsDaysAsMinutesAndRefusesDaysOutOfRange) {
    Enter();
    Grant({{power_id::set_power, kManager, kGuest}, {power_id::set_power, kManager, kAnchorRole}});
    ASSERT_EQ(moderation->SetPower(kBob, kAnchorRole, 30), R::sent);
    auto req = link.Last<msg::Control_Set_Power_Req>();
    EXPECT_EQ(req.user_id, kMe);
    EXPECT_EQ(req.target_id, kBob);
    EXPECT_EQ(req.role, kAnchorRole);
    EXPECT_EQ(req.duration, 43200u);
    ASSERT_EQ(moderation->SetPower(kBob, kAnchorRole, 6000), R::sent);
    EXPECT_EQ(link.Last<msg::Control_Set_Power_Req>().duration, 8640000u);

    const int sent = link.Count(cmd::Control_Set_Power_Req);
    EXPECT_EQ(moderation->SetPower(kBob, kAnchorRole, 6001), R::bad_value);
    EXPECT_EQ(view.Lines().back(), "box: 提示: 天数不能大于6000天");
    EXPECT_EQ(moderation->SetPower(kBob, kAnchorRole, 0), R::bad_value);
    EXPECT_EQ(moderation->SetPower(kBob, kAnchorRole, -1), R::bad_value);
    // Power over the user is not enough: also over the role given.
    EXPECT_EQ(moderation->SetPower(kBob, kManager, 30), R::no_power);
    EXPECT_EQ(Tip(), "无权限!");
    EXPECT_EQ(link.Count(cmd::Control_Set_Power_Req), sent);
}

TEST_F(RoomModeration, TheModeSelectorMapsItsEntriesAndSnapsBackWhenRefused) {
    Enter();
    EXPECT_EQ(Selection(), 0);  // anchor mode at login
    EXPECT_EQ(moderation->ChooseRoomMode(0), R::already);
    EXPECT_EQ(link.Count(cmd::Control_Set_Room_Mode_Req), 0);
    // Free mic needs power 10: refused, the selector shows the room's mode again.
    view.SetSelection("Combo_Room_mode", 1);
    EXPECT_EQ(moderation->ChooseRoomMode(1), R::no_power);
    EXPECT_EQ(Tip(), "没有权限!");
    EXPECT_EQ(Selection(), 0);
    EXPECT_EQ(link.Count(cmd::Control_Set_Room_Mode_Req), 0);
    // The queue mode needs nothing locally.
    ASSERT_EQ(moderation->ChooseRoomMode(2), R::sent);
    EXPECT_EQ(link.Last<msg::Control_Set_Room_Mode_Req>().mode, 4u);
    EXPECT_EQ(link.Last<msg::Control_Set_Room_Mode_Req>().user_id, kMe);
    Grant({{power_id::room_mode_1, kManager}});
    ASSERT_EQ(moderation->ChooseRoomMode(1), R::sent);
    EXPECT_EQ(link.Last<msg::Control_Set_Room_Mode_Req>().mode, 1u);
    EXPECT_EQ(moderation->ChooseRoomMode(3), R::bad_value);
    // Music mode is not on the selector and needs power 11.
    EXPECT_EQ(moderation->SetRoomMode(3), R::no_power);
    // The server's refusal: its text, and the selector back on the room's mode.
    view.SetSelection("Combo_Room_mode", 1);
    msg::Control_Set_Room_Mode_Resp refused;
    refused.message = "无权限!";
    Receive(refused);
    EXPECT_EQ(Tip(), "无权限!");
    EXPECT_EQ(Selection(), 0);
    EXPECT_EQ(session.roomMode(), 2u);
}

// --- notifies ------------------------------------------------------------------------

TEST_F(RoomModeration, GagNotifiesMarkTheUserAndTellMeOrTheRoom) {
    Enter();
    Gagged(kDave, true);
    EXPECT_TRUE(session.users().at(kDave).gagged);
    EXPECT_TRUE(session.userList().at(session.userList().IndexOf(kDave)).gagged);
    EXPECT_FALSE(session.gagged());
    EXPECT_NE(SystemLines().back().find("大卫已被禁言"), std::string::npos);
    Gagged(kMe, true);
    EXPECT_TRUE(session.gagged());
    EXPECT_EQ(Tip(), "你被禁言!");
    EXPECT_NE(SystemLines().back().find("你被禁言!"), std::string::npos);
    // A gagged user's line is refused before it leaves.
    EXPECT_EQ(chat->SendLine("hi"), CRoomChat::SendResult::gagged);

    Gagged(kDave, false);
    EXPECT_FALSE(session.users().at(kDave).gagged);
    EXPECT_NE(SystemLines().back().find("大卫已被取消禁言"), std::string::npos);
    Gagged(kMe, false);
    EXPECT_FALSE(session.gagged());
    EXPECT_EQ(Tip(), "你被取消禁言!");
    EXPECT_NE(SystemLines().back().find("你被取消禁言!"), std::string::npos);

    const std::size_t lines = SystemLines().size();
    Gagged(kStranger, true);
    Gagged(kStranger, false);
    EXPECT_EQ(SystemLines().size(), lines);
}

TEST_F(RoomModeration, PowerNotifiesChangeTheRoleReSortAndTellMe) {
    Enter(kAnchorRole);
    EXPECT_TRUE(view.Find("bnt_sign")->visible);
    // Same grade: the lower role id goes first.
    EXPECT_EQ(ListOrder(), (std::vector<std::uint32_t>{kMe, kDave, kBob}));
    msg::Control_Power_Notify n;
    n.user_id = kBob;
    n.role = 1;
    Receive(n);
    EXPECT_EQ(session.users().at(kBob).role, 1u);
    EXPECT_EQ(ListOrder(), (std::vector<std::uint32_t>{kBob, kMe, kDave}));
    EXPECT_EQ(session.myRole(), kAnchorRole);

    n.user_id = kMe;
    n.role = kGuest;
    Receive(n);
    EXPECT_EQ(session.myRole(), kGuest);
    EXPECT_EQ(Tip(), "你已经被更改权限!");
    EXPECT_FALSE(view.Find("Combo_Room_mode")->enabled);
    EXPECT_FALSE(view.Find("bnt_sign")->visible);
    EXPECT_EQ(ListOrder(), (std::vector<std::uint32_t>{kBob, kDave, kMe}));

    view.ShowTip("");
    n.user_id = kStranger;
    n.role = 1;
    Receive(n);
    EXPECT_EQ(Tip(), "");
    EXPECT_EQ(session.userList().size(), 3u);
}

TEST_F(RoomModeration, ModeNotifiesAnnounceAndApplyANewModeOnly) {
    Enter();
    const auto mode = [&](std::uint32_t m) {
        msg::Control_Room_Mode_Notify n;
        n.mode = m;
        Receive(n);
    };
    const std::size_t lines = SystemLines().size();
    mode(2);  // the room's own
    mode(0);
    mode(9);
    EXPECT_EQ(SystemLines().size(), lines);
    EXPECT_EQ(session.roomMode(), 2u);
    const std::pair<std::uint32_t, const char*> texts[] = {{4, "房间被更改为麦序模式"},
                                                           {1, "房间被更改为抢麦模式"},
                                                           {3, "房间被更改为音乐模式"},
                                                           {2, "房间被更改为主播模式"}};
    const int selections[] = {2, 1, -1, 0};
    for (std::size_t i = 0; i < std::size(texts); ++i) {
        mode(texts[i].first);
        EXPECT_EQ(session.roomMode(), texts[i].first);
        EXPECT_EQ(Tip(), texts[i].second);
        EXPECT_NE(SystemLines().back().find(texts[i].second), std::string::npos);
        EXPECT_EQ(Selection(), selections[i]);
    }
}

TEST_F(RoomModeration, OnlyAKickNamingMeLeavesTheRoomAndTheListenerHearsWhy) {
    Enter();
    std::vector<std::string> left;
    session.SetOnLeft([&left](const std::string& reason) { left.push_back(reason); });
    msg::Control_Kick_Notify n;
    n.user_id = kBob;
    Receive(n);
    n.user_id = 0;
    Receive(n);
    EXPECT_TRUE(session.loggedIn());
    EXPECT_EQ(session.roomId(), 1001u);
    n.user_id = kMe;
    Receive(n);
    // The box comes last but for the emptied room's own controls.
    const auto box = std::find_if(view.Lines().rbegin(), view.Lines().rend(),
                                  [](const std::string& l) { return l.rfind("box: ", 0) == 0; });
    ASSERT_NE(box, view.Lines().rend());
    EXPECT_EQ(*box, "box: 提示: 你被踢出房间!");
    EXPECT_TRUE(session.left());
    EXPECT_EQ(session.roomId(), 0u);
    EXPECT_EQ(link.Count(cmd::Control_Logout_Req), 1);
    EXPECT_EQ(left, std::vector<std::string>{"你被踢出房间!"});

    // With the kicker's words; and an exit tells no one (the program ends).
    Enter();
    n.text2 = "广告";
    Receive(n);
    EXPECT_EQ(left.back(), "你被踢出房间! 原因：广告");
    Enter();
    session.ExitApplication();
    EXPECT_EQ(left.size(), 2u);
    session.SetOnLeft({});
}

// --- typed commands ------------------------------------------------------------------

TEST_F(RoomModeration, TypedCommandsRunTheSameChecksAndBadArgumentsPrintTheirUsage) {
    Enter();
    Grant({{power_id::gag, kManager},
           {power_id::kick, kManager},
           {power_id::set_power, kManager},
           {power_id::long_grant, 1},
           {power_id::chat, kManager}});
    using S = CRoomChat::SendResult;
    EXPECT_EQ(chat->SendLine("/gag 7 刷屏 太多"), S::command);
    EXPECT_EQ(link.Last<msg::Control_Gag_Req>().reason, "刷屏 太多");
    EXPECT_EQ(link.Last<msg::Control_Gag_Req>().target_id, kBob);
    Gagged(kBob, true);
    EXPECT_EQ(chat->SendLine("/ungag 7"), S::command);
    EXPECT_EQ(link.Count(cmd::Control_Cancel_Gag_Req), 1);
    EXPECT_EQ(chat->SendLine("/kick 10004 300 广告 链接"), S::command);
    EXPECT_EQ(link.Last<msg::Control_Kick_Req>().duration, 300u);
    EXPECT_EQ(link.Last<msg::Control_Kick_Req>().reason, "广告 链接");
    EXPECT_EQ(chat->SendLine("/role 7 7 30"), S::command);
    EXPECT_EQ(link.Last<msg::Control_Set_Power_Req>().duration, 43200u);
    // Roles given for good (power 6, or the guest role) need no days.
    EXPECT_EQ(chat->SendLine("/role 7 1"), S::command);
    EXPECT_EQ(link.Last<msg::Control_Set_Power_Req>().role, 1);
    EXPECT_EQ(link.Last<msg::Control_Set_Power_Req>().duration, 8640000u);
    EXPECT_EQ(chat->SendLine("/role 7 20"), S::command);
    EXPECT_EQ(link.Last<msg::Control_Set_Power_Req>().role, kGuest);
    EXPECT_EQ(chat->SendLine("/mode 4"), S::command);
    EXPECT_EQ(link.Last<msg::Control_Set_Room_Mode_Req>().mode, 4u);

    const std::size_t sent = Sent();
    const std::pair<const char*, const char*> bad[] = {
        {"/gag", "usage: /gag ID REASON"},
        {"/gag 7", "usage: /gag ID REASON"},
        {"/gag x 刷屏", "usage: /gag ID REASON"},
        {"/ungag", "usage: /ungag ID"},
        {"/ungag 0", "usage: /ungag ID"},
        {"/ungag 7 8", "usage: /ungag ID"},
        {"/kick 7 300", "usage: /kick ID SECONDS REASON"},
        {"/kick 7 0 广告", "usage: /kick ID SECONDS REASON"},
        {"/kick 7 3e2 广告", "usage: /kick ID SECONDS REASON"},
        {"/kick 4294967296 300 广告", "usage: /kick ID SECONDS REASON"},
        {"/role 7", "usage: /role ID ROLE [DAYS]"},
        {"/role 7 7", "usage: /role ID ROLE [DAYS]"},
        {"/role 7 276 30", "usage: /role ID ROLE [DAYS]"},
        {"/role 7 7 0", "usage: /role ID ROLE [DAYS]"},
        {"/role 7 7 -1", "usage: /role ID ROLE [DAYS]"},
        {"/role 7 7 6001", "usage: /role ID ROLE [DAYS]"},
        {"/mode 3", "usage: /mode 1|2|4"},
        {"/mode", "usage: /mode 1|2|4"},
        {"/users all", "usage: /users"},
        {"/state x", "usage: /state"},
    };
    for (const auto& [typed, usage] : bad) {
        view.ShowTip("");
        EXPECT_EQ(chat->SendLine(typed), S::command) << typed;
        EXPECT_EQ(Tip(), usage) << typed;
    }
    EXPECT_EQ(Sent(), sent);
    // Other words are chat, and "/to" keeps its meaning.
    EXPECT_EQ(chat->SendLine("/gagging is fun"), S::sent);
    EXPECT_EQ(link.Last<msg::Control_Send_Chat_Req>().line, "//gagging is fun");
    EXPECT_EQ(chat->SendLine("/to"), S::usage);
}

TEST_F(RoomModeration, UsersAndStatePrintOneLinePerUserInListOrder) {
    EXPECT_EQ(chat->SendLine("/state"), CRoomChat::SendResult::command);
    EXPECT_EQ(Tip(), "请先进入房间");
    Enter();
    Gagged(kDave, true);
    const std::size_t before = view.Lines().size();
    chat->SendLine("/users");
    const std::vector<std::string> users(view.Lines().begin() + static_cast<long>(before),
                                         view.Lines().end());
    EXPECT_EQ(users, (std::vector<std::string>{"user: ann(42) role=3 gagged=0",
                                               "user: 大卫(10004) role=7 gagged=1",
                                               "user: bob(7) role=20 gagged=0"}));
    Gagged(kMe, true);
    chat->SendLine("  /state");
    EXPECT_EQ(view.Lines().back(), "user: ann(42) role=3 gagged=1");
}

TEST_F(RoomModeration, StateReportsAGagFromTheLoginOrFromTheServersOwnNotice) {
    session.EnterRoom(1001);
    msg::Control_Login_Resp r;
    r.room_id = 1001;
    r.role = kGuest;
    r.gagged = 1;
    Receive(r);
    chat->SendLine("/state");
    EXPECT_EQ(view.Lines().back(), "user: ann(42) role=20 gagged=1");
    Gagged(kMe, false);
    msg::Control_Login_Other_Notify other;
    other.user_id = kMe;
    other.kind = 3;
    Receive(other);
    EXPECT_TRUE(session.gagged());
    chat->SendLine("/state");
    EXPECT_EQ(view.Lines().back(), "user: ann(42) role=20 gagged=1");
    EXPECT_TRUE(session.userList().at(0).gagged);
}

// --- cards ----------------------------------------------------------------------------

namespace {

struct Card {
    std::uint32_t entry, prop, count, value;
};

// The account's pack answer as the program's callback posts it.
void DeliverPack(CRoomSession& s, std::initializer_list<Card> cards, std::uint32_t claimed = 0) {
    PatronPackList list{};
    list.status = 1;
    for (const Card& c : cards) {
        PatronPackEntry& e = list.entries[list.count++];
        e.entryId = c.entry, e.propId = c.prop, e.count = c.count, e.value = c.value;
        std::snprintf(e.name, sizeof e.name, "card %u", c.entry);
    }
    if (claimed) list.count = claimed;
    TMessageData<PatronPackList> data(list);
    WindowMessage m{UM_PACK_LIST, 1, 0, &data};
    EXPECT_TRUE(s.OnFeatureMessage(m));
}

void DeliverAccountMessage(CRoomSession& s, unsigned msg, std::uintptr_t a, std::intptr_t b,
                           CMessageData* data = nullptr) {
    WindowMessage m{msg, a, b, data};
    EXPECT_TRUE(s.OnFeatureMessage(m));
}

}  // namespace

TEST_F(RoomModeration, CardsGoOnlyToTheirTargetsAndOnlyWhileOneIsLeft) {
    EXPECT_EQ(moderation->UseGagCard(kBob), R::not_in_room);
    // A guest: cards need no power.
    Enter(kGuest);
    // The room's login asks for my pack; until it comes no card is offered.
    EXPECT_EQ(account.packRequests, 1);
    EXPECT_EQ(moderation->UseGagCard(kBob), R::no_card);
    EXPECT_EQ(account.packRequests, 2);
    // The first gag-card entry is used up: the second one is used.
    DeliverPack(session, {{5, kPropGagCard, 0, 1}, {6, kPropCancelGagCard, 2, 9},
                          {8, kPropGagCard, 1, 3}});
    EXPECT_TRUE(moderation->pack().OwnsCard(kPropGagCard));

    EXPECT_EQ(moderation->UseGagCard(kMe), R::self);
    EXPECT_EQ(Tip(), "不能对自己使用禁言卡");
    EXPECT_EQ(moderation->UseGagCard(kStranger), R::no_target);
    EXPECT_EQ(Tip(), "对方不在房间");
    EXPECT_EQ(moderation->UseCancelGagCard(kDave), R::already);
    EXPECT_EQ(Tip(), "对方未被禁言");
    EXPECT_EQ(moderation->UseCancelGagCard(kMe), R::already);
    EXPECT_EQ(Tip(), "您没有被禁言, 无法使用解禁卡");
    EXPECT_TRUE(account.props.empty());

    ASSERT_EQ(moderation->UseGagCard(kBob), R::sent);
    ASSERT_EQ(account.props.size(), 1u);
    const PropUse& gag = account.props.back();
    EXPECT_EQ(gag.giverId, kMe);
    EXPECT_EQ(gag.receiverId, kBob);
    EXPECT_EQ(gag.entryId, 8u);
    EXPECT_EQ(gag.count, 1u);
    EXPECT_EQ(gag.roomId, 1001u);
    EXPECT_EQ(gag.value, 3u);
    // Nothing goes over the chat connection: the account does it.
    EXPECT_EQ(link.Count(cmd::Control_Gag_Req), 0);

    Gagged(kBob, true);
    EXPECT_EQ(moderation->UseGagCard(kBob), R::already);
    EXPECT_EQ(Tip(), "对方已被禁言");
    // A gagged user may free himself with a card.
    Gagged(kMe, true);
    ASSERT_EQ(moderation->UseCancelGagCard(kMe), R::sent);
    EXPECT_EQ(account.props.back().receiverId, kMe);
    EXPECT_EQ(account.props.back().entryId, 6u);
    EXPECT_EQ(account.props.back().value, 9u);

    // Every gag card used up: none to use.
    DeliverPack(session, {{5, kPropGagCard, 0, 1}, {6, kPropCancelGagCard, 1, 9}});
    EXPECT_FALSE(moderation->pack().OwnsCard(kPropGagCard));
    EXPECT_EQ(moderation->UseGagCard(kDave), R::no_card);
    EXPECT_EQ(Tip(), "你没有禁言卡");
    DeliverPack(session, {{8, kPropGagCard, 1, 0}});
    EXPECT_EQ(moderation->UseCancelGagCard(kBob), R::no_card);
    EXPECT_EQ(Tip(), "你没有解禁卡");
    EXPECT_EQ(account.props.size(), 2u);

    // The account library refusing the call is told at once.
    account.propCallTaken = false;
    EXPECT_EQ(moderation->UseGagCard(kDave), R::not_sent);
    EXPECT_EQ(Tip(), "使用禁言卡失败，网络连接异常");
    DeliverPack(session, {{6, kPropCancelGagCard, 1, 0}});
    EXPECT_EQ(moderation->UseCancelGagCard(kBob), R::not_sent);
    EXPECT_EQ(Tip(), "使用解禁卡失败，网络连接异常");
}

TEST_F(RoomModeration, ACardsResultTipsAndOnlySuccessReloadsThePack) {
    Enter(kGuest);
    const int requests = account.packRequests;
    DeliverAccountMessage(session, UM_PROP_USED, 1, 8);
    EXPECT_EQ(Tip(), "使用道具成功!");
    EXPECT_EQ(account.packRequests, requests + 1);
    DeliverAccountMessage(session, UM_PROP_USED, 0, 8);
    EXPECT_EQ(Tip(), "使用道具失败!");
    EXPECT_EQ(account.packRequests, requests + 1);

    // A failed pack answer keeps the pack I had.
    DeliverPack(session, {{6, kPropCancelGagCard, 1, 0}});
    TMessageData<std::string> reason(std::string("无法连接账号服务"));
    DeliverAccountMessage(session, UM_PACK_LIST, 0, 0, &reason);
    EXPECT_EQ(Tip(), "获取自己包裹列表失败");
    EXPECT_TRUE(moderation->pack().OwnsCard(kPropCancelGagCard));
    DeliverAccountMessage(session, UM_PACK_LIST, 1, 0);
    EXPECT_TRUE(moderation->pack().OwnsCard(kPropCancelGagCard));
    // A record claiming more entries than it holds is read as far as it goes.
    DeliverPack(session, {{6, kPropGagCard, 1, 0}}, 5000);
    EXPECT_EQ(moderation->pack().items().size(), 9u);
    EXPECT_EQ(moderation->pack().FirstEntry(kPropGagCard)->name, "card 6");
}

TEST_F(RoomModeration, TypedCardCommandsRunTheCardsChecksAndBadArgumentsPrintTheirUsage) {
    Enter(kGuest);
    DeliverPack(session, {{8, kPropGagCard, 2, 0}, {6, kPropCancelGagCard, 2, 0}});
    using S = CRoomChat::SendResult;
    EXPECT_EQ(chat->SendLine("/propgag 7"), S::command);
    ASSERT_EQ(account.props.size(), 1u);
    EXPECT_EQ(account.props.back().receiverId, kBob);
    EXPECT_EQ(chat->SendLine("/propgag 42"), S::command);
    EXPECT_EQ(Tip(), "不能对自己使用禁言卡");
    EXPECT_EQ(chat->SendLine("/propungag 7"), S::command);
    EXPECT_EQ(Tip(), "对方未被禁言");
    Gagged(kBob, true);
    EXPECT_EQ(chat->SendLine(" /propungag 7 "), S::command);
    ASSERT_EQ(account.props.size(), 2u);
    EXPECT_EQ(account.props.back().entryId, 6u);

    const std::pair<const char*, const char*> bad[] = {
        {"/propgag", "usage: /propgag ID"},       {"/propgag x", "usage: /propgag ID"},
        {"/propgag 7 8", "usage: /propgag ID"},   {"/propgag 0", "usage: /propgag ID"},
        {"/propgag -7", "usage: /propgag ID"},    {"/propungag", "usage: /propungag ID"},
        {"/propungag 4294967296", "usage: /propungag ID"},
    };
    for (const auto& [typed, usage] : bad) {
        view.ShowTip("");
        EXPECT_EQ(chat->SendLine(typed), S::command) << typed;
        EXPECT_EQ(Tip(), usage) << typed;
    }
    EXPECT_EQ(account.props.size(), 2u);
}
