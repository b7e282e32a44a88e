// What the relay takes from a client and what it does not, over real TCP:
// the room sees the server's nickname, grade, VIP level and pictures of a
// member whatever the login claims; oversize logins are refused; a long
// member list arrives whole in several notifications; signing out and a
// token's expiry end the user's sessions.
#include <gtest/gtest.h>

#include <ctime>
#include <memory>
#include <set>
#include <thread>

#include "net/catalogue_chat.h"
#include "net/catalogue_media.h"
#include "net/catalogue_room.h"
#include "server/seed.h"
#include "server/server_app.h"
#include "server_fixture.h"

using namespace server;
using namespace std::chrono_literals;
using srvtest::RawClient;

namespace {

constexpr std::uint8_t kChat = 1, kVideo = 2, kMix = 3;
constexpr std::uint32_t kAlice = 10001, kBob = 10002, kDave = 10004;
constexpr std::uint32_t kLobby = 1001;

template <class Pred>
bool Eventually(Pred p) {
    for (int i = 0; i < 500; ++i) {
        if (p()) return true;
        std::this_thread::sleep_for(10ms);
    }
    return p();
}

class RoomTrust : public ::testing::Test {
protected:
    void SetUp() override {
        std::string err;
        ASSERT_TRUE(db.Open(dir.file(kDatabaseFile), err)) << err;
        ASSERT_TRUE(SeedDemo(db, SeedOptions{1000}, err)) << err;
        ASSERT_TRUE(store.Open(dir.file(kDatabaseFile), err)) << err;
        for (std::uint32_t id : {kAlice, kBob, kDave}) Token(id, 3600);
    }
    void TearDown() override {
        if (srv) srv->Stop();
    }
    void Token(std::uint32_t user, std::int64_t ttl) {
        CServerDb& issuer = srv ? srv->db() : db;
        tokens[user] = issuer.IssueToken(user, clock.Now(), ttl);
        ASSERT_FALSE(tokens[user].empty());
    }
    void StartServer() {
        ServerOptions o = srvtest::LocalServerOptions(dir.path());
        srv = std::make_unique<CZeriServer>(o, RoomLimits{}, &clock);
        std::string err;
        ASSERT_TRUE(srv->Start(err)) << err;
    }

    msg::Control_Login_Req Login(std::uint32_t user, std::uint32_t room = kLobby) {
        msg::Control_Login_Req r;
        r.user_id = user;
        r.room_id = room;
        r.nickname = "n";
        r.token = tokens[user];
        return r;
    }
    std::unique_ptr<RawClient> In(const msg::Control_Login_Req& r) {
        auto c = std::make_unique<RawClient>(srv->port(), "pc_chat");
        auto resp = c->Ask<msg::Control_Login_Resp>(kChat, r);
        EXPECT_TRUE(resp && resp->ok()) << (resp ? resp->message : "no answer");
        if (resp) keys[r.user_id] = resp->media_key;
        return c;
    }
    std::unique_ptr<RawClient> In(std::uint32_t user) { return In(Login(user)); }

    // Every user list notice up to the anchor notice that follows the lists.
    static std::vector<srvtest::Frame> ListFrames(RawClient& c) {
        std::vector<srvtest::Frame> lists;
        while (auto f = c.Next()) {
            if (f->command == cmd::Control_Room_UserList_Notify) lists.push_back(std::move(*f));
            if (f->command == cmd::Control_Anchor_Notify) break;
        }
        return lists;
    }

    srvtest::TempDir dir;
    srvtest::TestClock clock;
    CServerDb db;
    CAccountStore store;
    std::map<std::uint32_t, std::string> tokens;
    std::map<std::uint32_t, std::string> keys;
    std::unique_ptr<CZeriServer> srv;
};

}  // namespace

// --- the card ------------------------------------------------------------------

TEST_F(RoomTrust, TheRoomSeesTheServersCardWhateverTheLoginClaims) {
    // Alice has spent 2000 coins (grade 4), holds VIP 3 and had a VIP 5
    // that has run out; she has a head picture of her own.
    const std::int64_t now = clock.Now();
    ASSERT_TRUE(store.RecordSpending(kAlice, 1500, now));
    ASSERT_TRUE(store.RecordSpending(kAlice, 500, now));
    ASSERT_TRUE(store.AddVip(kAlice, {1, 3, "VIP3", now + 3600}));
    ASSERT_TRUE(store.AddVip(kAlice, {2, 5, "VIP5", now - 1}));
    ASSERT_TRUE(store.SetHeadUrl(kAlice, "http://127.0.0.1/head/alice.png"));
    StartServer();
    auto bob = In(kBob);

    // Dave, a guest who has spent nothing, dresses up as Alice and as rich.
    msg::Control_Login_Req forged = Login(kDave);
    forged.nickname = "爱丽丝";
    forged.card.head_url = "http://evil.example/head.png";
    forged.card.wealth_grade = 8;
    forged.card.wealth_colour = "#F44336";
    forged.card.wealth_text = "首富";
    forged.card.medal_url = "http://evil.example/medal.png";
    forged.card.vip_level = 9;
    forged.card.profile_byte = 77;
    forged.card.text2 = "kept";
    forged.card.text4 = std::string(64, 'x');  // longer than a client keeps
    forged.card.value14 = 5;
    auto dave = In(forged);

    const auto daveUser = db.UserById(kDave);
    ASSERT_TRUE(daveUser);
    auto expectDave = [&](const std::string& nickname, const msg::user_card& c) {
        EXPECT_EQ(nickname, daveUser->nickname);
        EXPECT_EQ(c.wealth_grade, 1u);
        EXPECT_EQ(c.wealth_text, "平民");
        EXPECT_EQ(c.wealth_colour, "#9E9E9E");
        EXPECT_EQ(c.medal_url, "/wealth/1.png");
        EXPECT_EQ(c.vip_level, 0u);
        EXPECT_EQ(c.head_url, "");
        EXPECT_EQ(c.profile_byte, daveUser->sex);
        // Passed on, as nothing shows them; within what a client keeps.
        EXPECT_EQ(c.text2, "kept");
        EXPECT_EQ(c.text4, "");
        EXPECT_EQ(c.value14, 5u);
    };
    auto join = bob->Notice<msg::Control_User_Login_Notify>();
    ASSERT_TRUE(join);
    EXPECT_EQ(join->user_id, kDave);
    expectDave(join->nickname, join->card);

    // A newcomer's list shows both as the server knows them.
    auto alice = In(kAlice);
    auto list = alice->Notice<msg::Control_Room_UserList_Notify>();
    ASSERT_TRUE(list);
    ASSERT_EQ(list->users.size(), 3u);
    for (const msg::user_block& b : list->users) {
        if (b.user_id == kDave) expectDave(b.nickname, b.card);
        if (b.user_id != kAlice) continue;
        EXPECT_EQ(b.card.wealth_grade, 4u);
        EXPECT_EQ(b.card.wealth_text, "财主");
        EXPECT_EQ(b.card.vip_level, 3u);
        EXPECT_EQ(b.card.head_url, "http://127.0.0.1/head/alice.png");
        EXPECT_EQ(b.card.medal_url, "/wealth/4.png");
    }

    // Dave's chat lines carry his grade and VIP level, not the claimed ones.
    msg::chat_attrs claimed;
    claimed.wealth_grade = 8;
    claimed.vip_level = 9;
    claimed.vip_data = "vip!";
    claimed.font = std::string(300, 'f');  // beyond any font a client writes
    dave->Send(kChat, msg::make_chat_req(kDave, "hi", 0, 0, claimed));
    std::optional<msg::Control_Chat_Notify> heard;
    while (auto f = bob->Next()) {
        if (f->command != msg::Control_Chat_Notify::id) continue;
        heard = srvtest::Decode<msg::Control_Chat_Notify>(f->payload);
        break;
    }
    ASSERT_TRUE(heard);
    EXPECT_EQ(heard->attrs.wealth_grade, 1u);
    EXPECT_EQ(heard->attrs.vip_level, 0u);
    EXPECT_EQ(heard->attrs.vip_data, "");  // nothing for the VIP view
    EXPECT_EQ(heard->attrs.font, "");
    EXPECT_EQ(heard->attrs.nickname, daveUser->nickname);
}

TEST_F(RoomTrust, OversizeLoginsAreRefusedAndTheRoomCarriesOn) {
    StartServer();
    auto alice = In(kAlice);

    struct Case {
        const char* what;
        msg::Control_Login_Req req;
    };
    std::vector<Case> cases;
    cases.push_back({"a card over its cap", Login(kDave)});
    cases.back().req.card.text2 = std::string(kMaxCardBytes, 'c');
    // The card the issue found: it made every later user list unsendable.
    cases.push_back({"a 65 530-byte card", Login(kDave)});
    cases.back().req.card.text2 = std::string(65530 - 52, 'c');  // 52: the card's other fields
    cases.push_back({"a request over its cap", Login(kDave)});
    cases.back().req.nickname = std::string(kMaxLoginBytes, 'n');
    RawClient dave(srv->port(), "pc_chat");
    for (const Case& c : cases) {
        auto r = dave.Ask<msg::Control_Login_Resp>(kChat, c.req);
        ASSERT_TRUE(r) << c.what;
        EXPECT_EQ(r->code, room_error::too_large) << c.what;
        EXPECT_FALSE(r->message.empty()) << c.what;
        EXPECT_EQ(r->room_id, kLobby) << c.what;
        EXPECT_FALSE(srv->rooms().ChatIn(kDave, kLobby)) << c.what;
    }
    EXPECT_TRUE(alice->NoNotice<msg::Control_User_Login_Notify>());

    // A card of the size a client writes is fine.
    msg::Control_Login_Req fair = Login(kDave);
    fair.card.head_url = "http://127.0.0.1/" + std::string(230, 'h');
    fair.card.medal_url = fair.card.head_url;
    fair.card.text2 = std::string(63, 't');
    fair.card.text4 = std::string(63, 't');
    fair.card.wealth_text = std::string(63, 'w');
    auto ok = dave.Ask<msg::Control_Login_Resp>(kChat, fair);
    ASSERT_TRUE(ok);
    EXPECT_TRUE(ok->ok()) << ok->message;

    // Whoever enters next gets the whole list.
    auto bob = In(kBob);
    auto list = bob->Notice<msg::Control_Room_UserList_Notify>();
    ASSERT_TRUE(list);
    EXPECT_EQ(list->users.size(), 3u);
}

TEST_F(RoomTrust, ALongMemberListArrivesWholeInSeveralNotices) {
    // Members with the longest nickname, head picture and passed-on texts
    // a client keeps: about 60 fit in one notice.
    constexpr int kCrowd = 70;
    std::vector<msg::Control_Login_Req> logins;
    for (int i = 0; i < kCrowd; ++i) {
        std::uint32_t id = 0;
        std::string err;
        const std::string name = "crowd" + std::to_string(i);
        ASSERT_TRUE(db.AddUser(name, "pw", name + std::string(63 - name.size(), '.'), 0, 0, 1000,
                               &id, err))
            << err;
        ASSERT_TRUE(store.SetHeadUrl(id, "http://127.0.0.1/" + std::string(238, 'h')));
        Token(id, 3600);
        msg::Control_Login_Req r = Login(id);
        r.card.text2 = std::string(63, '2');
        r.card.text4 = std::string(63, '4');
        logins.push_back(r);
    }
    StartServer();
    std::vector<std::unique_ptr<RawClient>> crowd;
    std::set<std::uint32_t> expected = {kAlice};
    for (const auto& r : logins) {
        crowd.push_back(In(r));
        expected.insert(r.user_id);
    }

    RawClient alice(srv->port(), "pc_chat");
    alice.Send(kChat, Login(kAlice));
    auto lists = ListFrames(alice);
    EXPECT_GE(lists.size(), 2u);
    std::set<std::uint32_t> seen;
    std::size_t blocks = 0;
    for (const srvtest::Frame& f : lists) {
        EXPECT_LE(f.payload.size(), kUserListPacketBytes);
        const auto part = srvtest::Decode<msg::Control_Room_UserList_Notify>(f.payload);
        EXPECT_TRUE(part.ok());
        EXPECT_FALSE(part.users.empty());
        for (const msg::user_block& b : part.users) {
            seen.insert(b.user_id);
            ++blocks;
            if (b.user_id != kAlice) {
                EXPECT_EQ(b.card.text2.size(), 63u);
            }
        }
    }
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(blocks, expected.size());  // nobody twice
}

// --- ending sessions -------------------------------------------------------------

namespace {

// Whether the client is told it was signed out (kind 2) and is closed.
bool ToldAndClosed(RawClient& c, std::uint32_t user) {
    bool told = false;
    while (auto f = c.Next()) {
        if (f->command != cmd::Control_Login_Other_Notify) continue;
        const auto n = srvtest::Decode<msg::Control_Login_Other_Notify>(f->payload);
        told = n.user_id == user && n.kind == 2;
    }
    return told && c.closed();
}

}  // namespace

TEST_F(RoomTrust, SigningOutEndsTheUsersChatAndMediaSessions) {
    StartServer();
    auto alice = In(kAlice);
    auto bob = In(kBob);
    RawClient av(srv->port(), "pc_av");
    ASSERT_TRUE(av.Ask<msg::Video_Login_Resp>(kVideo, [&] {
        msg::Video_Login_Req r;
        r.user_id = kAlice, r.room_id = kLobby, r.media_key = keys[kAlice];
        return r;
    }())->ok());
    ASSERT_TRUE(av.Ask<msg::Mix_Login_Resp>(kMix, [&] {
        msg::Mix_Login_Req r;
        r.user_id = kAlice, r.room_id = kLobby, r.media_key = keys[kAlice];
        return r;
    }())->ok());

    srv->rooms().EndUserSessions(kAlice);
    EXPECT_FALSE(srv->rooms().ChatIn(kAlice, kLobby));
    EXPECT_FALSE(srv->rooms().VideoIn(kAlice, kLobby));
    EXPECT_FALSE(srv->rooms().MixIn(kAlice, kLobby));
    EXPECT_TRUE(ToldAndClosed(*alice, kAlice));
    EXPECT_TRUE(av.WaitClosed());
    auto bye = bob->Notice<msg::Control_User_Logout_Notify>();
    ASSERT_TRUE(bye);
    EXPECT_EQ(bye->user_id, kAlice);

    // Bob is untouched; ending a user without sessions does nothing.
    srv->rooms().EndUserSessions(kDave);
    EXPECT_TRUE(srv->rooms().ChatIn(kBob, kLobby));
    msg::Control_Get_Room_Info_Req q;
    q.user_id = kBob;
    auto info = bob->Ask<msg::Control_Get_Room_Info_Resp>(kChat, q);
    ASSERT_TRUE(info);
    EXPECT_TRUE(info->ok());
    EXPECT_TRUE(Eventually([&] { return srv->rooms().SessionCount() == 1; }));
}

TEST_F(RoomTrust, AnExpiredTokenEndsTheSessionsOpenedWithIt) {
    Token(kAlice, 100);
    StartServer();
    auto alice = In(kAlice);
    auto bob = In(kBob);
    RawClient av(srv->port(), "pc_av");
    msg::Mix_Login_Req mix;
    mix.user_id = kAlice, mix.room_id = kLobby, mix.media_key = keys[kAlice];
    ASSERT_TRUE(av.Ask<msg::Mix_Login_Resp>(kMix, mix)->ok());

    // Within the token's life everything goes on.
    clock.AdvanceWall(90);
    bob->Send(kChat, msg::make_chat_req(kBob, "still here?", 0, 0, {}));
    std::optional<srvtest::Frame> line;
    while ((line = alice->Next()) && line->command != msg::Control_Chat_Notify::id) {
    }
    ASSERT_TRUE(line);
    EXPECT_TRUE(srv->rooms().MixIn(kAlice, kLobby));

    // Past it, the next packet anyone sends ends Alice's sessions first: she
    // does not hear the line.
    clock.AdvanceWall(11);
    bob->Send(kChat, msg::make_chat_req(kBob, "gone", 0, 0, {}));
    bool heard = false;
    bool told = false;
    while (auto f = alice->Next()) {
        heard |= f->command == msg::Control_Chat_Notify::id;
        told |= f->command == cmd::Control_Login_Other_Notify &&
                srvtest::Decode<msg::Control_Login_Other_Notify>(f->payload).kind == 2;
    }
    EXPECT_FALSE(heard);
    EXPECT_TRUE(told);
    EXPECT_TRUE(alice->closed());
    EXPECT_TRUE(av.WaitClosed());
    EXPECT_FALSE(srv->rooms().ChatIn(kAlice, kLobby));
    EXPECT_FALSE(srv->rooms().MixIn(kAlice, kLobby));
    auto bye = bob->Notice<msg::Control_User_Logout_Notify>();
    ASSERT_TRUE(bye);
    EXPECT_EQ(bye->user_id, kAlice);
    EXPECT_TRUE(srv->rooms().ChatIn(kBob, kLobby));

    // A new token lets her back in.
    Token(kAlice, 3600);
    auto back = In(kAlice);
    EXPECT_TRUE(srv->rooms().ChatIn(kAlice, kLobby));
}
