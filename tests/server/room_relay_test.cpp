// The room relay of zeri-server over real TCP on loopback: channel logins
// and logouts, token checks, media logins tied to the chat login by its key,
// channel discipline and the per-user rate limit.
#include <gtest/gtest.h>

#include <condition_variable>
#include <ctime>
#include <memory>
#include <mutex>
#include <thread>

#include "net/catalogue_media.h"
#include "net/catalogue_room.h"
#include "platform/relayhub/relayhub.h"
#include "platform/relayhub/timing.h"
#include "server/seed.h"
#include "server/server_app.h"
#include "server_fixture.h"

using namespace server;
using namespace std::chrono_literals;
using srvtest::RawClient;

namespace {

constexpr std::uint8_t kChat = 1, kVideo = 2, kMix = 3;
constexpr std::uint32_t kAlice = 10001, kBob = 10002, kDave = 10004;
constexpr std::uint32_t kLobby = 1001, kMusic = 1002;

// Polls a condition the server reaches on its own threads.
template <class Pred>
bool Eventually(Pred p) {
    for (int i = 0; i < 500; ++i) {
        if (p()) return true;
        std::this_thread::sleep_for(10ms);
    }
    return p();
}

class RoomRelay : public ::testing::Test {
protected:
    void SetUp() override {
        // Demo data with a cheap hash, and tokens, before the server opens it.
        CServerDb db;
        std::string err;
        ASSERT_TRUE(db.Open(dir.file(kDatabaseFile), err)) << err;
        ASSERT_TRUE(SeedDemo(db, SeedOptions{1000}, err)) << err;
        for (std::uint32_t id : {kAlice, kBob, kDave})
            tokens[id] = db.IssueToken(id, std::time(nullptr), 3600);
    }
    void TearDown() override {
        if (srv) srv->Stop();
    }

    void StartServer(RoomLimits limits = {}, std::uint16_t port = 0) {
        ServerOptions o;
        o.dataDir = dir.path();
        o.listen = "127.0.0.1";
        o.port = port;
        o.accountPort = 0;  // free ports, even with a chosen relay port
        o.cataloguePort = 0;
        o.threads = 2;
        srv = std::make_unique<CZeriServer>(o, limits, &clock);
        std::string err;
        ASSERT_TRUE(srv->Start(err)) << err;
    }

    msg::Control_Login_Req Login(std::uint32_t user, std::uint32_t room) {
        msg::Control_Login_Req r;
        r.user_id = user;
        r.room_id = room;
        r.nickname = "n";
        r.token = tokens[user];
        r.card.wealth_grade = 3;
        return r;
    }
    std::optional<msg::Control_Login_Resp> ChatLogin(RawClient& c, std::uint32_t user,
                                                     std::uint32_t room) {
        return c.Ask<msg::Control_Login_Resp>(kChat, Login(user, room));
    }
    msg::Video_Login_Req VideoLogin(std::uint32_t user, std::uint32_t room,
                                    const std::string& key = {}) {
        msg::Video_Login_Req r;
        r.user_id = user;
        r.room_id = room;
        r.media_key = key;
        return r;
    }
    msg::Mix_Login_Req MixLogin(std::uint32_t user, std::uint32_t room,
                                const std::string& key = {}) {
        msg::Mix_Login_Req r;
        r.user_id = user;
        r.room_id = room;
        r.media_key = key;
        return r;
    }

    srvtest::TempDir dir;
    srvtest::TestClock clock;
    std::map<std::uint32_t, std::string> tokens;
    std::unique_ptr<CZeriServer> srv;
};

}  // namespace

// --- chat login --------------------------------------------------------------

TEST_F(RoomRelay, LoginWithAGoodTokenAnswersTheRoomAndTheUsersRole) {
    StartServer();
    RawClient alice(srv->port(), "pc_chat");
    auto r = ChatLogin(alice, kAlice, kLobby);
    ASSERT_TRUE(r);
    EXPECT_TRUE(r->ok()) << r->message;
    EXPECT_EQ(r->code, 0u);
    EXPECT_EQ(r->room_id, kLobby);
    EXPECT_EQ(r->role, kRoleOwner);
    EXPECT_EQ(r->room_name, "zeri 大厅");
    EXPECT_EQ(r->room_mode, 1);
    EXPECT_EQ(r->gagged, 0);
    EXPECT_FALSE(r->announcement.empty());
    EXPECT_TRUE(srv->rooms().ChatIn(kAlice, kLobby));

    RawClient dave(srv->port(), "pc_chat");
    r = ChatLogin(dave, kDave, kMusic);
    ASSERT_TRUE(r);
    EXPECT_TRUE(r->ok());
    EXPECT_EQ(r->role, kRoleGuest);  // no role in that room
    EXPECT_EQ(r->room_mode, 2);
    EXPECT_EQ(r->chat_interval, 3u);
    EXPECT_EQ(srv->rooms().MemberCount(kLobby), 1u);
    EXPECT_EQ(srv->rooms().MemberCount(kMusic), 1u);

    // Leaving by logout, or by closing the connection, ends the presence.
    msg::Control_Logout_Req out;
    out.user_id = kAlice;
    out.room_id = kLobby;
    auto lo = alice.Ask<msg::Control_Logout_Resp>(kChat, out);
    ASSERT_TRUE(lo);
    EXPECT_TRUE(lo->ok());
    EXPECT_EQ(lo->room_id, kLobby);
    EXPECT_EQ(lo->user_id, kAlice);
    EXPECT_FALSE(srv->rooms().ChatIn(kAlice, kLobby));
    dave.Close();
    EXPECT_TRUE(Eventually([&] { return srv->rooms().MemberCount(kMusic) == 0; }));
}

TEST_F(RoomRelay, BadTokensAndBadRequestsAreRefusedWithTextAndCode) {
    StartServer();
    // An expired token: issued long ago for a day.
    {
        CServerDb& db = srv->db();
        tokens[kBob] = db.IssueToken(kBob, std::time(nullptr) - 10 * 86400, 86400);
    }
    struct Case {
        const char* what;
        msg::Control_Login_Req req;
        std::uint32_t code;
    };
    std::vector<Case> cases;
    auto base = [&] { return Login(kAlice, kLobby); };
    cases.push_back({"wrong token", base(), room_error::bad_token});
    cases.back().req.token[0] = cases.back().req.token[0] == 'a' ? 'b' : 'a';
    cases.push_back({"someone else's token", base(), room_error::bad_token});
    cases.back().req.token = tokens[kDave];
    cases.push_back({"no token", base(), room_error::bad_token});
    cases.back().req.token.clear();
    cases.push_back({"expired token", Login(kBob, kLobby), room_error::bad_token});
    cases.push_back({"unknown user", base(), room_error::bad_token});
    cases.back().req.user_id = 4242;
    cases.push_back({"unknown room", base(), room_error::no_room});
    cases.back().req.room_id = 9999;
    cases.push_back({"no user id", base(), room_error::bad_request});
    cases.back().req.user_id = 0;

    RawClient c(srv->port(), "pc_chat");
    for (const Case& k : cases) {
        auto r = c.Ask<msg::Control_Login_Resp>(kChat, k.req);
        ASSERT_TRUE(r) << k.what;
        EXPECT_FALSE(r->ok()) << k.what;
        EXPECT_FALSE(r->message.empty()) << k.what;
        EXPECT_EQ(r->code, k.code) << k.what;
        // The refusal names the room it answers, so it is not taken as stale.
        EXPECT_EQ(r->room_id, k.req.room_id) << k.what;
        EXPECT_EQ(r->role, 0) << k.what;
        EXPECT_TRUE(r->room_name.empty()) << k.what;
    }
    EXPECT_EQ(srv->rooms().MemberCount(kLobby), 0u);
    EXPECT_FALSE(srv->rooms().ChatIn(kAlice, kLobby));

    // Not logged in: the media logins are refused as well.
    RawClient av(srv->port(), "pc_av");
    auto v = av.Ask<msg::Video_Login_Resp>(kVideo, VideoLogin(kAlice, kLobby));
    ASSERT_TRUE(v);
    EXPECT_EQ(v->code, room_error::not_logged_in);

    // A good login followed by a refused one leaves the session logged out.
    ASSERT_TRUE(ChatLogin(c, kAlice, kLobby)->ok());
    auto bad = base();
    bad.token = "x";
    EXPECT_FALSE(c.Ask<msg::Control_Login_Resp>(kChat, bad)->ok());
    EXPECT_FALSE(srv->rooms().ChatIn(kAlice, kLobby));

    // Garbage where a body should be: an answer, not a crash.
    c.SendRaw(kChat, cmd::Control_Login_Req, std::string("\x03\xff\xff", 3));
    auto g = c.Expect<msg::Control_Login_Resp>(kChat);
    ASSERT_TRUE(g);
    EXPECT_EQ(g->code, room_error::bad_request);
    c.SendRaw(kChat, cmd::Control_Login_Req, std::string());
    EXPECT_EQ(c.Expect<msg::Control_Login_Resp>(kChat)->code, room_error::bad_request);
}

TEST_F(RoomRelay, RepeatedLoginsOnOneSessionOrAfterAReconnectCountOnce) {
    StartServer();
    RawClient first(srv->port(), "pc_chat");
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(ChatLogin(first, kAlice, kLobby)->ok());
    EXPECT_EQ(srv->rooms().MemberCount(kLobby), 1u);

    // A reconnect before the server noticed the old connection is gone.
    RawClient second(srv->port(), "pc_chat");
    ASSERT_TRUE(ChatLogin(second, kAlice, kLobby)->ok());
    EXPECT_EQ(srv->rooms().MemberCount(kLobby), 1u);
    // The stale connection is told it was replaced and closed; its end does
    // not take the new one along.
    auto f = first.NextAnswer();
    ASSERT_TRUE(f);
    EXPECT_EQ(f->command, cmd::Control_Login_Other_Notify);
    EXPECT_TRUE(first.WaitClosed());
    std::this_thread::sleep_for(50ms);
    EXPECT_TRUE(srv->rooms().ChatIn(kAlice, kLobby));
    msg::Control_Logout_Req out;

    // Moving to another room on the same session leaves the first one.
    ASSERT_TRUE(ChatLogin(second, kAlice, kMusic)->ok());
    EXPECT_EQ(srv->rooms().MemberCount(kLobby), 0u);
    EXPECT_EQ(srv->rooms().MemberCount(kMusic), 1u);

    // A logout in the name of someone else is refused and changes nothing.
    out.user_id = kBob;
    out.room_id = kMusic;
    auto r = second.Ask<msg::Control_Logout_Resp>(kChat, out);
    EXPECT_EQ(r->code, room_error::bad_request);
    EXPECT_TRUE(srv->rooms().ChatIn(kAlice, kMusic));
}

// --- the real client library -------------------------------------------------

namespace {

// Logs in on every connect, as the room does, and keeps the answers.
class LoginSink : public IServerSink {
public:
    std::mutex m;
    std::condition_variable cv;
    std::vector<msg::Control_Login_Resp> answers;
    std::string body;  // the login request
    IChatProxy* chat = nullptr;

    int OnJoin(std::uint32_t) override { return 0; }
    int OnLeave(std::uint32_t) override { return 0; }
    int OnPacket(std::uint32_t, pkinfo* p) override {
        if (p->cmd != cmd::Control_Login_Resp) return 0;
        std::lock_guard<std::mutex> g(m);
        answers.push_back(wire::decode<msg::Control_Login_Resp>(p->body, p->length));
        cv.notify_all();
        return 0;
    }
    int OnConnect() override {
        pkinfo p;
        p.cmd = cmd::Control_Login_Req;
        p.body = reinterpret_cast<unsigned char*>(body.data());
        p.length = static_cast<std::uint32_t>(body.size());
        chat->channel(1)->send(&p);
        return 0;
    }
    int OnDisconnect() override { return 0; }
    int OnError(std::uint32_t, const char*) override { return 0; }
    bool WaitAnswers(std::size_t n) {
        std::unique_lock<std::mutex> l(m);
        return cv.wait_for(l, 10s, [&] { return answers.size() >= n; });
    }
};

struct HubGuard {
    ~HubGuard() { net_proxy_shutdown(); }
};

}  // namespace

TEST_F(RoomRelay, RealClientLogsInAgainAfterTheServerRestarts) {
    relay::Timing t;
    t.heartbeatMs = 50;
    t.deadMs = 2000;
    t.backoffBaseMs = 20;
    t.backoffCapMs = 100;
    t.greetMs = 1000;
    relay::SetTiming(t);

    LoginSink sink;
    sink.body = srvtest::Body(Login(kAlice, kLobby));
    HubGuard hub;
    StartServer();
    const std::uint16_t port = srv->port();
    sink.chat = net_proxy_register("pc_chat", nullptr, 200);
    sink.chat->attach(1, &sink);
    sink.chat->connect("127.0.0.1", port);
    ASSERT_TRUE(sink.WaitAnswers(1));
    EXPECT_TRUE(srv->rooms().ChatIn(kAlice, kLobby));

    srv->Stop();
    srv.reset();
    StartServer({}, port);  // the same data folder: the token still holds
    ASSERT_TRUE(sink.WaitAnswers(2));
    {
        std::lock_guard<std::mutex> g(sink.m);
        for (const auto& a : sink.answers) {
            EXPECT_TRUE(a.ok()) << a.message;
            EXPECT_EQ(a.room_id, kLobby);
        }
    }
    EXPECT_TRUE(Eventually([&] { return srv->rooms().ChatIn(kAlice, kLobby); }));
    net_proxy_shutdown();
    EXPECT_TRUE(Eventually([&] { return srv->rooms().MemberCount(kLobby) == 0; }));
}

// --- audio/video connection ---------------------------------------------------

TEST_F(RoomRelay, MediaLoginsFollowTheChatLoginByItsKey) {
    StartServer();
    RawClient chat(srv->port(), "pc_chat");
    RawClient av(srv->port(), "pc_av");

    auto v = av.Ask<msg::Video_Login_Resp>(kVideo, VideoLogin(kAlice, kLobby));
    EXPECT_EQ(v->code, room_error::not_logged_in);
    EXPECT_FALSE(v->message.empty());
    auto m = av.Ask<msg::Mix_Login_Resp>(kMix, MixLogin(kAlice, kLobby));
    EXPECT_EQ(m->code, room_error::not_logged_in);

    auto login = ChatLogin(chat, kAlice, kLobby);
    ASSERT_TRUE(login && login->ok());
    const std::string key = login->media_key;
    EXPECT_EQ(key.size(), 64u);
    // The same login again keeps its key; another login gets its own.
    EXPECT_EQ(ChatLogin(chat, kAlice, kLobby)->media_key, key);

    // Without the key, or with a wrong one, nothing binds.
    std::string wrong = key;
    wrong[0] = wrong[0] == 'a' ? 'b' : 'a';
    for (const std::string& k : {std::string(), wrong, key.substr(0, 63), key + "0"}) {
        EXPECT_EQ(av.Ask<msg::Video_Login_Resp>(kVideo, VideoLogin(kAlice, kLobby, k))->code,
                  room_error::not_logged_in) << k;
        EXPECT_EQ(av.Ask<msg::Mix_Login_Resp>(kMix, MixLogin(kAlice, kLobby, k))->code,
                  room_error::not_logged_in) << k;
    }
    v = av.Ask<msg::Video_Login_Resp>(kVideo, VideoLogin(kAlice, kLobby, key));
    EXPECT_TRUE(v->ok()) << v->message;
    EXPECT_EQ(v->room_id, kLobby);
    m = av.Ask<msg::Mix_Login_Resp>(kMix, MixLogin(kAlice, kLobby, key));
    EXPECT_TRUE(m->ok()) << m->message;
    EXPECT_TRUE(srv->rooms().VideoIn(kAlice, kLobby));
    EXPECT_TRUE(srv->rooms().MixIn(kAlice, kLobby));
    // Again on reconnect: still one binding.
    EXPECT_TRUE(av.Ask<msg::Mix_Login_Resp>(kMix, MixLogin(kAlice, kLobby, key))->ok());

    // Another room than the chat's, or another user, is refused.
    EXPECT_EQ(av.Ask<msg::Video_Login_Resp>(kVideo, VideoLogin(kAlice, kMusic, key))->code,
              room_error::not_logged_in);
    EXPECT_EQ(av.Ask<msg::Mix_Login_Resp>(kMix, MixLogin(kBob, kLobby, key))->code,
              room_error::not_logged_in);
    // Like a refused chat login, a refused one ends what the session had.
    EXPECT_FALSE(srv->rooms().VideoIn(kAlice, kLobby));
    EXPECT_FALSE(srv->rooms().MixIn(kAlice, kLobby));

    // The key is the proof, not the address: from elsewhere it binds.
    RawClient away(srv->port(), "pc_av", "127.0.0.2");
    EXPECT_TRUE(away.Ask<msg::Video_Login_Resp>(kVideo, VideoLogin(kAlice, kLobby, key))->ok());
    away.Close();
    EXPECT_TRUE(Eventually([&] { return !srv->rooms().VideoIn(kAlice, kLobby); }));

    // Logouts: the ids sit in their own tags per service.
    ASSERT_TRUE(av.Ask<msg::Video_Login_Resp>(kVideo, VideoLogin(kAlice, kLobby, key))->ok());
    ASSERT_TRUE(av.Ask<msg::Mix_Login_Resp>(kMix, MixLogin(kAlice, kLobby, key))->ok());
    msg::Video_Logout_Req vo;
    vo.room_id = kLobby;
    vo.user_id = kAlice;
    EXPECT_TRUE(av.Ask<msg::Video_Logout_Resp>(kVideo, vo)->ok());
    EXPECT_FALSE(srv->rooms().VideoIn(kAlice, kLobby));
    msg::Mix_Logout_Req mo;
    mo.user_id = kBob;  // not who is logged in here
    mo.room_id = kLobby;
    EXPECT_EQ(av.Ask<msg::Mix_Logout_Resp>(kMix, mo)->code, room_error::bad_request);
    EXPECT_TRUE(srv->rooms().MixIn(kAlice, kLobby));
    mo.user_id = kAlice;
    EXPECT_TRUE(av.Ask<msg::Mix_Logout_Resp>(kMix, mo)->ok());
    EXPECT_FALSE(srv->rooms().MixIn(kAlice, kLobby));

    // Media logins end with the chat login they hang on, and its key with it.
    ASSERT_TRUE(av.Ask<msg::Video_Login_Resp>(kVideo, VideoLogin(kAlice, kLobby, key))->ok());
    ASSERT_TRUE(av.Ask<msg::Mix_Login_Resp>(kMix, MixLogin(kAlice, kLobby, key))->ok());
    chat.Close();
    EXPECT_TRUE(Eventually([&] { return !srv->rooms().VideoIn(kAlice, kLobby); }));
    EXPECT_FALSE(srv->rooms().MixIn(kAlice, kLobby));
    RawClient again(srv->port(), "pc_chat");
    const std::string next = ChatLogin(again, kAlice, kLobby)->media_key;
    EXPECT_NE(next, key);
    EXPECT_EQ(av.Ask<msg::Video_Login_Resp>(kVideo, VideoLogin(kAlice, kLobby, key))->code,
              room_error::not_logged_in);
    EXPECT_TRUE(av.Ask<msg::Video_Login_Resp>(kVideo, VideoLogin(kAlice, kLobby, next))->ok());
}

TEST_F(RoomRelay, AnotherUserBehindTheSameAddressCannotTakeOverTheMedia) {
    StartServer();
    // Both on 127.0.0.1, as two people behind one router.
    RawClient aliceChat(srv->port(), "pc_chat"), aliceAv(srv->port(), "pc_av");
    RawClient bobChat(srv->port(), "pc_chat"), bobAv(srv->port(), "pc_av");
    const std::string aliceKey = ChatLogin(aliceChat, kAlice, kLobby)->media_key;
    const std::string bobKey = ChatLogin(bobChat, kBob, kLobby)->media_key;
    ASSERT_NE(aliceKey, bobKey);
    ASSERT_TRUE(aliceAv.Ask<msg::Video_Login_Resp>(kVideo, VideoLogin(kAlice, kLobby, aliceKey))->ok());
    ASSERT_TRUE(aliceAv.Ask<msg::Mix_Login_Resp>(kMix, MixLogin(kAlice, kLobby, aliceKey))->ok());

    // Bob claims Alice's id, with his own key or none: refused, and Alice's
    // bindings stay where they are.
    for (const std::string& k : {bobKey, std::string()}) {
        EXPECT_EQ(bobAv.Ask<msg::Video_Login_Resp>(kVideo, VideoLogin(kAlice, kLobby, k))->code,
                  room_error::not_logged_in);
        EXPECT_EQ(bobAv.Ask<msg::Mix_Login_Resp>(kMix, MixLogin(kAlice, kLobby, k))->code,
                  room_error::not_logged_in);
    }
    EXPECT_TRUE(srv->rooms().VideoIn(kAlice, kLobby));
    EXPECT_TRUE(srv->rooms().MixIn(kAlice, kLobby));
    // Alice's session still answers as hers: a logout in her name succeeds there.
    msg::Mix_Logout_Req mo;
    mo.user_id = kAlice;
    mo.room_id = kLobby;
    EXPECT_TRUE(aliceAv.Ask<msg::Mix_Logout_Resp>(kMix, mo)->ok());
    EXPECT_FALSE(srv->rooms().MixIn(kAlice, kLobby));
    // Bob's own media logs in with his key.
    EXPECT_TRUE(bobAv.Ask<msg::Mix_Login_Resp>(kMix, MixLogin(kBob, kLobby, bobKey))->ok());
}

// --- channels and unknown commands -----------------------------------------------

TEST_F(RoomRelay, WrongChannelsAndUnknownCommandsGetClearAnswers) {
    StartServer();
    RawClient chat(srv->port(), "pc_chat");
    ASSERT_TRUE(ChatLogin(chat, kAlice, kLobby)->ok());

    // A media request on the chat channel: its own response, with the reason.
    chat.Send(kChat, MixLogin(kAlice, kLobby));
    auto f = chat.NextAnswer();
    ASSERT_TRUE(f);
    EXPECT_EQ(f->command, cmd::Mix_Login_Resp);
    EXPECT_EQ(srvtest::Decode<msg::Mix_Login_Resp>(f->payload).code, room_error::wrong_channel);

    // A request this server does not serve yet.
    chat.SendRaw(kChat, cmd::Control_Set_Room_Info_Req, "");
    f = chat.NextAnswer();
    ASSERT_TRUE(f);
    EXPECT_EQ(f->command, cmd::Control_Set_Room_Info_Resp);
    const auto info = srvtest::Decode<msg::Control_Set_Room_Info_Resp>(f->payload);
    EXPECT_EQ(info.code, room_error::unsupported);
    EXPECT_FALSE(info.message.empty());

    // Media data is taken without an answer per frame.
    RawClient av(srv->port(), "pc_av");
    av.SendRaw(kMix, cmd::Mix_Audio_Data, std::string(200, 'a'));
    EXPECT_FALSE(av.Next(100ms));

    // A channel the connection does not have: the connection is closed with
    // the reason; the others carry on.
    av.SendRaw(kChat, cmd::Control_Login_Req, srvtest::Body(Login(kAlice, kLobby)));
    f = av.Next();
    ASSERT_TRUE(f);
    EXPECT_EQ(f->type, relay::kFrameError);
    EXPECT_EQ(f->command, room_error::wrong_channel);
    EXPECT_TRUE(av.WaitClosed());

    // So is a connection with a name the server does not know.
    RawClient odd(srv->port(), "pc_other", nullptr, false);
    f = odd.Next();
    ASSERT_TRUE(f);
    EXPECT_EQ(f->type, relay::kFrameError);
    EXPECT_NE(f->payload.find("unknown connection"), std::string::npos);
    EXPECT_TRUE(odd.WaitClosed());

    EXPECT_TRUE(ChatLogin(chat, kAlice, kLobby)->ok());
    EXPECT_TRUE(Eventually([&] { return srv->rooms().SessionCount() == 1; }));
}

// --- rate limit -------------------------------------------------------------------

TEST_F(RoomRelay, AFloodIsRefusedWithoutTouchingOtherUsers) {
    RoomLimits limits;
    limits.requestsPerSecond = 5;
    limits.requestBurst = 10;
    limits.closeAfterRefusals = 1000;
    StartServer(limits);  // the test clock stands still until moved
    RawClient alice(srv->port(), "pc_chat");
    RawClient bob(srv->port(), "pc_chat");
    // Counted against the connection's own budget: before a login nobody
    // can be charged for it.
    ASSERT_TRUE(ChatLogin(alice, kAlice, kLobby)->ok());

    msg::Control_Logout_Req idle;  // cheap and harmless: another room
    idle.user_id = kAlice;
    idle.room_id = kMusic;
    for (int i = 0; i < 40; ++i) alice.Send(kChat, idle);
    int ok = 0, refused = 0;
    for (int i = 0; i < 40; ++i) {
        auto r = alice.Expect<msg::Control_Logout_Resp>(kChat);
        ASSERT_TRUE(r);
        if (r->ok()) ++ok;
        else if (r->code == room_error::too_many) ++refused;
    }
    EXPECT_EQ(ok, 10);
    EXPECT_EQ(refused, 30);
    EXPECT_EQ(srv->rooms().RateRefusals(), 30u);

    // Bob has his own budget.
    auto b = ChatLogin(bob, kBob, kLobby);
    ASSERT_TRUE(b);
    EXPECT_TRUE(b->ok()) << b->message;
    // A refused login says so in its own response, room id included.
    auto l = ChatLogin(alice, kAlice, kLobby);
    EXPECT_EQ(l->code, room_error::too_many);
    EXPECT_EQ(l->room_id, kLobby);
    EXPECT_TRUE(srv->rooms().ChatIn(kAlice, kLobby));  // refusal by rate changes nothing

    // A second later alice may send again, at the steady rate.
    clock.AdvanceMs(1000);
    ok = 0;
    for (int i = 0; i < 10; ++i) ok += alice.Ask<msg::Control_Logout_Resp>(kChat, idle)->ok();
    EXPECT_EQ(ok, 5);
}

TEST_F(RoomRelay, ASustainedFloodClosesOnlyTheFloodingConnection) {
    RoomLimits limits;
    limits.requestBurst = 5;
    limits.closeAfterRefusals = 20;
    StartServer(limits);
    RawClient flood(srv->port(), "pc_chat");
    RawClient calm(srv->port(), "pc_chat");
    for (int i = 0; i < 100; ++i) flood.SendRaw(kChat, cmd::Control_Get_Room_Info_Req, "");
    bool sawError = false;
    while (auto f = flood.Next()) {
        if (f->type == relay::kFrameError) {
            sawError = true;
            EXPECT_EQ(f->command, room_error::too_many);
        }
    }
    EXPECT_TRUE(sawError);
    EXPECT_TRUE(flood.closed());
    EXPECT_TRUE(ChatLogin(calm, kDave, kLobby)->ok());
}

// --- admin ----------------------------------------------------------------------

TEST_F(RoomRelay, IssuedTokenIsAcceptedAndReplacesTheEarlierOne) {
    ServerOptions o;
    o.dataDir = dir.path();
    o.issueTokenFor = "alice";
    std::string err;
    const std::string token = IssueTokenFor(o, err);
    ASSERT_FALSE(token.empty()) << err;
    o.issueTokenFor = "nobody";
    EXPECT_TRUE(IssueTokenFor(o, err).empty());
    EXPECT_NE(err.find("nobody"), std::string::npos);

    StartServer();
    RawClient c(srv->port(), "pc_chat");
    EXPECT_FALSE(ChatLogin(c, kAlice, kLobby)->ok());  // the fixture's token was replaced
    tokens[kAlice] = token;
    EXPECT_TRUE(ChatLogin(c, kAlice, kLobby)->ok());
}

// --- membership ----------------------------------------------------------------

TEST_F(RoomRelay, MembersSeeEachOtherArriveAndLeave) {
    StartServer();
    RawClient alice(srv->port(), "pc_chat");
    ASSERT_TRUE(ChatLogin(alice, kAlice, kLobby));
    auto first = alice.Notice<msg::Control_Room_UserList_Notify>();
    ASSERT_TRUE(first);
    ASSERT_EQ(first->users.size(), 1u);  // the newcomer is in its own list
    EXPECT_EQ(first->users[0].user_id, kAlice);
    EXPECT_EQ(first->users[0].card.wealth_grade, 1u);  // the server's grade, not the claimed 3
    auto anchor = alice.Notice<msg::Control_Anchor_Notify>();
    ASSERT_TRUE(anchor);
    EXPECT_FALSE(anchor->anchor.user_id.has_value());

    RawClient bob(srv->port(), "pc_chat");
    ASSERT_TRUE(ChatLogin(bob, kBob, kLobby));
    auto list = bob.Notice<msg::Control_Room_UserList_Notify>();
    ASSERT_TRUE(list);
    ASSERT_EQ(list->users.size(), 2u);
    auto join = alice.Notice<msg::Control_User_Login_Notify>();
    ASSERT_TRUE(join);
    EXPECT_EQ(join->user_id, kBob);
    EXPECT_NE(join->nickname, "n");  // the account's nickname, not the request's claim
    EXPECT_TRUE(bob.NoNotice<msg::Control_User_Login_Notify>());  // nobody announces itself

    // Another room hears nothing of the lobby.
    RawClient dave(srv->port(), "pc_chat");
    ASSERT_TRUE(ChatLogin(dave, kDave, kMusic));
    EXPECT_TRUE(alice.NoNotice<msg::Control_User_Login_Notify>());

    // A dropped connection is a departure for the others.
    bob.Close();
    auto bye = alice.Notice<msg::Control_User_Logout_Notify>();
    ASSERT_TRUE(bye);
    EXPECT_EQ(bye->user_id, kBob);
    EXPECT_TRUE(dave.NoNotice<msg::Control_User_Logout_Notify>());

    // So is an orderly logout.
    msg::Control_Logout_Req out;
    out.user_id = kDave;
    out.room_id = kMusic;
    ASSERT_TRUE(dave.Ask<msg::Control_Logout_Resp>(kChat, out));
    EXPECT_EQ(srv->rooms().MemberCount(kMusic), 0u);
}

TEST_F(RoomRelay, SigningInElsewhereEndsTheFirstSession) {
    StartServer();
    RawClient first(srv->port(), "pc_chat");
    ASSERT_TRUE(ChatLogin(first, kAlice, kLobby));
    RawClient watcher(srv->port(), "pc_chat");
    ASSERT_TRUE(ChatLogin(watcher, kBob, kLobby));
    RawClient second(srv->port(), "pc_chat");
    ASSERT_TRUE(ChatLogin(second, kAlice, kMusic));
    // The first place is told why and closed.
    std::optional<msg::Control_Login_Other_Notify> other;
    while (auto f = first.Next()) {
        if (f->command == cmd::Control_Login_Other_Notify)
            other = srvtest::Decode<msg::Control_Login_Other_Notify>(f->payload);
    }
    ASSERT_TRUE(other);
    EXPECT_EQ(other->user_id, kAlice);
    EXPECT_EQ(other->kind, 2u);
    EXPECT_TRUE(first.closed());
    // The lobby sees Alice leave; the music room has her now.
    auto bye = watcher.Notice<msg::Control_User_Logout_Notify>();
    ASSERT_TRUE(bye);
    EXPECT_EQ(bye->user_id, kAlice);
    EXPECT_TRUE(srv->rooms().ChatIn(kAlice, kMusic));
    EXPECT_FALSE(srv->rooms().ChatIn(kAlice, kLobby));
}

TEST_F(RoomRelay, RoomInfoAnswersTheRoomOfTheLogin) {
    StartServer();
    RawClient alice(srv->port(), "pc_chat");
    msg::Control_Get_Room_Info_Req q;
    q.user_id = kAlice;
    auto early = alice.Ask<msg::Control_Get_Room_Info_Resp>(kChat, q);
    ASSERT_TRUE(early);
    EXPECT_FALSE(early->ok());  // not in a room yet
    ASSERT_TRUE(ChatLogin(alice, kAlice, kLobby));
    auto info = alice.Ask<msg::Control_Get_Room_Info_Resp>(kChat, q);
    ASSERT_TRUE(info);
    EXPECT_TRUE(info->ok()) << info->message;
    EXPECT_EQ(info->room_id, kLobby);
    EXPECT_EQ(info->text2, "zeri 大厅");
}
