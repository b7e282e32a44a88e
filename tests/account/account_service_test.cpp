// The account service of zeri-server over real HTTP on loopback: sign-in,
// tokens shared with the room relay, expiry and sign-out, the account's
// records and the billboards.
#include <gtest/gtest.h>
#include <httplib.h>

#include <set>

#include "net/catalogue_room.h"
#include "net/json.h"
#include "server/account_service.h"
#include "tests/server/server_fixture.h"
#include "tests/support/account_server.h"

using namespace server;
using testsupport::AccountServer;
using testsupport::kAlice;
using testsupport::kBob;

namespace {

struct Answer {
    int status = 0;
    json::value body;
    int code() const { return static_cast<int>(body.get_int("code")); }
    std::string error() const { return body.get_string("error"); }
};

class Account : public ::testing::Test {
protected:
    Answer Post(const std::string& path, const std::string& body = "{}",
                std::uint32_t user = 0, const std::string& token = {}) {
        httplib::Client c("127.0.0.1", srv.accountPort());
        httplib::Headers h;
        if (user) h.emplace("X-Zeri-User", std::to_string(user));
        if (!token.empty()) h.emplace("Authorization", "Bearer " + token);
        auto r = c.Post(path.c_str(), h, body, "application/json");
        Answer a;
        if (!r) return a;
        a.status = r->status;
        a.body = json::value::parse(r->body);
        return a;
    }
    Answer SignIn(const std::string& name, const std::string& password) {
        json::value b = json::value::object();
        b.set("name", name);
        b.set("password", password);
        return Post("/account/login", b.dump());
    }
    std::string Token(const testsupport::DemoLogin& who) {
        Answer a = SignIn(who.name, who.password);
        EXPECT_EQ(a.status, 200);
        return a.body.get_string("token");
    }
    // A room login on the relay with that token: the server's error text, empty when accepted.
    std::string RelayLogin(std::uint32_t user, const std::string& token) {
        srvtest::RawClient c(srv.relayPort(), "pc_chat");
        msg::Control_Login_Req req;
        req.user_id = user;
        req.room_id = 1001;
        req.token = token;
        req.nickname = "n";
        auto resp = c.Ask<msg::Control_Login_Resp>(1, req);
        return resp ? resp->message : std::string("no answer");
    }

    AccountServer srv;
};

}  // namespace

TEST_F(Account, SignInIssuesATokenTheRelayAcceptsAndRefusesWrongPasswordsWithTheSameText) {
    Answer ok = SignIn("alice", "alice-demo");
    ASSERT_EQ(ok.status, 200);
    EXPECT_EQ(ok.code(), 0);
    EXPECT_EQ(ok.body.get_int("id"), kAlice.id);
    EXPECT_EQ(ok.body.get_string("nickname"), "爱丽丝");
    const std::string token = ok.body.get_string("token");
    EXPECT_EQ(token.size(), 64u);
    EXPECT_GT(ok.body.get_int("expires"), std::time(nullptr));
    EXPECT_EQ(RelayLogin(kAlice.id, token), "");
    // The name is matched in any case.
    EXPECT_EQ(SignIn("ALICE", "alice-demo").status, 200);

    Answer wrong = SignIn("alice", "nope");
    Answer nobody = SignIn("nobody", "alice-demo");
    EXPECT_EQ(wrong.status, 401);
    EXPECT_EQ(wrong.code(), account_error::wrong_password);
    EXPECT_EQ(wrong.error(), "用户名或密码错误");
    // An unknown name answers exactly like a wrong password.
    EXPECT_EQ(nobody.status, 401);
    EXPECT_EQ(nobody.error(), wrong.error());
}

TEST_F(Account, BadRequestsGetAClearErrorNotACrash) {
    EXPECT_EQ(Post("/account/login", "{not json").status, 400);
    EXPECT_EQ(Post("/account/login", "[1,2]").status, 400);
    EXPECT_EQ(SignIn("", "x").error(), "请输入用户名和密码");
    EXPECT_EQ(SignIn(std::string(65, 'a'), "x").status, 400);
    EXPECT_EQ(Post("/account/login", std::string(20000, ' ')).status, 413);
    const std::string t = Token(kAlice);
    EXPECT_EQ(Post("/account/billboard", R"({"period":7})", kAlice.id, t).status, 400);
    EXPECT_EQ(Post("/account/billboard", R"({"period":0,"count":0})", kAlice.id, t).status, 400);
    EXPECT_EQ(Post("/account/flowers", R"({"anchor":-3})", kAlice.id, t).status, 400);
    EXPECT_EQ(Post("/account/detail", R"({"id":99999})", kAlice.id, t).status, 404);
    EXPECT_EQ(Post("/account/wealth", R"({"id":"x"})", kAlice.id, t).status, 404);
}

TEST_F(Account, RepeatedWrongPasswordsLockTheNameForAWhile) {
    for (int i = 0; i < 5; ++i) EXPECT_EQ(SignIn("bob", "guess").status, 401);
    Answer locked = SignIn("bob", "bob-demo");
    EXPECT_EQ(locked.status, 429);
    EXPECT_EQ(locked.code(), account_error::too_many_attempts);
    // Other names are not affected.
    EXPECT_EQ(SignIn("alice", "alice-demo").status, 200);
    srv.clock.Advance(301);
    EXPECT_EQ(SignIn("bob", "bob-demo").status, 200);
}

TEST_F(Account, EveryCallButSignInNeedsALiveToken) {
    const std::string token = Token(kAlice);
    const char* calls[] = {"/account/logout", "/account/detail", "/account/balance",
                           "/account/wealth", "/account/cars",   "/account/vips",
                           "/account/pack",   "/account/level",  "/account/billboard",
                           "/account/flowers", "/account/room-login"};
    for (const char* path : calls) {
        SCOPED_TRACE(path);
        Answer none = Post(path);
        EXPECT_EQ(none.status, 401);
        EXPECT_EQ(none.code(), account_error::bad_token);
        EXPECT_EQ(Post(path, "{}", kAlice.id, token + "0").status, 401);
        EXPECT_EQ(Post(path, "{}", kBob.id, token).status, 401);  // someone else's
        EXPECT_EQ(Post(path, "{}", kAlice.id, "").status, 401);
    }
    EXPECT_EQ(Post("/account/balance", "{}", kAlice.id, token).status, 200);
}

TEST_F(Account, TokensExpireAndDieWithSignOutOrTheNextSignIn) {
    const std::string first = Token(kAlice);
    const std::string second = Token(kAlice);
    // One live token per user: the newer sign-in replaced the older.
    EXPECT_EQ(Post("/account/balance", "{}", kAlice.id, first).status, 401);
    EXPECT_NE(RelayLogin(kAlice.id, first), "");
    EXPECT_EQ(Post("/account/balance", "{}", kAlice.id, second).status, 200);

    EXPECT_EQ(Post("/account/logout", "{}", kAlice.id, second).status, 200);
    EXPECT_EQ(Post("/account/balance", "{}", kAlice.id, second).status, 401);
    EXPECT_NE(RelayLogin(kAlice.id, second), "");

    const std::string third = Token(kAlice);
    srv.clock.Advance(7 * 86400 + 1);
    Answer late = Post("/account/balance", "{}", kAlice.id, third);
    EXPECT_EQ(late.status, 401);
    EXPECT_EQ(late.error(), "登录已过期，请重新登录");
    EXPECT_NE(RelayLogin(kAlice.id, third), "");
}

TEST_F(Account, AKeptSignInOutlivesSignOutSignsInAgainAndEndsWhenForgottenOrOld) {
    const std::string keepMe = R"({"name":"alice","password":"alice-demo","keep":true})";
    Answer first = Post("/account/login", keepMe);
    ASSERT_EQ(first.status, 200);
    const std::string kept = first.body.get_string("keep");
    ASSERT_EQ(kept.size(), 64u);
    EXPECT_NE(kept, first.body.get_string("token"));
    EXPECT_FALSE(SignIn("alice", "alice-demo").body.get("keep"));  // only when asked

    auto again = [&](std::uint32_t id, const std::string& secret) {
        json::value k = json::value::object();
        k.set("id", static_cast<std::int64_t>(id));
        k.set("keep", secret);
        return Post("/account/login-kept", k.dump());
    };
    // Signing out ends the session, not the kept sign-in.
    const std::string token = Token(kAlice);
    EXPECT_EQ(Post("/account/logout", "{}", kAlice.id, token).status, 200);
    Answer back = again(kAlice.id, kept);
    ASSERT_EQ(back.status, 200);
    EXPECT_EQ(back.body.get_int("id"), kAlice.id);
    EXPECT_FALSE(back.body.get("keep"));
    const std::string session = back.body.get_string("token");
    EXPECT_EQ(Post("/account/balance", "{}", kAlice.id, session).status, 200);
    EXPECT_EQ(RelayLogin(kAlice.id, session), "");

    // Someone else's id, a wrong secret, nothing: refused alike.
    EXPECT_EQ(again(kBob.id, kept).status, 401);
    EXPECT_EQ(again(kAlice.id, kept + "0").error(), "记住的登录已失效，请输入密码");
    EXPECT_EQ(Post("/account/login-kept", R"({"id":10001})").status, 400);
    EXPECT_EQ(Post("/account/login-kept", R"({"id":-1,"keep":"x"})").status, 400);

    // "forget" with the sign-out ends it.
    EXPECT_EQ(Post("/account/logout", R"({"forget":true})", kAlice.id, session).status, 200);
    EXPECT_EQ(again(kAlice.id, kept).status, 401);

    // And it grows old.
    Answer renewed = Post("/account/login", keepMe);
    const std::string later = renewed.body.get_string("keep");
    srv.clock.Advance(30 * 86400 + 1);
    EXPECT_EQ(again(kAlice.id, later).status, 401);
}

TEST_F(Account, DemoUsersHaveCoinsAndBothGagCardsAndAGradeAndLevel) {
    const std::string t = Token(kAlice);
    Answer bal = Post("/account/balance", "{}", kAlice.id, t);
    EXPECT_EQ(bal.body.get_int("coins"), 100000);
    EXPECT_EQ(bal.body.get_int("pelto"), 12345);

    Answer pack = Post("/account/pack", "{}", kAlice.id, t);
    json::value list = pack.body.get_array("pack");
    ASSERT_EQ(list.size(), 2u);
    std::set<std::int64_t> props, entries;
    for (std::size_t i = 0; i < list.size(); ++i) {
        props.insert(list.at(i).get_int("prop"));
        entries.insert(list.at(i).get_int("entry"));
        EXPECT_GT(list.at(i).get_int("count"), 0);
    }
    EXPECT_EQ(props, (std::set<std::int64_t>{kPropCancelGagCard, kPropGagCard}));
    EXPECT_EQ(entries.size(), 2u);

    EXPECT_EQ(Post("/account/cars", "{}", kAlice.id, t).body.get_array("cars").size(), 0u);
    Answer vips = Post("/account/vips", "{}", kAlice.id, t);
    EXPECT_EQ(vips.body.get_array("vips").size(), 0u);
    EXPECT_EQ(vips.body.get_int("level"), 0);

    Answer me = Post("/account/detail", "{}", kAlice.id, t);
    EXPECT_EQ(me.body.get_string("name"), "alice");
    EXPECT_EQ(me.body.get_int("sex"), 1);
    json::value w = me.body.get_object("wealth");
    EXPECT_EQ(w.get_int("grade"), 1);
    EXPECT_EQ(w.get_string("text"), "平民");
    EXPECT_EQ(w.get_string("colour"), "#9E9E9E");
    // The medal link names the port that serves the medals, and it answers.
    const std::string medal = w.get_string("medal");
    const std::string port = std::to_string(srv.srv->checkinPort());
    EXPECT_EQ(medal, "http://127.0.0.1:" + port + "/wealth/1.png");
    httplib::Client pictures("127.0.0.1", srv.srv->checkinPort());
    auto png = pictures.Get("/wealth/1.png");
    ASSERT_TRUE(png);
    EXPECT_EQ(png->status, 200);
    EXPECT_EQ(png->body.substr(1, 3), "PNG");

    // Somebody else's detail leaves out the sign-in name.
    Answer bob = Post("/account/detail", R"({"id":10002})", kAlice.id, t);
    EXPECT_EQ(bob.body.get_string("nickname"), "鲍勃");
    EXPECT_FALSE(bob.body.get("name"));

    Answer level = Post("/account/level", "{}", kAlice.id, t);
    EXPECT_EQ(level.body.get_int("level"), 1);
    EXPECT_EQ(level.body.get_int("next"), 100);
}

TEST_F(Account, SpendingRaisesTheGradeAndFillsTheBillboardsByPeriod) {
    const std::string t = Token(kAlice);
    auto board = [&](int period) {
        return Post("/account/billboard", "{\"period\":" + std::to_string(period) + "}",
                    kAlice.id, t);
    };
    // Nothing spent yet: empty lists, not an error.
    Answer empty = board(0);
    EXPECT_EQ(empty.status, 200);
    EXPECT_EQ(empty.body.get_string("period"), "DAY");
    EXPECT_EQ(empty.body.get_array("entries").size(), 0u);

    CAccountStore store;
    std::string err;
    ASSERT_TRUE(store.Open(srv.srv->databasePath(), err)) << err;
    const std::int64_t now = srv.clock.Now();
    ASSERT_TRUE(store.RecordSpending(10001, 300, now - 3600));          // today
    ASSERT_TRUE(store.RecordSpending(10002, 2500, now - 3 * 86400));    // this week
    ASSERT_TRUE(store.RecordSpending(10003, 9000, now - 20 * 86400));   // this month
    ASSERT_TRUE(store.RecordSpending(10004, 20000, now - 90 * 86400));  // long ago

    auto ids = [](const Answer& a) {
        std::vector<std::int64_t> out;
        json::value e = a.body.get_array("entries");
        for (std::size_t i = 0; i < e.size(); ++i) out.push_back(e.at(i).get_int("id"));
        return out;
    };
    EXPECT_EQ(ids(board(0)), (std::vector<std::int64_t>{10001}));
    EXPECT_EQ(ids(board(1)), (std::vector<std::int64_t>{10002, 10001}));
    EXPECT_EQ(ids(board(2)), (std::vector<std::int64_t>{10003, 10002, 10001}));
    Answer all = board(3);
    EXPECT_EQ(all.body.get_string("period"), "ALL");
    EXPECT_EQ(ids(all), (std::vector<std::int64_t>{10004, 10003, 10002, 10001}));
    json::value top = all.body.get_array("entries").at(0);
    EXPECT_EQ(top.get_string("nickname"), "大卫");
    EXPECT_EQ(top.get_int("amount"), 20000);
    EXPECT_EQ(top.get_object("wealth").get_int("grade"), 5);
    // Paging.
    Answer page = Post("/account/billboard", R"({"period":3,"start":1,"count":2})", kAlice.id, t);
    EXPECT_EQ(ids(page), (std::vector<std::int64_t>{10003, 10002}));

    Answer w = Post("/account/wealth", R"({"id":10002})", kAlice.id, t);
    EXPECT_EQ(w.body.get_int("grade"), 4);
    EXPECT_EQ(w.body.get_string("text"), "财主");
    EXPECT_EQ(w.body.get_int("spent"), 2500);
    Answer level = Post("/account/level", R"({"id":10002})", kAlice.id, t);
    EXPECT_EQ(level.body.get_int("experience"), 2500);
    EXPECT_EQ(level.body.get_int("level"), 7);  // 2100 reaches 7, 2800 would be 8
}

TEST_F(Account, FlowerCountsAndTheLastRoomAreKept) {
    const std::string t = Token(kBob);
    EXPECT_EQ(Post("/account/flowers", R"({"anchor":10003})", kBob.id, t).body.get_int("count"), 0);
    CAccountStore store;
    std::string err;
    ASSERT_TRUE(store.Open(srv.srv->databasePath(), err)) << err;
    ASSERT_TRUE(store.AddFlowers(10003, 7));
    ASSERT_TRUE(store.AddFlowers(10003, 5));
    EXPECT_EQ(Post("/account/flowers", R"({"anchor":10003})", kBob.id, t).body.get_int("count"), 12);

    EXPECT_EQ(Post("/account/room-login", R"({"room":1002,"text":"x"})", kBob.id, t).status, 200);
    EXPECT_EQ(store.GetProfile(kBob.id).lastRoom, 1002u);
}

TEST(AccountTables, SeedingTwiceKeepsWhatUsersHaveSinceAndListsHideExpiredItems) {
    testsupport::TempFolder dir;
    CAccountStore s;
    std::string err;
    ASSERT_TRUE(s.Open(dir.path() + "a.db", err)) << err;
    ASSERT_TRUE(s.SeedDemo({1, 2}, err)) << err;
    ASSERT_TRUE(s.SetWallet(1, {5, 0}));
    ASSERT_TRUE(s.SeedDemo({1, 2}, err)) << err;
    EXPECT_EQ(s.GetWallet(1).coins, 5u);
    EXPECT_EQ(s.GetWallet(2).coins, 100000u);
    EXPECT_EQ(s.Pack(1).size(), 2u);
    ASSERT_TRUE(s.AddProp(1, kPropGagCard, "禁言卡", 2, 0));
    std::uint32_t gagCards = 0;
    for (const PackEntry& e : s.Pack(1))
        if (e.propId == kPropGagCard) gagCards = e.count;
    EXPECT_EQ(gagCards, 5u);

    ASSERT_TRUE(s.AddCar(1, {7, "跑车", 1000, true}));
    ASSERT_TRUE(s.AddCar(1, {8, "马车", 0, false}));
    EXPECT_EQ(s.Cars(1, 999).size(), 2u);
    ASSERT_EQ(s.Cars(1, 1000).size(), 1u);
    EXPECT_EQ(s.Cars(1, 1000)[0].carId, 8u);
    ASSERT_TRUE(s.AddVip(1, {1, 2, "黄金", 0}));
    ASSERT_TRUE(s.AddVip(1, {2, 3, "钻石", 50}));
    EXPECT_EQ(s.Vips(1, 10).front().level, 3u);
    EXPECT_EQ(s.Vips(1, 60).size(), 1u);
    EXPECT_FALSE(s.RecordSpending(1, 0, 0));
}

TEST(AccountTables, GradesAndLevelsFollowTheirThresholds) {
    EXPECT_EQ(GradeForSpending(0).grade, 1u);
    EXPECT_EQ(GradeForSpending(99).grade, 1u);
    EXPECT_EQ(GradeForSpending(100).grade, 2u);
    EXPECT_EQ(GradeForSpending(UINT64_MAX).grade, WealthGrades().back().grade);
    EXPECT_EQ(LevelForExperience(0).level, 1u);
    EXPECT_EQ(LevelForExperience(99).level, 1u);
    EXPECT_EQ(LevelForExperience(100).level, 2u);
    EXPECT_EQ(LevelForExperience(300).level, 3u);
    EXPECT_EQ(LevelForExperience(UINT64_MAX).next, 0u);
}
