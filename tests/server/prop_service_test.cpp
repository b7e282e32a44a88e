// Gag and cancel-gag cards used through the account service's port, against
// an in-process server with members over real TCP: what the room hears, what
// is stored, what the card costs, and that a refused use costs nothing.
#include <gtest/gtest.h>
#include <httplib.h>

#include <ctime>
#include <memory>
#include <thread>

#include "net/catalogue_chat.h"
#include "net/catalogue_moderation.h"
#include "net/catalogue_room.h"
#include "net/json.h"
#include "server/account_store.h"
#include "server/seed.h"
#include "server/server_app.h"
#include "server_fixture.h"

using namespace server;
using srvtest::RawClient;

namespace {

constexpr std::uint8_t kChat = 1;
constexpr std::uint32_t kAlice = 10001, kBob = 10002, kCarol = 10003, kDave = 10004;
constexpr std::uint32_t kLobby = 1001, kMusic = 1002;

struct Answer {
    int status = 0;
    std::int64_t code = -1;
    std::int64_t count = -1;
    std::string error;
};

class PropCards : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string file = dir.file(kDatabaseFile);
        std::string err;
        {
            CServerDb db;
            ASSERT_TRUE(db.Open(file, err)) << err;
            ASSERT_TRUE(SeedDemo(db, SeedOptions{1000}, err)) << err;
            for (std::uint32_t id : {kAlice, kBob, kCarol, kDave})
                tokens[id] = db.IssueToken(id, std::time(nullptr), 3600);
        }
        {
            // Dave (a guest) holds one gag card and two cancel-gag cards;
            // Carol a gag card with none left and a video-text prop; Bob a
            // gag card of his own.
            CAccountStore store;
            ASSERT_TRUE(store.Open(file, err)) << err;
            ASSERT_TRUE(store.AddProp(kDave, kPropGagCard, "禁言卡", 1, 5));
            ASSERT_TRUE(store.AddProp(kDave, kPropCancelGagCard, "解禁卡", 2, 0));
            ASSERT_TRUE(store.AddProp(kCarol, kPropGagCard, "禁言卡", 0, 0));
            ASSERT_TRUE(store.AddProp(kCarol, 1, "上视频", 4, 0));
            ASSERT_TRUE(store.AddProp(kBob, kPropGagCard, "禁言卡", 3, 0));
            for (std::uint32_t u : {kDave, kCarol, kBob})
                for (const PackEntry& e : store.Pack(u)) Entry(u, e.propId) = e.entryId;
            // Pack() leaves out used-up entries; Carol's empty card is found by hand.
            Entry(kCarol, kPropGagCard) = 0;
        }
        {
            CServerDb db;
            ASSERT_TRUE(db.Open(file, err)) << err;
            for (std::uint32_t e = 1; e < 20; ++e)
                if (auto row = db.PropEntryById(e);
                    row && row->user == kCarol && row->prop == kPropGagCard)
                    Entry(kCarol, kPropGagCard) = e;
        }
        ASSERT_NE(Entry(kCarol, kPropGagCard), 0u);
        srv = std::make_unique<CZeriServer>(srvtest::LocalServerOptions(dir.path()), RoomLimits{},
                                            &clock);
        ASSERT_TRUE(srv->Start(err)) << err;
        http = std::make_unique<httplib::Client>("127.0.0.1", srv->accountPort());
    }
    void TearDown() override { srv->Stop(); }

    std::unique_ptr<RawClient> In(std::uint32_t user, std::uint32_t room = kLobby) {
        auto c = std::make_unique<RawClient>(srv->port(), "pc_chat");
        msg::Control_Login_Req r;
        r.user_id = user;
        r.room_id = room;
        r.token = tokens[user];
        auto resp = c->Ask<msg::Control_Login_Resp>(kChat, r);
        EXPECT_TRUE(resp && resp->ok()) << user;
        return c;
    }
    Answer PostAs(std::uint32_t user, const std::string& body) {
        httplib::Headers h = {{"X-Zeri-User", std::to_string(user)},
                              {"Authorization", "Bearer " + tokens[user]}};
        Answer a;
        auto r = http->Post("/account/give-prop", h, body, "application/json");
        if (!r) return a;
        a.status = r->status;
        const json::value v = json::value::parse(r->body);
        a.code = v.get_int("code");
        a.count = v.get("count") ? v.get_int("count") : -1;
        a.error = v.get_string("error");
        return a;
    }
    Answer Use(std::uint32_t user, std::uint32_t prop, std::uint32_t receiver,
               std::uint32_t room = kLobby, std::uint32_t owner = 0) {
        json::value b = json::value::object();
        b.set("room", static_cast<std::int64_t>(room));
        b.set("receiver", static_cast<std::int64_t>(receiver));
        b.set("entry", static_cast<std::int64_t>(Entry(owner ? owner : user, prop)));
        b.set("count", std::int64_t{1});
        b.set("value", std::int64_t{5});
        return PostAs(user, b.dump());
    }
    std::uint32_t& Entry(std::uint32_t user, std::uint32_t prop) { return entry[{user, prop}]; }
    std::uint32_t Left(std::uint32_t user, std::uint32_t prop) {
        auto row = srv->db().PropEntryById(Entry(user, prop));
        return row ? row->count : 9999;
    }

    srvtest::TempDir dir;
    srvtest::TestClock clock;
    std::map<std::uint32_t, std::string> tokens;
    std::map<std::pair<std::uint32_t, std::uint32_t>, std::uint32_t> entry;  // (user, prop)
    std::unique_ptr<CZeriServer> srv;
    std::unique_ptr<httplib::Client> http;
};

TEST_F(PropCards, AGagCardGagsItsReceiverForEveryoneIsSpentOnceAndCancelCardsFreeEvenTheirUser) {
    auto dave = In(kDave), carol = In(kCarol), bob = In(kBob);
    const std::int64_t logged = srv->db().CountRows("moderation_log");

    Answer a = Use(kDave, kPropGagCard, kCarol);
    EXPECT_EQ(a.status, 200) << a.error;
    EXPECT_EQ(a.code, 0);
    EXPECT_EQ(a.count, 0);
    // Everyone hears it, the card's user and the receiver included.
    for (RawClient* c : {dave.get(), carol.get(), bob.get()}) {
        auto n = c->Notice<msg::Control_Gag_Notify>();
        ASSERT_TRUE(n);
        EXPECT_EQ(n->user_id, kCarol);
        EXPECT_EQ(n->nickname, "卡萝");
    }
    EXPECT_TRUE(srv->db().IsGagged(kLobby, kCarol));
    EXPECT_EQ(srv->db().CountRows("moderation_log"), logged + 1);
    EXPECT_EQ(Left(kDave, kPropGagCard), 0u);
    // The gag holds as one by power does: Carol's lines are refused.
    carol->Send(kChat, msg::make_chat_req(kCarol, "还在吗", 0, 0, {}));
    auto refused = carol->NextAnswer();
    while (refused && refused->command == cmd::Control_Gag_Notify) refused = carol->NextAnswer();
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->command, cmd::Control_Send_Chat_Req + 1);

    // No second use of the one card, even on someone else.
    a = Use(kDave, kPropGagCard, kBob);
    EXPECT_EQ(a.status, 409);
    EXPECT_EQ(a.code, 1018);
    EXPECT_FALSE(srv->db().IsGagged(kLobby, kBob));
    EXPECT_TRUE(bob->NoNotice<msg::Control_Gag_Notify>());

    // A cancel-gag card frees the receiver; a gagged user may free himself.
    a = Use(kDave, kPropCancelGagCard, kCarol);
    EXPECT_EQ(a.status, 200) << a.error;
    EXPECT_EQ(a.count, 1);
    for (RawClient* c : {dave.get(), carol.get(), bob.get()}) {
        auto n = c->Notice<msg::Control_Cancel_Gag_Notify>();
        ASSERT_TRUE(n);
        EXPECT_EQ(n->user_id, kCarol);
    }
    EXPECT_FALSE(srv->db().IsGagged(kLobby, kCarol));
    a = Use(kBob, kPropGagCard, kDave);
    EXPECT_EQ(a.status, 200) << a.error;
    ASSERT_TRUE(dave->Notice<msg::Control_Gag_Notify>());
    a = Use(kDave, kPropCancelGagCard, kDave);
    EXPECT_EQ(a.status, 200) << a.error;
    EXPECT_EQ(a.count, 0);
    EXPECT_FALSE(srv->db().IsGagged(kLobby, kDave));
    EXPECT_EQ(srv->db().CountRows("moderation_log"), logged + 4);
    EXPECT_EQ(Left(kBob, kPropGagCard), 2u);
}

TEST_F(PropCards, ARefusedUseIsAnsweredWithItsReasonAndCostsNothing) {
    auto dave = In(kDave), carol = In(kCarol), bob = In(kBob);
    auto aliceElsewhere = In(kAlice, kMusic);
    ASSERT_EQ(Use(kBob, kPropGagCard, kCarol).status, 200);  // Carol gagged
    for (RawClient* c : {dave.get(), carol.get(), bob.get()})
        ASSERT_TRUE(c->Notice<msg::Control_Gag_Notify>());
    const std::int64_t logged = srv->db().CountRows("moderation_log");
    const std::int64_t gags = srv->db().CountRows("room_gags");

    struct Case {
        const char* what;
        std::function<Answer()> use;
        int status;
        std::int64_t code;
    };
    const std::string daveGag = std::to_string(Entry(kDave, kPropGagCard));
    const std::vector<Case> cases = {
        {"gag card on myself", [&] { return Use(kDave, kPropGagCard, kDave); }, 409, 1022},
        {"receiver not in the room", [&] { return Use(kDave, kPropGagCard, kAlice); }, 409, 1021},
        {"receiver unknown", [&] { return Use(kDave, kPropGagCard, 424242); }, 409, 1021},
        {"gagged already", [&] { return Use(kDave, kPropGagCard, kCarol); }, 409, 1023},
        {"cancel on a free user", [&] { return Use(kDave, kPropCancelGagCard, kBob); }, 409, 1023},
        {"another user's entry", [&] { return Use(kDave, kPropGagCard, kCarol, kLobby, kBob); },
         404, 1017},
        {"none left", [&] { return Use(kCarol, kPropGagCard, kBob); }, 409, 1018},
        {"video-text prop without its text", [&] { return Use(kCarol, 1, kBob); }, 400, 1055},
        {"a room I am not in", [&] { return Use(kDave, kPropGagCard, kAlice, kMusic); }, 403, 1007},
        {"no such room", [&] { return Use(kDave, kPropGagCard, kBob, 4242); }, 404, 1008},
        {"unknown entry",
         [&] { return PostAs(kDave, R"({"room":1001,"receiver":10002,"entry":99999})"); }, 404,
         1017},
        {"entry missing", [&] { return PostAs(kDave, R"({"room":1001,"receiver":10002})"); }, 400,
         1001},
        {"receiver as text",
         [&] {
             return PostAs(kDave, R"({"room":1001,"receiver":"10002","entry":)" + daveGag + "}");
         },
         400, 1001},
        {"entry too wide",
         [&] { return PostAs(kDave, R"({"room":1001,"receiver":10002,"entry":4294967297})"); }, 400,
         1001},
        {"two at once",
         [&] {
             return PostAs(kDave,
                           R"({"room":1001,"receiver":10002,"count":2,"entry":)" + daveGag + "}");
         },
         400, 1001},
        {"not an object", [&] { return PostAs(kDave, "[1,2]"); }, 400, 1001},
        {"empty body", [&] { return PostAs(kDave, ""); }, 400, 1001},
        {"not JSON", [&] { return PostAs(kDave, "{room:"); }, 400, 1001},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Answer a = c.use();
        EXPECT_EQ(a.status, c.status) << a.error;
        EXPECT_EQ(a.code, c.code);
        EXPECT_FALSE(a.error.empty());
    }
    // Without the token nobody is served.
    tokens[kDave] = "wrong";
    Answer a = Use(kDave, kPropGagCard, kBob);
    EXPECT_EQ(a.status, 401);
    EXPECT_EQ(a.code, 1003);

    EXPECT_EQ(Left(kDave, kPropGagCard), 1u);
    EXPECT_EQ(Left(kDave, kPropCancelGagCard), 2u);
    EXPECT_EQ(Left(kCarol, 1), 4u);
    EXPECT_EQ(Left(kBob, kPropGagCard), 2u);
    EXPECT_EQ(srv->db().CountRows("moderation_log"), logged);
    EXPECT_EQ(srv->db().CountRows("room_gags"), gags);
    EXPECT_FALSE(srv->db().IsGagged(kLobby, kBob));
    EXPECT_TRUE(bob->NoNotice<msg::Control_Gag_Notify>());
    EXPECT_TRUE(bob->NoNotice<msg::Control_Cancel_Gag_Notify>());
}

TEST_F(PropCards, TheLastCardUsedTwiceAtOnceGagsOnlyOnce) {
    auto dave = In(kDave), carol = In(kCarol), bob = In(kBob);
    // Both uses pass the first look at the entry; only one may spend it.
    Answer first, second;
    std::thread a([&] { first = Use(kDave, kPropGagCard, kCarol); });
    std::thread b([&] {
        httplib::Client other("127.0.0.1", srv->accountPort());
        json::value body = json::value::object();
        body.set("room", static_cast<std::int64_t>(kLobby));
        body.set("receiver", static_cast<std::int64_t>(kBob));
        body.set("entry", static_cast<std::int64_t>(Entry(kDave, kPropGagCard)));
        httplib::Headers h = {{"X-Zeri-User", std::to_string(kDave)},
                              {"Authorization", "Bearer " + tokens[kDave]}};
        auto r = other.Post("/account/give-prop", h, body.dump(), "application/json");
        if (r) second.status = r->status, second.code = json::value::parse(r->body).get_int("code");
    });
    a.join();
    b.join();
    EXPECT_EQ((first.status == 200) + (second.status == 200), 1)
        << first.status << " " << second.status;
    const Answer& refused = first.status == 200 ? second : first;
    EXPECT_EQ(refused.code, 1018);
    EXPECT_EQ(Left(kDave, kPropGagCard), 0u);
    EXPECT_EQ(srv->db().IsGagged(kLobby, kCarol) + srv->db().IsGagged(kLobby, kBob), 1);
}

}  // namespace
