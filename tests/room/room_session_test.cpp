// The room's state machine driven packet by packet: what it sends, what it
// shows, and what it refuses to do.
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "core/app_context.h"
#include "core/paths.h"
#include "net/catalogue_media.h"
#include "net/catalogue_room.h"
#include "net/commands.h"
#include "room/early_lines.h"
#include "room/headless_view.h"
#include "room/room_session.h"
#include "tests/room/room_test_support.h"

namespace fs = std::filesystem;

namespace {

using roomtest::FakeAccount;
using roomtest::RecordingLink;
using roomtest::Sent;

class RoomSession : public ::testing::Test, public ITimerSink {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("zeri-room-" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        paths::SetDataFolderOverride(dir_.string());
        account.me.userId = 42;
        account.me.nickname = "ann";
        account.me.token = std::string(200, 't');
        account.me.card.wealth_grade = 3;
        account.me.card.wealth_colour = "#FF0000";
        ASSERT_TRUE(session.Start());
    }
    void TearDown() override {
        paths::SetDataFolderOverride("");
        fs::remove_all(dir_);
    }
    void OnTimer(unsigned id) override { session.OnTimer(id); }

    template <class Msg>
    void Receive(const Msg& m) {
        roomtest::Deliver(session, m);
    }
    msg::Control_Login_Resp LoginOk(std::uint32_t room, const std::string& name = "Hall") {
        msg::Control_Login_Resp r;
        r.room_id = room;
        r.room_name = name;
        r.role = 20;
        r.room_mode = 1;
        r.chat_interval = 3;
        r.announcement = "welcome";
        return r;
    }
    static msg::user_block Block(std::uint32_t id, const std::string& nick, std::uint32_t grade,
                                 std::uint8_t role) {
        msg::user_block b;
        b.user_id = id;
        b.nickname = nick;
        b.role = role;
        b.card.wealth_grade = grade;
        return b;
    }

    fs::path dir_;
    CHeadlessView view{nullptr};
    RecordingLink link;
    CManualClock clock;
    CManualTimerHost timers{clock, *this};
    FakeAccount account;
    CRoomSession session{view, link, timers, clock, account};
};

}  // namespace

TEST_F(RoomSession, StartAsksForPowersAndRunsTheStatusAndBillboardTimers) {
    EXPECT_EQ(account.powerRequests, 1);
    EXPECT_TRUE(timers.IsSet(room_timer::kStatus));
    EXPECT_EQ(timers.PeriodOf(room_timer::kBillboards), 900000u);
    link.sentBytes = 5 * 1024;
    link.receivedBytes = 2048;
    link.signal = 79;
    timers.Advance(1000);
    EXPECT_EQ(view.Text("text_net_upload"), "5/2KB/S");
    EXPECT_EQ(view.Find("bnt_signal")->image, "sign_2.png");
    EXPECT_EQ(view.Find("bnt_signal")->tooltip, "79 ms");
    for (auto [ms, icon] : std::vector<std::pair<std::uint32_t, std::string>>{
             {0, "sign_1.png"}, {50, "sign_2.png"}, {149, "sign_3.png"}, {150, "sign_4.png"},
             {499, "sign_5.png"}, {500, "sign_6.png"}, {100000, "sign_6.png"}}) {
        link.signal = ms;
        timers.Advance(1000);
        EXPECT_EQ(view.Find("bnt_signal")->image, icon) << ms;
    }
    timers.Advance(900000);
    EXPECT_EQ(account.billboardRequests, 2);
}

TEST_F(RoomSession, EnteringLogsInAndASuccessfulAnswerFillsTheRoom) {
    session.EnterRoom(1001);
    ASSERT_EQ(link.Count(cmd::Control_Login_Req), 1);
    const auto req = link.Last<msg::Control_Login_Req>();
    EXPECT_EQ(req.user_id, 42u);
    EXPECT_EQ(req.room_id, 1001u);
    EXPECT_EQ(req.token.size(), 127u);  // tokens are cut to what the server takes
    EXPECT_EQ(req.card.wealth_grade, 3u);
    EXPECT_TRUE(view.Find("waitcontrol")->visible);

    Receive(LoginOk(1001));
    EXPECT_TRUE(session.loggedIn());
    EXPECT_EQ(session.myRole(), 20);
    EXPECT_EQ(session.chatIntervalMs(), 3000u);
    EXPECT_EQ(view.Text("Lable_RoomName"), "Hall   ID:1001");
    EXPECT_EQ(view.Title(), "Hall");
    EXPECT_EQ(view.Text("Lable_RoomPeople"), "1");
    EXPECT_EQ(view.FindChat("Edit_Announcement")->Lines(), std::vector<std::string>{"频道公告：welcome"});
    EXPECT_FALSE(view.Find("waitcontrol")->visible);
    EXPECT_FALSE(view.Find("Combo_Room_mode")->enabled);  // role 20 may not change the mode
    EXPECT_EQ(view.Text("text_tip"), "登录频道成功！");
    EXPECT_EQ(link.Count(cmd::Video_Login_Req), 1);
    EXPECT_EQ(link.Count(cmd::Mix_Login_Req), 1);
    EXPECT_EQ(link.Last<msg::Control_Get_Room_Info_Req>().user_id, 42u);
    EXPECT_EQ(account.loginNotices, std::vector<std::uint32_t>{1001});
    ASSERT_EQ(session.users().count(42), 1u);
    EXPECT_EQ(session.users().at(42).wealthGrade, 3);
    // The visit is remembered.
    BuddyRoomInfo* history = BUDDY_GetHistoryRoom(session.buddy());
    ASSERT_NE(history, nullptr);
    EXPECT_EQ(history->name, "Hall");
    BUDDY_DestoryRoomInfo(history);
}

TEST_F(RoomSession, TheAnnouncementIsTitledInTheRoomsStyleThenWhiteAndIsNotRepeated) {
    session.EnterRoom(1001);
    msg::Control_Login_Resp ok = LoginOk(1001);
    ok.chat_font = "黑体,14,#3366CC,bold";
    ok.announcement = "周五点歌";
    Receive(ok);
    const CHeadlessChatView* notice = view.FindChat("Edit_Announcement");
    ASSERT_NE(notice, nullptr);
    EXPECT_EQ(notice->Lines(), std::vector<std::string>{"频道公告：周五点歌"});
    ASSERT_EQ(notice->Formats().size(), 2u);
    // The title takes the room's colour and weight, in the announcement's own face and size.
    const ChatTextFormat& title = notice->Formats()[0];
    EXPECT_EQ(title.face, "宋体");
    EXPECT_EQ(title.size, 10);
    EXPECT_EQ(title.colour, 0x3366CCu);
    EXPECT_TRUE(title.bold);
    const ChatTextFormat& body = notice->Formats()[1];
    EXPECT_EQ(body.face, "宋体");
    EXPECT_EQ(body.size, 10);
    EXPECT_EQ(body.colour, 0xFFFFFFu);
    EXPECT_FALSE(body.bold);
    for (const std::string& line : view.Lines())
        EXPECT_EQ(line.find("频道公告"), std::string::npos) << "kept, not printed: " << line;

    // The room information refreshes it in place; leaving empties it.
    msg::Control_Get_Room_Info_Resp info;
    info.room_id = 1001;
    Receive(info);
    EXPECT_EQ(notice->Lines(), std::vector<std::string>{"频道公告：周五点歌"});
    session.LeaveRoom();
    EXPECT_TRUE(notice->Lines().empty());
}

TEST_F(RoomSession, ALateAnswerForARoomAlreadyLeftChangesNothing) {
    session.EnterRoom(1001);
    Receive(LoginOk(1001));
    msg::Control_Room_UserList_Notify list;
    list.users = {Block(7, "bob", 1, 20)};
    Receive(list);
    ASSERT_EQ(session.users().size(), 2u);
    session.EnterRoom(1002);  // switch; the new room has not answered yet
    msg::Control_Room_UserList_Notify newRoom;
    newRoom.users = {Block(8, "cy", 1, 20)};
    Receive(newRoom);
    Receive(LoginOk(1001, "Old"));  // the old room's answer arrives late
    EXPECT_NE(session.roomName(), "Old");
    EXPECT_EQ(session.users().count(8), 1u);
    EXPECT_FALSE(session.loggedIn());
    Receive(LoginOk(1002, "New"));
    EXPECT_TRUE(session.loggedIn());
    EXPECT_EQ(session.roomName(), "New");
}

TEST_F(RoomSession, SwitchingRoomsLogsOutWithEachChannelsTagOrder) {
    session.EnterRoom(1001);
    Receive(LoginOk(1001));
    link.sent.clear();
    session.EnterRoom(1002);
    const auto chat = link.Last<msg::Control_Logout_Req>();
    EXPECT_EQ(chat.room_id, 1001u);
    EXPECT_EQ(chat.user_id, 42u);
    // Chat and video carry the room in tag 1, the media server in tag 2.
    for (const Sent& s : link.sent) {
        TLV::body b;
        b.parse(s.body.data(), s.body.size());
        if (s.command == cmd::Control_Logout_Req || s.command == cmd::Video_Logout_Req) {
            EXPECT_EQ(b.get_int(1), 1001u);
            EXPECT_EQ(b.get_int(2), 42u);
        } else if (s.command == cmd::Mix_Logout_Req) {
            EXPECT_EQ(b.get_int(1), 42u);
            EXPECT_EQ(b.get_int(2), 1001u);
        }
    }
    const auto mix = link.Last<msg::Mix_Logout_Req>();
    EXPECT_EQ(mix.room_id, 1001u);
    const auto video = link.Last<msg::Video_Logout_Req>();
    EXPECT_EQ(video.room_id, 1001u);
    EXPECT_EQ(link.Last<msg::Control_Login_Req>().room_id, 1002u);
    EXPECT_TRUE(session.users().empty());
    EXPECT_EQ(view.Text("Lable_RoomPeople"), "");
}

TEST_F(RoomSession, ARefusedLoginStopsReLoginsUntilTheUserEntersAgain) {
    session.EnterRoom(1001);
    msg::Control_Login_Resp refused;
    refused.message = "房间已满";
    refused.code = 5;
    Receive(refused);
    EXPECT_EQ(view.Text("Label_Fail"), "房间已满(5)");
    EXPECT_TRUE(session.loginRefused());
    EXPECT_EQ(session.roomId(), 0u);
    link.sent.clear();
    session.OnChatConnected();  // a reconnect
    EXPECT_EQ(link.Count(cmd::Control_Login_Req), 0);
    session.EnterRoom(1001);
    EXPECT_EQ(link.Count(cmd::Control_Login_Req), 1);
}

TEST_F(RoomSession, ARefusalOfARoomAskedForEarlierLeavesTheRoomBeingEnteredAlone) {
    std::vector<std::pair<std::uint32_t, std::string>> told;
    session.SetOnLoginRefused(
        [&](std::uint32_t room, const std::string& text) { told.emplace_back(room, text); });
    session.EnterRoom(1001);
    session.EnterRoom(1002);  // changed its mind before the answer
    msg::Control_Login_Resp stale;
    stale.room_id = 1001;
    stale.message = "房间已满";
    stale.code = 5;
    Receive(stale);
    EXPECT_FALSE(session.loginRefused());
    EXPECT_EQ(session.roomId(), 1002u);
    EXPECT_EQ(view.Text("Label_Fail"), "");
    EXPECT_TRUE(told.empty());

    msg::Control_Login_Resp refused = stale;
    refused.room_id = 1002;
    refused.message = "房间不存在";
    Receive(refused);
    EXPECT_TRUE(session.loginRefused());
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0], (std::pair<std::uint32_t, std::string>{1002, "房间不存在"}));
}

TEST_F(RoomSession, ReconnectsLogInAgainAndAChatLoginBringsVideoAndMixBack) {
    session.EnterRoom(1001);
    Receive(LoginOk(1001));
    link.sent.clear();
    session.OnChatConnected();
    session.OnMediaConnected();
    session.OnAVConnected();
    EXPECT_EQ(link.Count(cmd::Control_Login_Req), 1);
    EXPECT_EQ(link.Count(cmd::Mix_Login_Req), 1);
    EXPECT_EQ(link.Count(cmd::Video_Login_Req), 1);
    Receive(LoginOk(1001));
    EXPECT_EQ(link.Count(cmd::Mix_Login_Req), 2);
    EXPECT_EQ(session.users().size(), 1u);  // rebuilt, not doubled
}

TEST_F(RoomSession, MediaLoginsCarryTheKeyOfTheLatestChatLogin) {
    session.EnterRoom(1001);
    msg::Control_Login_Resp ok = LoginOk(1001);
    ok.media_key = "k1";
    Receive(ok);
    EXPECT_EQ(link.Last<msg::Video_Login_Req>().media_key, "k1");
    EXPECT_EQ(link.Last<msg::Mix_Login_Req>().media_key, "k1");
    // A media connection that comes back logs in with it again.
    link.sent.clear();
    session.OnAVConnected();
    session.OnMediaConnected();
    EXPECT_EQ(link.Last<msg::Video_Login_Req>().media_key, "k1");
    EXPECT_EQ(link.Last<msg::Mix_Login_Req>().media_key, "k1");
    // A chat login after a reconnect brings a new key.
    ok.media_key = "k2";
    Receive(ok);
    EXPECT_EQ(link.Last<msg::Video_Login_Req>().media_key, "k2");
    EXPECT_EQ(link.Last<msg::Mix_Login_Req>().media_key, "k2");
    // Leaving forgets it: a server without keys gets requests without the tag.
    session.LeaveRoom();
    EXPECT_EQ(session.mediaKey(), "");
    link.sent.clear();
    session.EnterRoom(1002);
    Receive(LoginOk(1002));
    int logins = 0;
    for (const Sent& sent : link.sent) {
        if (sent.command != cmd::Video_Login_Req && sent.command != cmd::Mix_Login_Req) continue;
        ++logins;
        TLV::body b;
        b.parse(sent.body.data(), sent.body.size());
        EXPECT_FALSE(b.has(30)) << std::hex << sent.command;
    }
    EXPECT_EQ(logins, 2);
}

TEST_F(RoomSession, AUserListInSeveralNoticesIsMergedWhole) {
    session.EnterRoom(1001);
    Receive(LoginOk(1001));
    msg::Control_Room_UserList_Notify first, second;
    first.users = {Block(42, "ann", 3, 20), Block(7, "bob", 9, 20)};
    second.users = {Block(8, "cat", 1, 20), Block(9, "dan", 2, 7)};
    Receive(first);
    Receive(second);
    EXPECT_EQ(session.users().size(), 4u);
    for (std::uint32_t id : {42u, 7u, 8u, 9u}) EXPECT_EQ(session.users().count(id), 1u) << id;
    EXPECT_EQ(view.Text("Lable_RoomPeople"), "4");
    EXPECT_EQ(session.userList().items().size(), 4u);
}

TEST_F(RoomSession, MembershipKeepsListCountAndNoticesInStep) {
    session.EnterRoom(1001);
    Receive(LoginOk(1001));
    msg::Control_Room_UserList_Notify list;
    list.users = {Block(7, "bob", 9, 20), Block(42, "ann", 3, 20)};
    Receive(list);
    // A block without a card (built by hand: the builder always writes one).
    TLV::body noCard, outer;
    noCard.put_u8(5, 20);
    noCard.put_u32(1, 9);
    noCard.put_string(2, "cardless");
    outer.put_container(2, noCard);
    const auto bytes = TLV::encode(outer);
    session.OnServerPacket(cmd::Control_Room_UserList_Notify, bytes.data(), bytes.size());
    EXPECT_EQ(session.users().size(), 3u);  // me updated in place, not twice
    EXPECT_EQ(view.Text("Lable_RoomPeople"), "3");
    EXPECT_EQ(session.users().at(9).wealthGrade, 0);
    EXPECT_EQ(session.users().at(9).cardValue3, 1u);
    EXPECT_EQ(session.userList().at(0).userId, 7u);  // richest first

    TLV::body joinBody;  // again without a card
    joinBody.put_u32(1, 11);
    joinBody.put_string(2, "dee");
    joinBody.put_u8(5, 20);
    const auto joinBytes = TLV::encode(joinBody);
    session.OnServerPacket(cmd::Control_User_Login_Notify, joinBytes.data(), joinBytes.size());
    EXPECT_EQ(view.Text("Lable_RoomPeople"), "4");
    EXPECT_EQ(session.users().at(11).wealthGrade, 1);  // a joiner without card counts grade 1
    ASSERT_FALSE(view.Lines().empty());
    EXPECT_NE(view.Lines().back().find("dee(11) 进入了房间"), std::string::npos);
    session.OnServerPacket(cmd::Control_User_Login_Notify, joinBytes.data(), joinBytes.size());
    // a repeated notice adds nobody
    EXPECT_EQ(session.users().size(), 4u);

    msg::Control_User_Logout_Notify bye;
    bye.user_id = 7;
    Receive(bye);
    EXPECT_EQ(view.Text("Lable_RoomPeople"), "3");
    EXPECT_NE(view.Lines().back().find("bob  离开了房间"), std::string::npos);
    EXPECT_EQ(session.userList().IndexOf(7), -1);
    bye.user_id = 12345;  // unknown users are ignored
    Receive(bye);
    EXPECT_EQ(session.users().size(), 3u);
    EXPECT_EQ(session.userList().size(), session.users().size());
}

TEST_F(RoomSession, SignedInElsewhereLeavesAndStaysOutOnReconnect) {
    session.EnterRoom(1001);
    Receive(LoginOk(1001));
    msg::Control_Login_Other_Notify other;
    other.user_id = 42;
    other.kind = 2;
    Receive(other);
    EXPECT_TRUE(session.left());
    EXPECT_FALSE(view.Shown());
    EXPECT_NE(view.Lines().back().find("此帐号在其他地区登录"), std::string::npos);
    link.sent.clear();
    session.OnChatConnected();
    session.OnMediaConnected();
    session.OnAVConnected();
    EXPECT_TRUE(link.sent.empty());
}

TEST_F(RoomSession, AnchorNamesTheRoomAndItsAbsenceRestoresIt) {
    session.EnterRoom(1001);
    Receive(LoginOk(1001));
    msg::Control_Room_UserList_Notify list;
    list.users = {Block(7, "bob", 9, 7)};
    Receive(list);
    msg::Control_Anchor_Notify anchor;
    anchor.anchor.user_id = 7;
    Receive(anchor);
    EXPECT_EQ(view.Text("Lable_RoomName"), "Hall:bob   ID:1001");
    EXPECT_EQ(session.anchor().userId, 7u);
    Receive(msg::Control_Anchor_Notify{});
    EXPECT_EQ(view.Text("Lable_RoomName"), "Hall   ID:1001");
    EXPECT_EQ(session.anchor().userId, 0u);
}

TEST_F(RoomSession, ExitLeavesOnceAndTheCloseButtonThenDoesNothing) {
    session.EnterRoom(1001);
    Receive(LoginOk(1001));
    session.ExitApplication();
    EXPECT_TRUE(session.exiting());
    EXPECT_EQ(account.closes, 1);
    EXPECT_EQ(link.Count(cmd::Control_Logout_Req), 1);
    session.OnWindowClose();
    session.ExitApplication();
    EXPECT_EQ(link.Count(cmd::Control_Logout_Req), 1);
    EXPECT_FALSE(timers.IsSet(room_timer::kStatus));
}

TEST_F(RoomSession, LinesTypedBeforeTheRoomIsEnteredWaitForItInOrderBounded) {
    std::vector<std::string> ran;
    CEarlyLines early(session, [&](const std::string& line) { ran.push_back(line); });
    early.Typed("hi");
    early.Typed("/anchor");
    EXPECT_TRUE(ran.empty());
    // Entering is never kept: it is how the room gets entered; nor is help.
    early.Typed("/help");
    early.Typed("/enter 1001");
    EXPECT_EQ(ran, (std::vector<std::string>{"/help", "/enter 1001"}));
    EXPECT_TRUE(session.OnTypedCommand("/help"));  // answered, never sent as chat
    for (std::size_t i = early.kept(); i < CEarlyLines::kMaxLines + 3; ++i)
        early.Typed("line " + std::to_string(i));
    EXPECT_EQ(early.kept(), CEarlyLines::kMaxLines);  // the rest refused with a tip

    session.EnterRoom(1001);
    Receive(LoginOk(1001));
    ASSERT_EQ(ran.size(), 2 + CEarlyLines::kMaxLines);
    EXPECT_EQ(ran[2], "hi");
    EXPECT_EQ(ran[3], "/anchor");
    EXPECT_EQ(ran.back(), "line " + std::to_string(CEarlyLines::kMaxLines - 1));
    EXPECT_EQ(early.kept(), 0u);
    // In the room: at once.
    early.Typed("now");
    EXPECT_EQ(ran.back(), "now");
    // A reconnect's login again sends nothing twice.
    Receive(LoginOk(1001));
    EXPECT_EQ(ran.size(), 3 + CEarlyLines::kMaxLines);
}

TEST_F(RoomSession, TheRoomListKeepsThePeopleAtLeavingAndTheRoomsDetails) {
    session.EnterRoom(1001);
    Receive(LoginOk(1001));
    msg::Control_Room_UserList_Notify list;
    list.users = {Block(42, "ann", 3, 20), Block(7, "bo", 1, 20), Block(8, "cy", 1, 20)};
    Receive(list);
    msg::Control_Get_Room_Info_Resp info;
    info.room_id = 1001;
    info.text2 = "Hall";
    info.text4 = "a room to talk in";
    Receive(info);
    // A late answer about another room changes nothing of this one.
    info.room_id = 1002;
    info.text4 = "not this one";
    Receive(info);
    session.LeaveRoom();

    BuddyRoomInfo* rooms = BUDDY_GetHistoryRoom(session.buddy());
    ASSERT_NE(rooms, nullptr);
    EXPECT_EQ(rooms->roomId, 1001u);
    EXPECT_EQ(rooms->people, 3u);
    EXPECT_EQ(rooms->secondName, "Hall");
    EXPECT_EQ(rooms->description, "a room to talk in");
    BUDDY_DestoryRoomInfo(rooms);
}
