// The HTTP port and the relay under hostile peers: requests that try to
// cost the server memory or threads, connections that dribble or idle,
// and credentials guessed at network speed. Everything over real sockets.

#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <future>
#include <map>
#include <thread>
#include <vector>

#include "net/catalogue_room.h"
#include "net/json.h"
#include "server/account_service.h"
#include "server/password.h"
#include "server/picture_store.h"
#include "server/room_service.h"
#include "server/seed.h"
#include "server/server_app.h"
#include "server_fixture.h"

namespace {

using namespace server;
using namespace std::chrono_literals;
using srvtest::RawClient;

constexpr std::uint32_t kAlice = 10001, kBob = 10002;
constexpr std::uint32_t kLobby = 1001;
const std::string kSecret = "a-secret-of-enough-length";

std::string Png(std::size_t size) {
    std::string b = "\x89PNG\r\n\x1a\n";
    b.resize(size, 'x');
    return b;
}

// One connection that writes what a test says, from the address it says.
class RawHttp {
public:
    explicit RawHttp(std::uint16_t port, const char* source = "127.0.0.1") : socket_(io_) {
        socket_.open(asio::ip::tcp::v4());
        socket_.bind({asio::ip::make_address(source), 0});
        socket_.connect({asio::ip::make_address("127.0.0.1"), port});
    }
    bool Write(const std::string& bytes) {
        asio::error_code ec;
        asio::write(socket_, asio::buffer(bytes), ec);
        return !ec;
    }
    // Everything until the server closes, or what came within `wait`.
    std::string ReadAll(std::chrono::milliseconds wait = 5s) {
        std::string out;
        const auto until = std::chrono::steady_clock::now() + wait;
        closed_ = false;
        while (std::chrono::steady_clock::now() < until) {
            asio::error_code ec;
            const std::size_t ready = socket_.available(ec);
            if (ec) break;
            if (ready == 0) {
                // Nothing yet: has the server closed? A zero-byte peek says.
                pollfd p{socket_.native_handle(), POLLIN, 0};
                if (::poll(&p, 1, 20) > 0) {
                    char c;
                    if (::recv(socket_.native_handle(), &c, 1, MSG_PEEK) == 0) {
                        closed_ = true;
                        break;
                    }
                }
                continue;
            }
            std::string chunk(ready, '\0');
            const std::size_t n = socket_.read_some(asio::buffer(chunk), ec);
            out.append(chunk, 0, n);
            if (ec) {
                closed_ = true;
                break;
            }
        }
        return out;
    }
    bool closed() const { return closed_; }

private:
    asio::io_context io_;
    asio::ip::tcp::socket socket_;
    bool closed_ = false;
};

std::string LoginRequest(const std::string& name, const std::string& password) {
    const std::string body = R"({"name":")" + name + R"(","password":")" + password + R"("})";
    return "POST /account/login HTTP/1.1\r\nHost: t\r\nContent-Type: application/json\r\n"
           "Content-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

int StatusOf(const std::string& answer) {
    if (answer.rfind("HTTP/1.1 ", 0) != 0 || answer.size() < 12) return 0;
    return std::atoi(answer.substr(9, 3).c_str());
}

class HttpLimits : public ::testing::Test {
protected:
    void SetUp() override {
        CServerDb db;
        std::string err;
        ASSERT_TRUE(db.Open(dir.file(kDatabaseFile), err)) << err;
        ASSERT_TRUE(SeedDemo(db, SeedOptions{1000}, err)) << err;
        for (std::uint32_t id : {kAlice, kBob})
            tokens[id] = db.IssueToken(id, std::time(nullptr), 3600);
        ServerOptions o = srvtest::LocalServerOptions(dir.path());
        o.adminSecret = kSecret;
        o.pictureUserQuotaMb = 1;
        o.http.requestDeadline = 600ms;
        o.http.maxPerAddress = 4;
        o.relay.helloMs = 500;
        o.relay.frameMs = 500;
        Configure(o);
        srv = std::make_unique<CZeriServer>(o, RoomLimits{}, &clock);
        ASSERT_TRUE(srv->Start(err)) << err;
        http = std::make_unique<httplib::Client>("127.0.0.1", srv->accountPort());
    }
    void TearDown() override { srv->Stop(); }
    virtual void Configure(ServerOptions&) {}

    httplib::Headers As(std::uint32_t user) {
        return {{"X-Zeri-User", std::to_string(user)}, {"Authorization", "Bearer " + tokens[user]}};
    }
    std::string UploadAs(std::uint32_t user, const std::string& bytes) {
        const auto r = http->Post("/up?f=a.png&t=8", As(user), bytes, "application/octet-stream");
        return r ? std::to_string(r->status) + " " + r->body : "no answer";
    }

    srvtest::TempDir dir;
    srvtest::TestClock clock;
    std::map<std::uint32_t, std::string> tokens;
    std::unique_ptr<CZeriServer> srv;
    std::unique_ptr<httplib::Client> http;
};

TEST_F(HttpLimits, ManyRangesGetTheWholePictureOnceAndTheServerGoesOn) {
    const std::string png = Png(3000);
    const auto up = http->Post("/up?f=a.png&t=8", As(kAlice), png, "application/octet-stream");
    ASSERT_TRUE(up && up->status == 200) << (up ? up->body : "no answer");
    const std::string id = json::value::parse(up->body).get_string("file_id");

    std::string ranges = "bytes=0-";
    for (int i = 0; i < 1000; ++i) ranges += ",0-";
    RawHttp c(srv->accountPort());
    ASSERT_TRUE(c.Write("GET /down?id=" + id + " HTTP/1.1\r\nHost: t\r\nRange: " + ranges +
                        "\r\nConnection: close\r\n\r\n"));
    const std::string answer = c.ReadAll();
    EXPECT_EQ(StatusOf(answer), 200) << answer.substr(0, 200);
    // The picture once, as it is: no multipart answer built from the ranges.
    ASSERT_GE(answer.size(), png.size());
    EXPECT_EQ(answer.substr(answer.size() - png.size()), png);
    EXPECT_LT(answer.size(), png.size() + 1024);
    EXPECT_NE(answer.find("Content-Length: 3000"), std::string::npos);

    const auto next = http->Post("/account/hello", "", "application/json");
    ASSERT_TRUE(next);
    EXPECT_EQ(next->status, 200);
}

TEST_F(HttpLimits, OversizeHeadsAreRefusedBeforeTheyGrow) {
    RawHttp c(srv->accountPort());
    std::string head = "POST /account/hello HTTP/1.1\r\nHost: t\r\n";
    for (int i = 0; i < 200; ++i) head += "X-Padding-" + std::to_string(i) + ": " + std::string(60, 'p') + "\r\n";
    ASSERT_TRUE(c.Write(head));
    const std::string answer = c.ReadAll();
    EXPECT_EQ(StatusOf(answer), 431) << answer.substr(0, 200);
    EXPECT_NE(answer.find("\"code\":1016"), std::string::npos) << answer;
}

TEST_F(HttpLimits, ARequestDribbledPastItsDeadlineIsCut) {
    RawHttp c(srv->accountPort());
    const std::string head = "POST /account/hello HTTP/1.1\r\nHost: t\r\nX-Slow: " +
                             std::string(100, 's') + "\r\n\r\n";
    bool cut = false;
    // One byte every 50 ms would take 7 s; the deadline is 0.6 s.
    for (char ch : head) {
        if (!c.Write(std::string(1, ch))) {
            cut = true;
            break;
        }
        c.ReadAll(50ms);
        if (c.closed()) {
            cut = true;
            break;
        }
    }
    EXPECT_TRUE(cut) << "a dribbled request was read to its end";
}

TEST_F(HttpLimits, DribblersFromOneAddressDoNotStarveASignInFromIt) {
    // More dribblers than the address may hold: newcomers take the places of
    // the oldest that are still waiting.
    std::vector<std::unique_ptr<RawHttp>> slow;
    for (int i = 0; i < 12; ++i) {
        slow.push_back(std::make_unique<RawHttp>(srv->accountPort()));
        slow.back()->Write("POST /account/login HTTP/1.1\r\nHost: t\r\n");
    }
    RawHttp me(srv->accountPort());
    ASSERT_TRUE(me.Write(LoginRequest("alice", "alice-demo")));
    const std::string answer = me.ReadAll();
    EXPECT_EQ(StatusOf(answer), 200) << answer;
    EXPECT_NE(answer.find("\"token\""), std::string::npos);
    EXPECT_LE(srv->http()->connectionCount(), 4u + 1u);

    // A body that never comes holds nobody else up either.
    RawHttp body(srv->accountPort(), "127.0.0.2");
    body.Write("POST /account/login HTTP/1.1\r\nHost: t\r\nContent-Length: 1000\r\n\r\n{");
    const auto hello = http->Post("/account/hello", "", "application/json");
    ASSERT_TRUE(hello);
    EXPECT_EQ(hello->status, 200);
}

TEST_F(HttpLimits, UploadsNeedATokenAndFitTheUploadersShare) {
    const auto anonymous = http->Post("/up?f=a.png&t=8", Png(100), "application/octet-stream");
    ASSERT_TRUE(anonymous);
    EXPECT_EQ(anonymous->status, 401);
    httplib::Headers forged = As(kAlice);
    forged.erase("Authorization");
    forged.emplace("Authorization", "Bearer " + std::string(64, '0'));
    EXPECT_EQ(http->Post("/up?f=a.png&t=8", forged, Png(100), "application/octet-stream")->status,
              401);

    // A share of 1 MiB: the third 400 KB picture does not fit, for alice only.
    EXPECT_EQ(UploadAs(kAlice, Png(400 << 10)).substr(0, 3), "200");
    EXPECT_EQ(UploadAs(kAlice, Png(400 << 10)).substr(0, 3), "200");
    const std::string full = UploadAs(kAlice, Png(400 << 10));
    EXPECT_EQ(full.substr(0, 3), "507") << full;
    EXPECT_NE(full.find("1015"), std::string::npos) << full;
    EXPECT_EQ(UploadAs(kBob, Png(400 << 10)).substr(0, 3), "200");
}

TEST_F(HttpLimits, SigningOutEndsTheRelaySessionsOfThatToken) {
    RawClient chat(srv->port(), "pc_chat");
    msg::Control_Login_Req r;
    r.user_id = kAlice;
    r.room_id = kLobby;
    r.token = tokens[kAlice];
    auto resp = chat.Ask<msg::Control_Login_Resp>(1, r);
    ASSERT_TRUE(resp && resp->ok());
    ASSERT_TRUE(srv->rooms().ChatIn(kAlice, kLobby));

    const auto out = http->Post("/account/logout", As(kAlice), "", "application/json");
    ASSERT_TRUE(out);
    ASSERT_EQ(out->status, 200) << out->body;
    // The session is told, then closed; the room no longer holds alice.
    bool closed = false;
    for (int i = 0; i < 50 && !closed; ++i) {
        auto f = chat.Next(100ms);
        closed = !f && chat.closed();
    }
    EXPECT_TRUE(closed);
    EXPECT_FALSE(srv->rooms().ChatIn(kAlice, kLobby));
}

TEST_F(HttpLimits, UnknownNamesCostTheSameDerivationAsKnownOnes) {
    const auto cost = [&](const std::string& name) {
        const std::uint64_t before = PasswordIterationsDone();
        const auto r = http->Post("/account/login",
                                  R"({"name":")" + name + R"(","password":"wrong"})",
                                  "application/json");
        EXPECT_TRUE(r && r->status == 401);
        return PasswordIterationsDone() - before;
    };
    const std::uint64_t known = cost("alice");
    const std::uint64_t unknown = cost("nobody-by-this-name");
    EXPECT_GT(known, 0u);
    EXPECT_EQ(unknown, known);
}

// Many connections from one address, all with whole requests.
class HttpGuesses : public HttpLimits {
    void Configure(ServerOptions& o) override { o.http.maxPerAddress = 64; }
};

TEST_F(HttpGuesses, ParallelGuessesGetNoMoreChecksAndTheOwnerElsewhereIsNotLockedOut) {
    std::vector<std::future<int>> guesses;
    for (int i = 0; i < 40; ++i)
        guesses.push_back(std::async(std::launch::async, [&] {
            RawHttp c(srv->accountPort());
            c.Write(LoginRequest("alice", "guess"));
            return StatusOf(c.ReadAll());
        }));
    int checked = 0, throttled = 0;
    for (auto& g : guesses) {
        const int status = g.get();
        checked += status == 401;
        throttled += status == 429;
    }
    EXPECT_EQ(checked, 5);
    EXPECT_EQ(throttled, 35);

    // The right password from that address waits too…
    RawHttp again(srv->accountPort());
    again.Write(LoginRequest("alice", "alice-demo"));
    EXPECT_EQ(StatusOf(again.ReadAll()), 429);
    // …but the owner from another address signs in at once.
    RawHttp owner(srv->accountPort(), "127.0.0.2");
    owner.Write(LoginRequest("alice", "alice-demo"));
    EXPECT_EQ(StatusOf(owner.ReadAll()), 200);
    // And the wait ends: growing, not for ever.
    clock.AdvanceWall(3);
    RawHttp later(srv->accountPort());
    later.Write(LoginRequest("alice", "alice-demo"));
    EXPECT_EQ(StatusOf(later.ReadAll()), 200);
}

TEST_F(HttpLimits, WrongAdminSecretsAreThrottledPerAddress) {
    const std::string text = R"({"room": 1001, "type": 0, "text": "hi"})";
    for (int i = 0; i < 5; ++i) {
        const auto r = http->Post("/admin/push", {{"X-Zeri-Admin", "not-the-secret-at-all"}}, text,
                                  "application/json");
        ASSERT_TRUE(r);
        EXPECT_EQ(r->status, 401);
    }
    const auto blocked = http->Post("/admin/push", {{"X-Zeri-Admin", kSecret}}, text, "application/json");
    ASSERT_TRUE(blocked);
    EXPECT_EQ(blocked->status, 429);
    EXPECT_FALSE(blocked->get_header_value("Retry-After").empty());
    clock.AdvanceWall(3);
    const auto ok = http->Post("/admin/push", {{"X-Zeri-Admin", kSecret}}, text, "application/json");
    ASSERT_TRUE(ok);
    EXPECT_EQ(ok->status, 200) << ok->body;
}

TEST_F(HttpLimits, RoomLoginForAnUnknownRoomIsRefused) {
    const auto bad = http->Post("/account/room-login", As(kAlice), R"({"room": 4242, "text": ""})",
                                "application/json");
    ASSERT_TRUE(bad);
    EXPECT_EQ(bad->status, 400);
    EXPECT_EQ(json::value::parse(bad->body).get_int("code"), account_error::no_room);
    const auto good = http->Post("/account/room-login", As(kAlice), R"({"room": 1001, "text": ""})",
                                 "application/json");
    ASSERT_TRUE(good);
    EXPECT_EQ(good->status, 200);
}

TEST_F(HttpLimits, RelayPeersThatNeverGreetOrNeverFinishAFrameAreDropped) {
    // Connected, silent: gone after the hello deadline.
    RawClient mute(srv->port(), "pc_chat");
    RawHttp silent(srv->port());
    silent.ReadAll(2s);
    EXPECT_TRUE(silent.closed());

    // One byte of a frame header at a time: gone after the frame deadline,
    // though it is never silent for long.
    bool dropped = false;
    for (int i = 0; i < 11 && !dropped; ++i) {
        mute.Write(std::string(1, "\x5a\x52\x02\x01\0\0\0\0\0\0\0\x10"[i]));
        std::this_thread::sleep_for(150ms);
        dropped = !mute.Next(10ms) && mute.closed();
    }
    EXPECT_TRUE(dropped);
}

}  // namespace
