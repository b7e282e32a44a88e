// The room directory route against an in-process server: live people
// counts, order, search, paging, the favourites form and bad parameters.
#include <gtest/gtest.h>
#include <httplib.h>

#include <ctime>
#include <memory>
#include <vector>

#include "net/catalogue_room.h"
#include "net/json.h"
#include "server/room_directory.h"
#include "server/seed.h"
#include "server/server_app.h"
#include "server_fixture.h"

using namespace server;
using srvtest::RawClient;

namespace {

constexpr std::uint32_t kAlice = 10001, kBob = 10002, kCarol = 10003;

class RoomDirectory : public ::testing::Test {
protected:
    void SetUp() override {
        CServerDb db;
        std::string err;
        ASSERT_TRUE(db.Open(dir.file(kDatabaseFile), err)) << err;
        ASSERT_TRUE(SeedDemo(db, SeedOptions{1000}, err)) << err;
        RoomRecord quiz{3001, "Quiz Night 问答", "", 1, 0, "", 300, "/room/3001.png", "周五答题"};
        ASSERT_TRUE(db.PutRoom(quiz, false));
        for (std::uint32_t id = 3002; id < 3002 + 120; ++id)
            ASSERT_TRUE(db.PutRoom({id, "room " + std::to_string(id), "", 1, 0, "", 300, "", ""}, false));
        for (std::uint32_t id : {kAlice, kBob, kCarol})
            tokens[id] = db.IssueToken(id, std::time(nullptr), 3600);
        srv = std::make_unique<CZeriServer>(srvtest::LocalServerOptions(dir.path()), RoomLimits{},
                                            &clock);
        ASSERT_TRUE(srv->Start(err)) << err;
        http = std::make_unique<httplib::Client>("127.0.0.1", srv->accountPort());
    }
    void TearDown() override { srv->Stop(); }

    std::unique_ptr<RawClient> In(std::uint32_t user, std::uint32_t room) {
        auto c = std::make_unique<RawClient>(srv->port(), "pc_chat");
        msg::Control_Login_Req r;
        r.user_id = user, r.room_id = room, r.token = tokens[user];
        auto resp = c->Ask<msg::Control_Login_Resp>(1, r);
        EXPECT_TRUE(resp && resp->ok());
        return c;
    }
    json::value Get(const std::string& target, int status = 200) {
        auto r = http->Get(target.c_str());
        EXPECT_TRUE(r);
        if (!r) return {};
        EXPECT_EQ(r->status, status) << target << " " << r->body;
        return json::value::parse(r->body);
    }
    static std::vector<std::int64_t> Ids(const json::value& v) {
        std::vector<std::int64_t> out;
        const json::value list = v.get_array("rooms");
        for (std::size_t i = 0; i < list.size(); ++i) out.push_back(list.at(i).get_int("id"));
        return out;
    }

    srvtest::TempDir dir;
    srvtest::TestClock clock;
    std::map<std::uint32_t, std::string> tokens;
    std::unique_ptr<CZeriServer> srv;
    std::unique_ptr<httplib::Client> http;
};

TEST_F(RoomDirectory, ListsRoomsBusiestFirstWithLivePeopleAndPages) {
    auto alice = In(kAlice, 1002);
    auto bob = In(kBob, 1002);
    auto carol = In(kCarol, 3001);

    json::value v = Get("/rooms");
    EXPECT_EQ(v.get_int("code"), 0);
    EXPECT_EQ(v.get_int("total"), 123);
    EXPECT_EQ(v.get_int("size"), kDirectoryPageSize);
    const auto first = Ids(v);
    ASSERT_EQ(first.size(), static_cast<std::size_t>(kDirectoryPageSize));
    // Busiest first, then by id.
    EXPECT_EQ((std::vector<std::int64_t>(first.begin(), first.begin() + 4)),
              (std::vector<std::int64_t>{1002, 3001, 1001, 3002}));
    const json::value music = v.get_array("rooms").at(0);
    EXPECT_EQ(music.get_string("name"), "音乐台");
    EXPECT_EQ(music.get_int("people"), 2);
    EXPECT_EQ(music.get_int("mode"), 2);
    EXPECT_EQ(music.get_string("description"), "每晚八点，主播唱歌");
    EXPECT_EQ(v.get_array("rooms").at(1).get_string("logo"), "/room/3001.png");
    EXPECT_EQ(v.get_array("rooms").at(2).get_int("people"), 0);

    // Pages cover every room once; past the end is empty, not an error.
    std::vector<std::int64_t> all;
    for (int page = 1; page <= 3; ++page) {
        const auto ids = Ids(Get("/rooms?size=50&page=" + std::to_string(page)));
        all.insert(all.end(), ids.begin(), ids.end());
    }
    EXPECT_EQ(all.size(), 123u);
    std::sort(all.begin(), all.end());
    EXPECT_EQ(std::unique(all.begin(), all.end()), all.end());
    EXPECT_TRUE(Ids(Get("/rooms?page=9")).empty());

    // Leaving counts at once.
    bob->Close();
    for (int i = 0; i < 100 && srv->rooms().MemberCount(1002) != 1; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(Get("/rooms?size=1").get_array("rooms").at(0).get_int("people"), 1);
}

TEST_F(RoomDirectory, SearchesNamesAndIdsAndAnswersFavouritesInTheirOrder) {
    EXPECT_EQ(Ids(Get("/rooms?q=quiz")), (std::vector<std::int64_t>{3001}));
    EXPECT_EQ(Ids(Get("/rooms?q=%E9%97%AE%E7%AD%94")), (std::vector<std::int64_t>{3001}));  // 问答
    // By id ("100…") and by name ("room 3100").
    EXPECT_EQ(Ids(Get("/rooms?q=100")), (std::vector<std::int64_t>{1001, 1002, 3100}));
    EXPECT_EQ(Get("/rooms?q=311").get_int("total"), 10);  // 3110…3119
    EXPECT_TRUE(Ids(Get("/rooms?q=nothing-like-it")).empty());

    // Favourites and recent rooms: as asked, unknown ones left out, no paging.
    EXPECT_EQ(Ids(Get("/rooms?ids=3050,1001,999999,3050,3121")),
              (std::vector<std::int64_t>{3050, 1001, 3121}));
}

TEST_F(RoomDirectory, BadParametersAreRefusedWithAReason) {
    for (const char* target :
         {"/rooms?page=0", "/rooms?page=-1", "/rooms?page=x", "/rooms?page=1x",
          "/rooms?page=99999999999999999999", "/rooms?size=0", "/rooms?size=101",
          "/rooms?ids=,", "/rooms?ids=1,,2", "/rooms?ids=0", "/rooms?ids=4294967296",
          "/rooms?ids=1;2"}) {
        const json::value v = Get(target, 400);
        EXPECT_EQ(v.get_string("error"), "房间列表参数错误") << target;
    }
    EXPECT_EQ(Get("/rooms?q=" + std::string(kDirectoryMaxQuery + 1, 'a'), 400).get_int("code"),
              Get("/rooms?page=0", 400).get_int("code"));
    // Many ids: up to the cap.
    std::string ids;
    for (std::uint32_t i = 0; i <= kDirectoryMaxIds; ++i) ids += (i ? "," : "") + std::to_string(3002 + i);
    Get("/rooms?ids=" + ids, 400);
    EXPECT_EQ(Get("/rooms?ids=" + ids.substr(0, ids.rfind(','))).get_array("rooms").size(),
              kDirectoryMaxIds);
}

}  // namespace
