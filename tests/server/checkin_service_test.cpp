// The check-in port against an in-process server over real HTTP: anchor
// clock-in and sign-in (who may, the 20-minute cycle, nicknames of any text)
// and room backgrounds (who may upload, what, how many; delete; lists and
// the pictures behind them). Answers are read as the client reads them.
#include <gtest/gtest.h>
#include <httplib.h>

#include <ctime>
#include <memory>

#include "core/url_encode.h"
#include "net/service_answer.h"
#include "server/picture_store.h"
#include "server/room_backgrounds.h"
#include "server/seed.h"
#include "server/server_app.h"
#include "server_fixture.h"

using namespace server;

namespace {

constexpr std::uint32_t kAlice = 10001, kBob = 10002, kCarol = 10003, kDave = 10004;
constexpr std::uint32_t kLobby = 1001, kSmall = 258;

std::string Png(std::size_t size, char fill = 'x') {
    std::string b = "\x89PNG\r\n\x1a\n";
    b.resize(size, fill);
    return b;
}

std::string RoomPrefix(std::uint32_t room) {
    std::string b;
    for (int i = 0; i < 4; ++i) b += static_cast<char>((room >> (8 * i)) & 0xFF);
    return b;
}

struct Got {
    int status = 0;
    bool decoded = false;
    msg::ServiceAnswer answer;
    bool ok() const { return status == 200 && decoded && msg::ServiceAnswerSucceeded(answer); }
};

class Checkin : public ::testing::Test {
protected:
    void SetUp() override {
        CServerDb db;
        std::string err;
        ASSERT_TRUE(db.Open(dir.file(kDatabaseFile), err)) << err;
        ASSERT_TRUE(SeedDemo(db, SeedOptions{1000}, err)) << err;
        RoomRecord small;
        small.id = kSmall;
        small.name = "小屋";
        ASSERT_TRUE(db.PutRoom(small, true));
        ASSERT_TRUE(db.SetRoomRole(kSmall, kAlice, kRoleOwner, 0));
        for (std::uint32_t id : {kAlice, kBob, kCarol, kDave})
            tokens[id] = db.IssueToken(id, std::time(nullptr), 86400);
        srv = std::make_unique<CZeriServer>(srvtest::LocalServerOptions(dir.path()), RoomLimits{},
                                            &clock);
        ASSERT_TRUE(srv->Start(err)) << err;
        ASSERT_NE(srv->checkinPort(), 0);
        ASSERT_NE(srv->checkinPort(), srv->accountPort());
        http = std::make_unique<httplib::Client>("127.0.0.1", srv->checkinPort());
    }
    void TearDown() override { srv->Stop(); }

    httplib::Headers As(std::uint32_t user) {
        return {{"X-Zeri-User", std::to_string(user)}, {"Authorization", "Bearer " + tokens[user]}};
    }
    Got Post(const std::string& target, const httplib::Headers& h, bool sealed,
             const std::string& body = {}) {
        Got g;
        const auto r = http->Post(target, h, body, "application/octet-stream");
        if (!r) return g;
        g.status = r->status;
        g.decoded = msg::DecodeServiceAnswer(reinterpret_cast<const unsigned char*>(r->body.data()),
                                             r->body.size(), sealed, g.answer);
        return g;
    }
    // As the client formats it: the nickname percent-encoded.
    Got Check(const char* what, std::uint32_t user, std::uint32_t kampo, std::uint32_t room,
              const std::string& nickname = "卡萝") {
        return Post(std::string("/") + what + "?kampoId=" + std::to_string(kampo) +
                        "&roomId=" + std::to_string(room) + "&nickname=" + url::PercentEncode(nickname),
                    As(user), true);
    }
    Got Upload(std::uint32_t user, std::uint32_t room, const std::string& picture) {
        return Post("/savepic", As(user), false, RoomPrefix(room) + picture);
    }
    Got Backgrounds(std::uint32_t room) {
        return Post("/getbackgroundpic?roomid=" + std::to_string(room), {}, true);
    }
    std::int64_t Rows(const char* table) { return srv->db().CountRows(table); }

    srvtest::TempDir dir;
    srvtest::TestClock clock;
    std::map<std::uint32_t, std::string> tokens;
    std::unique_ptr<CZeriServer> srv;
    std::unique_ptr<httplib::Client> http;
};

}  // namespace

TEST_F(Checkin, ClockInNeedsTheAnchorsOwnTokenInThatRoom) {
    const auto refused = [&](const Got& g, const char* why) {
        EXPECT_EQ(g.status, 200) << why;
        EXPECT_TRUE(g.decoded) << why;  // sealed, and readable by the client
        EXPECT_FALSE(g.answer.error.empty()) << why;
        EXPECT_FALSE(msg::ServiceAnswerSucceeded(g.answer)) << why;
    };
    refused(Post("/userclockin?kampoId=10003&roomId=1001&nickname=x", {}, true), "no token");
    refused(Post("/userclockin?kampoId=10003&roomId=1001&nickname=x",
                 {{"X-Zeri-User", "10003"}, {"Authorization", "Bearer " + tokens[kAlice]}}, true),
            "another user's token");
    refused(Check("userclockin", kCarol, kAlice, kLobby), "for someone else");
    refused(Check("userclockin", kDave, kDave, kLobby), "a guest");
    refused(Check("userclockin", kAlice, kAlice, kLobby), "the owner is no anchor");
    refused(Check("userclockin", kCarol, kCarol, 4242), "no such room");
    refused(Check("userclockin", kCarol, kCarol, kSmall), "not an anchor in that room");
    refused(Post("/userclockin?kampoId=abc&roomId=1001", As(kCarol), true), "bad id");
    EXPECT_EQ(Rows("anchor_checkins"), 0);

    const Got ok = Check("userclockin", kCarol, kCarol, kLobby);
    EXPECT_TRUE(ok.ok()) << ok.answer.error;
    EXPECT_EQ(Rows("anchor_checkins"), 1);
    // The answer is sealed: read as plain bytes it says nothing.
    const auto r = http->Post("/userclockin?kampoId=10003&roomId=1001&nickname=x", As(kCarol), "",
                              "application/octet-stream");
    ASSERT_TRUE(r);
    msg::ServiceAnswer plain;
    msg::DecodeServiceAnswer(reinterpret_cast<const unsigned char*>(r->body.data()), r->body.size(),
                             false, plain);
    EXPECT_FALSE(msg::ServiceAnswerSucceeded(plain));
}

TEST_F(Checkin, ClockingInTwiceInsideTheCycleRecordsOnce) {
    EXPECT_TRUE(Check("userclockin", kCarol, kCarol, kLobby).ok());
    clock.AdvanceWall(600);
    EXPECT_TRUE(Check("userclockin", kCarol, kCarol, kLobby).ok());
    EXPECT_EQ(Rows("anchor_checkins"), 1);
    // Another room is another duty.
    EXPECT_TRUE(Check("userclockin", kCarol, kCarol, 1002).ok());
    EXPECT_EQ(Rows("anchor_checkins"), 2);
    // Twenty minutes on, with no sign-in, the duty has ended: a new one starts.
    clock.AdvanceWall(600);
    EXPECT_TRUE(Check("userclockin", kCarol, kCarol, kLobby).ok());
    EXPECT_EQ(Rows("anchor_checkins"), 3);
}

TEST_F(Checkin, SignInNeedsALiveCycle) {
    Got g = Check("usersignin", kCarol, kCarol, kLobby);
    EXPECT_FALSE(g.ok());
    EXPECT_FALSE(g.answer.error.empty());
    ASSERT_TRUE(Check("userclockin", kCarol, kCarol, kLobby).ok());
    clock.AdvanceWall(450);
    g = Check("usersignin", kCarol, kCarol, kLobby);
    EXPECT_TRUE(g.ok()) << g.answer.error;
    EXPECT_EQ(Rows("anchor_checkins"), 2);
    // The same cycle again (a lost answer retried) succeeds and records nothing.
    EXPECT_TRUE(Check("usersignin", kCarol, kCarol, kLobby).ok());
    EXPECT_EQ(Rows("anchor_checkins"), 2);
    // Signed, the duty runs on into the next cycle, as the client's does.
    clock.AdvanceWall(1200);
    EXPECT_TRUE(Check("usersignin", kCarol, kCarol, kLobby).ok());
    EXPECT_EQ(Rows("anchor_checkins"), 3);
    // A whole cycle without a sign-in ends it.
    clock.AdvanceWall(2400);
    g = Check("usersignin", kCarol, kCarol, kLobby);
    EXPECT_FALSE(g.ok());
    EXPECT_FALSE(g.answer.error.empty());
    // Someone else cannot sign for the anchor.
    EXPECT_FALSE(Check("usersignin", kDave, kCarol, kLobby).ok());
    EXPECT_EQ(Rows("anchor_checkins"), 3);
}

TEST_F(Checkin, NicknamesOfAnyTextAreAcceptedAndTheAccountsIsUsed) {
    for (const std::string nickname : {"a&b", "a b", "100%", "主播", "x#y?z=1", ""}) {
        const Got g = Check("userclockin", kCarol, kCarol, kLobby, nickname);
        EXPECT_TRUE(g.ok()) << nickname << ": " << g.answer.error;
        ASSERT_FALSE(g.answer.items.empty()) << nickname;
        EXPECT_EQ(g.answer.items[0].text, "卡萝") << nickname;
    }
    EXPECT_EQ(Rows("anchor_checkins"), 1);
}

TEST_F(Checkin, UploadForRoom258AsTheClientSendsIt) {
    const std::string picture = Png(3000);
    const std::string body = RoomPrefix(kSmall) + picture;
    ASSERT_EQ(body.substr(0, 4), std::string("\x02\x01\x00\x00", 4));
    const Got g = Post("/savepic", As(kAlice), false, body);
    ASSERT_TRUE(g.ok()) << g.answer.error;
    ASSERT_EQ(g.answer.items.size(), 1u);
    const std::string name = g.answer.items[0].text;
    EXPECT_EQ(name.size(), 36u);
    EXPECT_EQ(name.substr(32), ".png");

    const Got list = Backgrounds(kSmall);
    ASSERT_TRUE(list.decoded);
    EXPECT_TRUE(list.answer.error.empty());
    ASSERT_EQ(list.answer.items.size(), 1u);
    EXPECT_TRUE(list.answer.items[0].hasResult);
    EXPECT_NE(list.answer.items[0].result, 0u);
    const std::string url = list.answer.items[0].text;
    const std::string origin = "http://127.0.0.1:" + std::to_string(srv->checkinPort());
    ASSERT_EQ(url, origin + "/background/" + name);
    const auto r = http->Get(url.substr(origin.size()));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 200);
    EXPECT_EQ(r->body, picture);
    EXPECT_EQ(r->get_header_value("Content-Type"), "image/png");
    EXPECT_TRUE(Backgrounds(kLobby).answer.items.empty());
}

TEST_F(Checkin, UploadRefusals) {
    const auto refused = [&](const Got& g, const char* why) {
        EXPECT_TRUE(g.decoded) << why;
        EXPECT_FALSE(g.answer.error.empty()) << why;
        EXPECT_FALSE(msg::ServiceAnswerSucceeded(g.answer)) << why;
    };
    refused(Post("/savepic", {}, false, RoomPrefix(kLobby) + Png(100)), "no token");
    refused(Upload(kDave, kLobby, Png(100)), "a guest");
    refused(Upload(kCarol, kLobby, Png(100)), "an anchor");
    refused(Upload(kBob, kSmall, Png(100)), "manager of another room");
    refused(Upload(kBob, 4242, Png(100)), "no such room");
    refused(Upload(kBob, kLobby, "plain text, no picture"), "not a picture");
    refused(Upload(kBob, kLobby, "GIF89a" + std::string(100, 'x')), "a kept type, not a background");
    refused(Post("/savepic", As(kBob), false, RoomPrefix(kLobby)), "no picture at all");
    refused(Post("/savepic", As(kBob), false, "\x01\x02"), "shorter than a room id");
    const Got big = Upload(kBob, kLobby, Png(kMaxPictureBytes + 1));
    EXPECT_EQ(big.status, 413);
    refused(big, "over 4 MiB");
    EXPECT_EQ(Rows("room_backgrounds"), 0);

    // The managers' five, then no sixth.
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(Upload(i % 2 ? kAlice : kBob, kLobby, Png(200 + i)).ok()) << i;
    const Got sixth = Upload(kAlice, kLobby, Png(300));
    refused(sixth, "a sixth");
    EXPECT_EQ(sixth.answer.error, "上传图片不能超过5张");
    EXPECT_EQ(Rows("room_backgrounds"), 5);
    EXPECT_EQ(Backgrounds(kLobby).answer.items.size(), 5u);
}

TEST_F(Checkin, DeletingABackground) {
    ASSERT_TRUE(Upload(kBob, kLobby, Png(500, 'a')).ok());
    ASSERT_TRUE(Upload(kBob, kLobby, Png(500, 'b')).ok());
    const Got before = Backgrounds(kLobby);
    ASSERT_EQ(before.answer.items.size(), 2u);
    const std::uint32_t id = before.answer.items[0].result;
    const std::string url = before.answer.items[0].text;
    const std::string path = url.substr(url.find("/background/"));
    ASSERT_EQ(http->Get(path)->status, 200);
    const std::string del = "/delbackgroundpic?picId=" + std::to_string(id);

    for (std::uint32_t who : {kDave, kCarol}) {
        const Got g = Post(del, As(who), true);
        EXPECT_TRUE(g.decoded);
        EXPECT_FALSE(g.answer.error.empty()) << who;
    }
    EXPECT_FALSE(Post(del, {}, true).answer.error.empty());
    EXPECT_FALSE(Post("/delbackgroundpic?picId=999", As(kAlice), true).answer.error.empty());
    EXPECT_FALSE(Post("/delbackgroundpic?picId=-1", As(kAlice), true).answer.error.empty());
    EXPECT_EQ(Backgrounds(kLobby).answer.items.size(), 2u);

    const Got g = Post(del, As(kAlice), true);
    EXPECT_TRUE(g.ok()) << g.answer.error;
    const Got after = Backgrounds(kLobby);
    ASSERT_EQ(after.answer.items.size(), 1u);
    EXPECT_NE(after.answer.items[0].result, id);
    EXPECT_EQ(http->Get(path)->status, 404);
    // Deleted once is gone: a second delete says so.
    EXPECT_FALSE(Post(del, As(kAlice), true).answer.error.empty());
}

TEST_F(Checkin, ListsPagesAndPicturePaths) {
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(Upload(kAlice, kLobby, Png(100 + i)).ok());
    const Got all = Backgrounds(kLobby);
    ASSERT_EQ(all.answer.items.size(), 3u);
    const Got first = Post("/getroomclothinginfo?roomid=1001&pageid=1", {}, true);
    ASSERT_TRUE(first.decoded);
    ASSERT_EQ(first.answer.items.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(first.answer.items[i].result, all.answer.items[i].result);
        EXPECT_EQ(first.answer.items[i].text, all.answer.items[i].text);
    }
    EXPECT_EQ(Post("/getroomclothinginfo?roomid=1001&pageid=0", {}, true).answer.items.size(), 3u);
    const Got second = Post("/getroomclothinginfo?roomid=1001&pageid=2", {}, true);
    EXPECT_TRUE(second.decoded);
    EXPECT_TRUE(second.answer.items.empty());
    EXPECT_TRUE(second.answer.error.empty());
    EXPECT_FALSE(Post("/getroomclothinginfo?roomid=1001&pageid=x", {}, true).answer.error.empty());
    EXPECT_FALSE(Post("/getbackgroundpic?roomid=4242", {}, true).answer.error.empty());
    EXPECT_FALSE(Post("/getbackgroundpic", {}, true).answer.error.empty());

    // Only names this service made up are served.
    const std::string url = all.answer.items[0].text;
    const std::string name = url.substr(url.rfind('/') + 1);
    const std::string stem = name.substr(0, 32);
    EXPECT_EQ(http->Get("/background/" + name)->status, 200);
    const std::vector<std::string> bad = {
        stem + ".jpg", stem, stem + ".png.png", "../zeri-server.db", "..%2fzeri-server.db",
        stem.substr(1) + ".png", "0123456789abcdef0123456789abcdef.png"};
    for (const std::string& path : bad)
        EXPECT_EQ(http->Get("/background/" + path)->status, 404) << path;
    // Unknown routes answer in the port's own shape, sealed.
    const Got none = Post("/nothing", {}, true);
    EXPECT_EQ(none.status, 404);
    EXPECT_TRUE(none.decoded);
    EXPECT_FALSE(none.answer.error.empty());
}

TEST(CheckinPortFlag, ParsedAndChecked) {
    ServerOptions o;
    std::string error;
    EXPECT_EQ(o.checkinPort, 5000);
    ASSERT_TRUE(ParseServerOptions({"--checkin-port", "5123"}, o, error)) << error;
    EXPECT_EQ(o.checkinPort, 5123);
    EXPECT_FALSE(ParseServerOptions({"--checkin-port", "70000"}, o, error));
    EXPECT_FALSE(ParseServerOptions({"--checkin-port"}, o, error));
}
