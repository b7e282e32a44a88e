// The room service's HTTP routes against an in-process server: the power
// list and roles as clients read them, chat pictures up and down, the push
// endpoint and who may use it, and the body limits of the shared port.
#include <gtest/gtest.h>
#include <httplib.h>

#include <ctime>
#include <filesystem>
#include <memory>

#include "net/catalogue_chat.h"
#include "net/catalogue_room.h"
#include "net/json.h"
#include "net/power.h"
#include "server/picture_store.h"
#include "server/room_service.h"
#include "server/seed.h"
#include "server/server_app.h"
#include "server_fixture.h"

using namespace server;
using srvtest::RawClient;

namespace {

constexpr std::uint8_t kChat = 1;
constexpr std::uint32_t kAlice = 10001, kBob = 10002, kCarol = 10003, kDave = 10004;
constexpr std::uint32_t kLobby = 1001;
const std::string kSecret = "a-secret-of-enough-length";

std::string Png(std::size_t size) {
    std::string b = "\x89PNG\r\n\x1a\n";
    b.resize(size, 'x');
    return b;
}

class RoomService : public ::testing::Test {
protected:
    void SetUp() override {
        CServerDb db;
        std::string err;
        ASSERT_TRUE(db.Open(dir.file(kDatabaseFile), err)) << err;
        ASSERT_TRUE(SeedDemo(db, SeedOptions{1000}, err)) << err;
        for (std::uint32_t id : {kAlice, kBob, kCarol, kDave})
            tokens[id] = db.IssueToken(id, std::time(nullptr), 3600);
        ServerOptions o = srvtest::LocalServerOptions(dir.path());
        o.adminSecret = kSecret;
        srv = std::make_unique<CZeriServer>(o, RoomLimits{}, &clock);
        ASSERT_TRUE(srv->Start(err)) << err;
        http = std::make_unique<httplib::Client>("127.0.0.1", srv->accountPort());
    }
    void TearDown() override { srv->Stop(); }

    httplib::Result Lb(const json::value& body) {
        return http->Post("/kampo?m=LB", body.dump(), "application/json");
    }
    httplib::Result Upload(const std::string& bytes, const std::string& name = "a.png",
                           std::uint32_t user = kAlice) {
        return http->Post(("/up?f=" + name + "&t=8").c_str(), Manager(user), bytes,
                          "application/octet-stream");
    }
    httplib::Result Push(const std::string& body, const httplib::Headers& h) {
        return http->Post("/admin/push", h, body, "application/json");
    }
    httplib::Headers Manager(std::uint32_t user) {
        return {{"X-Zeri-User", std::to_string(user)}, {"Authorization", "Bearer " + tokens[user]}};
    }
    std::unique_ptr<RawClient> In(std::uint32_t user) {
        auto c = std::make_unique<RawClient>(srv->port(), "pc_chat");
        msg::Control_Login_Req r;
        r.user_id = user;
        r.room_id = kLobby;
        r.token = tokens[user];
        auto resp = c->Ask<msg::Control_Login_Resp>(kChat, r);
        EXPECT_TRUE(resp && resp->ok());
        return c;
    }
    static std::string Pushed(RawClient& c, std::chrono::milliseconds wait = std::chrono::seconds(5)) {
        auto f = c.NextAnswer(wait);
        while (f && f->command != msg::Control_Push_Data_Notify::id) f = c.NextAnswer(wait);
        if (!f) return "(nothing)";
        const auto n = srvtest::Decode<msg::Control_Push_Data_Notify>(f->payload);
        return std::string(msg::chat_line_text(n.json));
    }

    srvtest::TempDir dir;
    srvtest::TestClock clock;
    std::map<std::uint32_t, std::string> tokens;
    std::unique_ptr<CZeriServer> srv;
    std::unique_ptr<httplib::Client> http;
};

TEST_F(RoomService, PowerListLoadsIntoTheClientsTable) {
    const auto r = Lb(json::value::parse(PowerListRequest(kDave, tokens[kDave])));
    ASSERT_TRUE(r);
    ASSERT_EQ(r->status, 200);
    CPowerTable table;
    ASSERT_TRUE(OnPowerListAnswer(table, r->body)) << r->body;
    // Every rule of the database holds in the client's table, and nothing else.
    const auto rules = srv->db().PowerRules();
    ASSERT_FALSE(rules.empty());
    for (const PowerRule& p : rules)
        if (p.byRole == 0) EXPECT_EQ(table.HasPower(p.role, p.powerId), p.yesNo > 0) << p.powerId;
        else EXPECT_EQ(table.HasPowerOver(p.role, p.byRole, p.powerId), p.yesNo > 0) << p.powerId;
    EXPECT_FALSE(table.HasPower(kRoleGuest, 999));
}

TEST_F(RoomService, PowerListWithoutAValidTokenKeepsTheOldTable) {
    CPowerTable table;
    table.AddRule(26, 20, 1, 0);
    for (const std::string& token : {std::string("wrong"), tokens[kAlice], std::string()}) {
        const auto r = Lb(json::value::parse(PowerListRequest(kDave, token)));
        ASSERT_TRUE(r);
        const json::value a = json::value::parse(r->body);
        EXPECT_EQ(a.get_int("CMD"), kPowerListAnswer);
        EXPECT_NE(a.get_int("CODE"), 0);
        EXPECT_FALSE(a.get_string("ERROR").empty());
        EXPECT_FALSE(OnPowerListAnswer(table, r->body));
        EXPECT_TRUE(table.HasPower(20, 26));
    }
}

TEST_F(RoomService, RolesCarryNamesColoursAndReachableBadges) {
    json::value obj = json::value::object();
    obj.set("userId", static_cast<std::int64_t>(kDave));
    json::value req = json::value::object();
    req.set("CMD", static_cast<std::int64_t>(kRolesRequest));
    req.set("OBJ", obj);
    const auto r = Lb(req);
    ASSERT_TRUE(r);
    ASSERT_EQ(r->status, 200);
    const json::value a = json::value::parse(r->body);
    EXPECT_EQ(a.get_int("CODE"), 0);
    const json::value roles = a.get_object("OBJ").get_array("xRole");
    ASSERT_EQ(roles.size(), srv->db().Roles().size());
    bool sawManager = false;
    for (std::size_t i = 0; i < roles.size(); ++i) {
        const json::value e = roles.at(i);
        if (e.get_int("role") != kRoleManager) continue;
        sawManager = true;
        EXPECT_EQ(e.get_string("role_name"), "管理员");
        EXPECT_EQ(e.get_string("color"), "#1E88E5");
        for (const char* key : {"woman_icon", "man_icon"}) {
            const std::string url = e.get_string(key);
            const std::string prefix = "http://127.0.0.1:" + std::to_string(srv->accountPort());
            ASSERT_EQ(url.rfind(prefix, 0), 0u) << url;
            const auto pic = http->Get(url.substr(prefix.size()).c_str());
            ASSERT_TRUE(pic);
            EXPECT_EQ(pic->status, 200);
            EXPECT_EQ(pic->get_header_value("Content-Type"), "image/bmp");
            // The badge is drawn in the role's colour (BGR inside a BMP).
            EXPECT_NE(pic->body.find("\xE5\x88\x1E"), std::string::npos);
        }
        EXPECT_NE(e.get_string("woman_icon"), e.get_string("man_icon"));
    }
    EXPECT_TRUE(sawManager);
    const auto none = http->Get("/vest/99_w.bmp");
    ASSERT_TRUE(none);
    EXPECT_EQ(none->status, 404);
}

TEST_F(RoomService, MalformedServiceRequestsAreRefusedClearly) {
    struct Case {
        const char* path;
        std::string body;
        int status;
    } cases[] = {
        {"/kampo?m=LB", "{not json", 400},
        {"/kampo?m=LB", "[1,2]", 400},
        {"/kampo?m=LB", R"({"CMD": 12345, "OBJ": {}})", 400},
        {"/kampo?m=XX", R"({"CMD": 30012, "OBJ": {}})", 404},
        {"/kampo", R"({"CMD": 30012, "OBJ": {}})", 404},
    };
    for (const Case& c : cases) {
        const auto r = http->Post(c.path, c.body, "application/json");
        ASSERT_TRUE(r) << c.path;
        EXPECT_EQ(r->status, c.status) << c.path << " " << c.body;
        EXPECT_TRUE(json::value::parse(r->body).is_object()) << r->body;
    }
}

TEST_F(RoomService, PicturesGoUpAndComeBackByTheirId) {
    const std::string png = Png(3000);
    const auto up = Upload(png, "..%2F..%2Fescape.png");
    ASSERT_TRUE(up);
    ASSERT_EQ(up->status, 200) << up->body;
    const std::string id = json::value::parse(up->body).get_string("file_id");
    ASSERT_TRUE(CPictureStore::IsId(id)) << up->body;

    const auto down = http->Get(("/down?id=" + id).c_str());
    ASSERT_TRUE(down);
    EXPECT_EQ(down->status, 200);
    EXPECT_EQ(down->body, png);
    EXPECT_EQ(down->get_header_value("Content-Type"), "image/png");

    // The name from the request reached no path: only the id exists.
    namespace fs = std::filesystem;
    EXPECT_FALSE(fs::exists(fs::path(dir.path()).parent_path() / "escape.png"));
    EXPECT_FALSE(fs::exists(fs::path(dir.path()) / "escape.png"));
    std::vector<std::string> files;
    for (const auto& e : fs::directory_iterator(fs::path(dir.path()) / "pictures"))
        files.push_back(e.path().filename().string());
    EXPECT_EQ(files, std::vector<std::string>{id});

    // A second upload of the same bytes is a picture of its own.
    const auto again = Upload(png);
    ASSERT_TRUE(again);
    EXPECT_NE(json::value::parse(again->body).get_string("file_id"), id);
}

TEST_F(RoomService, UploadsOutsideTheRulesAreRefusedWithAReason) {
    struct Case {
        std::string path;
        std::string body;
        int status;
    } cases[] = {
        {"/up?f=a.png&t=8", Png(kMaxPictureBytes + 1), 413},
        {"/up?f=a.png&t=8", "plain text, no picture", 415},
        {"/up?f=a.png&t=8", "", 400},
        {"/up?t=8", Png(100), 400},
        {"/up?f=a.png&t=7", Png(100), 400},
    };
    for (const Case& c : cases) {
        const auto r = http->Post(c.path.c_str(), Manager(kAlice), c.body, "application/octet-stream");
        ASSERT_TRUE(r) << c.path;
        EXPECT_EQ(r->status, c.status) << c.path;
        const json::value a = json::value::parse(r->body);
        EXPECT_NE(a.get_int("code"), 0) << r->body;
        EXPECT_FALSE(a.get_string("error").empty()) << r->body;
        EXPECT_TRUE(a.get_string("file_id").empty());
    }
    EXPECT_NE(json::value::parse(http->Post("/up?f=a.png&t=8", Manager(kAlice),
                                            Png(kMaxPictureBytes + 1), "application/octet-stream")
                                     ->body)
                  .get_string("error")
                  .find("4MB"),
              std::string::npos);
    // Exactly at the limit is still a picture.
    const auto at = Upload(Png(kMaxPictureBytes));
    ASSERT_TRUE(at);
    EXPECT_EQ(at->status, 200) << at->body;
}

TEST_F(RoomService, DownloadsOfUnknownOrForgedIdsFail) {
    for (const char* q : {"/down?id=../zeri-server.db", "/down?id=", "/down",
                          "/down?id=ABCDEF0123456789ABCDEF0123456789"}) {
        const auto r = http->Get(q);
        ASSERT_TRUE(r);
        EXPECT_EQ(r->status, 400) << q;
    }
    const auto r = http->Get("/down?id=0123456789abcdef0123456789abcdef");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 404);
}

TEST_F(RoomService, UploadsAreRateLimitedPerAddress) {
    int ok = 0, busy = 0;
    for (int i = 0; i < 12; ++i) {
        const auto r = Upload(Png(64));
        ASSERT_TRUE(r);
        (r->status == 200 ? ok : busy) += r->status == 200 || r->status == 429;
    }
    // The test clock's tick does not move: the burst is all there is.
    EXPECT_EQ(ok, 10);
    EXPECT_EQ(busy, 2);
    clock.AdvanceMs(5000);
    EXPECT_EQ(Upload(Png(64))->status, 200);
}

TEST_F(RoomService, PushedTextAndPicturesReachEveryMember) {
    auto alice = In(kAlice);
    auto dave = In(kDave);
    const auto r = Push(R"({"room": 1001, "type": 0, "text": "维护通知 a/b"})",
                        {{"X-Zeri-Admin", kSecret}});
    ASSERT_TRUE(r);
    ASSERT_EQ(r->status, 200) << r->body;
    EXPECT_EQ(json::value::parse(r->body).get_int("delivered"), 2);
    EXPECT_EQ(Pushed(*alice), "0|维护通知 a/b");
    EXPECT_EQ(Pushed(*dave), "0|维护通知 a/b");

    // A manager of the room may push its stored pictures.
    const std::string id =
        json::value::parse(Upload(Png(200))->body).get_string("file_id");
    const auto p = Push(R"({"room": 1001, "type": 1, "picture": ")" + id + "\"}", Manager(kBob));
    ASSERT_TRUE(p);
    ASSERT_EQ(p->status, 200) << p->body;
    EXPECT_EQ(Pushed(*alice), "1|" + id);
    EXPECT_EQ(Pushed(*dave), "1|" + id);
}

TEST_F(RoomService, OnlyManagersAndTheSecretMayPush) {
    auto dave = In(kDave);
    const std::string text = R"({"room": 1001, "type": 0, "text": "hi"})";
    struct Case {
        httplib::Headers headers;
        int status;
    } cases[] = {
        {{}, 401},
        {{{"X-Zeri-Admin", "a-secret-of-enough-lengtX"}}, 401},
        {{{"X-Zeri-Admin", "short"}}, 401},
        {Manager(kCarol), 403},  // the room's anchor, below manager
        {Manager(kDave), 403},   // a guest
        {{{"X-Zeri-User", std::to_string(kBob)}, {"Authorization", "Bearer " + tokens[kDave]}}, 401},
        {{{"X-Zeri-User", "99999999999"}, {"Authorization", "Bearer x"}}, 401},
    };
    for (const Case& c : cases) {
        const auto r = Push(text, c.headers);
        ASSERT_TRUE(r);
        EXPECT_EQ(r->status, c.status) << r->body;
    }
    EXPECT_EQ(Pushed(*dave, std::chrono::milliseconds(300)), "(nothing)");
    // The owner ranks above a manager.
    EXPECT_EQ(Push(text, Manager(kAlice))->status, 200);
    EXPECT_EQ(Pushed(*dave), "0|hi");
}

TEST_F(RoomService, PushesThatCannotBeShownAreRefused) {
    auto dave = In(kDave);
    const httplib::Headers admin = {{"X-Zeri-Admin", kSecret}};
    struct Case {
        std::string body;
        int status;
    } cases[] = {
        {R"({"room": 4242, "type": 0, "text": "x"})", 404},
        {R"({"type": 0, "text": "x"})", 400},
        {R"({"room": 1001, "type": 0, "text": ""})", 400},
        {R"({"room": 1001, "type": 0, "text": "a\u0000b"})", 400},
        {R"({"room": 1001, "type": 0, "text": ")" + std::string(kMaxPushText + 1, 'x') + "\"}", 413},
        {R"({"room": 1001, "type": 1, "picture": "0123456789abcdef0123456789abcdef"})", 404},
        {R"({"room": 1001, "type": 1, "picture": "http://x/a\":0\"b.png"})", 404},
        {R"({"room": 1001, "type": 2, "text": "{}"})", 400},
        {R"({"room": 1001, "type": "0", "text": "x"})", 400},
        {"not json", 400},
    };
    for (const Case& c : cases) {
        const auto r = Push(c.body, admin);
        ASSERT_TRUE(r);
        EXPECT_EQ(r->status, c.status) << c.body.substr(0, 80) << " -> " << r->body;
    }
    EXPECT_EQ(Pushed(*dave, std::chrono::milliseconds(300)), "(nothing)");
    // A web picture that fits a picture code does travel.
    EXPECT_EQ(Push(R"({"room": 1001, "type": 1, "picture": "http://pics.example/a.png"})", admin)
                  ->status,
              200);
    EXPECT_EQ(Pushed(*dave), "1|http://pics.example/a.png");
}

TEST_F(RoomService, OtherRoutesKeepTheirSmallBodyLimit) {
    const auto big = http->Post("/account/login", std::string(kMaxServiceBody + 1, ' '),
                                "application/json");
    ASSERT_TRUE(big);
    EXPECT_EQ(big->status, 413);
    EXPECT_EQ(json::value::parse(big->body).get_int("code"), service_error::too_large);
    // The port still serves afterwards.
    httplib::Client fresh("127.0.0.1", srv->accountPort());
    const auto hello = fresh.Post("/account/hello", "", "application/json");
    ASSERT_TRUE(hello);
    EXPECT_EQ(hello->status, 200);
}

TEST(PictureStore, KeepsToItsQuotaAndKnownFormats) {
    srvtest::TempDir dir;
    CPictureStore store(dir.file("pics"), 1000);
    std::string err;
    ASSERT_TRUE(store.Open(err)) << err;
    std::string id;
    EXPECT_EQ(store.Store(Png(600), id), CPictureStore::Put::ok);
    EXPECT_EQ(store.Store(Png(600), id), CPictureStore::Put::full);
    EXPECT_EQ(store.Store("GIF89a....", id), CPictureStore::Put::ok);
    EXPECT_EQ(store.Store("\xff\xd8\xff\xe0", id), CPictureStore::Put::ok);
    EXPECT_EQ(store.Store("<svg/>", id), CPictureStore::Put::not_picture);
    // What is on disk counts after a restart too.
    CPictureStore reopened(dir.file("pics"), 1000);
    ASSERT_TRUE(reopened.Open(err));
    EXPECT_EQ(reopened.usedBytes(), store.usedBytes());
    EXPECT_EQ(reopened.Store(Png(600), id), CPictureStore::Put::full);
    EXPECT_TRUE(reopened.Has(id));
    EXPECT_EQ(reopened.Load(id), std::optional<std::string>("\xff\xd8\xff\xe0"));
}

TEST(PushDataText, TypeBarPayload) {
    EXPECT_EQ(msg::push_data_text(0, "hello"), "0|hello");
    EXPECT_EQ(msg::push_data_text(1, "a|b"), "1|a|b");
    EXPECT_EQ(msg::push_data_text(-1, "x"), "");
    EXPECT_EQ(msg::push_data_text(0, std::string_view("a\0b", 3)), "");
}

TEST(ServerFlags, AdminSecretAndQuota) {
    ServerOptions o;
    std::string err;
    EXPECT_TRUE(ParseServerOptions({"--admin-secret", kSecret, "--picture-quota-mb", "5"}, o, err));
    EXPECT_EQ(o.adminSecret, kSecret);
    EXPECT_EQ(o.pictureQuotaMb, 5u);
    EXPECT_FALSE(ParseServerOptions({"--admin-secret", "short"}, o, err));
    EXPECT_FALSE(ParseServerOptions({"--picture-quota-mb", "0"}, o, err));
}

}  // namespace
