#pragma once
// A zeri-server with the demo's users and rooms for the microphone tests:
// members of the lobby over the chat connection, their media-server
// connections, and the requests these tests send.
#include <gtest/gtest.h>

#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "net/catalogue_media.h"
#include "net/catalogue_mic.h"
#include "net/catalogue_room.h"
#include "server/seed.h"
#include "server/server_app.h"
#include "server_fixture.h"

namespace srvtest::mic {

using namespace server;
using namespace std::chrono_literals;

constexpr std::uint8_t kChat = 1, kMix = 3;
constexpr std::uint32_t kAlice = 10001, kBob = 10002, kCarol = 10003, kDave = 10004,
                        kErin = 10005;
constexpr std::uint32_t kLobby = 1001;

class MicServer {
public:
    void Start(const std::function<void(CServerDb&)>& arrange = {}, RoomLimits limits = {}) {
        CServerDb db;
        std::string err;
        ASSERT_TRUE(db.Open(dir.file(kDatabaseFile), err)) << err;
        ASSERT_TRUE(SeedDemo(db, SeedOptions{1000}, err)) << err;
        for (std::uint32_t id : {kAlice, kBob, kCarol, kDave, kErin})
            tokens[id] = db.IssueToken(id, std::time(nullptr), 30 * 86400);  // outlives the clock's jumps
        if (arrange) arrange(db);
        db.Close();
        ServerOptions o = srvtest::LocalServerOptions(dir.path());
        srv = std::make_unique<CZeriServer>(o, limits, &clock);
        ASSERT_TRUE(srv->Start(err)) << err;
    }
    ~MicServer() {
        if (srv) srv->Stop();
    }
    // A member of the lobby; what the login brought is read and dropped.
    std::unique_ptr<RawClient> In(std::uint32_t user, std::string* mediaKey = nullptr,
                                  std::uint32_t room = kLobby) {
        auto c = std::make_unique<RawClient>(srv->port(), "pc_chat");
        msg::Control_Login_Req r;
        r.user_id = user, r.room_id = room, r.token = tokens[user];
        auto resp = c->Ask<msg::Control_Login_Resp>(kChat, r);
        EXPECT_TRUE(resp && resp->ok()) << user;
        if (resp && mediaKey) *mediaKey = resp->media_key;
        Quiet(*c);
        return c;
    }
    // The media-server connection of a member.
    std::unique_ptr<RawClient> Media(std::uint32_t user, const std::string& key,
                                     std::uint32_t room = kLobby) {
        auto c = std::make_unique<RawClient>(srv->port(), "pc_av");
        msg::Mix_Login_Req r;
        r.user_id = user, r.room_id = room, r.media_key = key;
        auto resp = c->Ask<msg::Mix_Login_Resp>(kMix, r);
        EXPECT_TRUE(resp && resp->ok());
        return c;
    }
    static void Quiet(RawClient& c) {
        while (c.Next(100ms)) {
        }
    }
    CRoomHandler& rooms() { return srv->rooms(); }

    srvtest::TempDir dir;
    srvtest::TestClock clock;
    std::map<std::uint32_t, std::string> tokens;
    std::unique_ptr<CZeriServer> srv;
};

template <class Req>
Req Of(std::uint32_t user, std::uint32_t value = 0) {
    Req r;
    r.user_id = user;
    if constexpr (requires(Req q) { q.value; }) r.value = value;
    return r;
}
inline msg::Control_Open_Mic_Req OpenMic(std::uint32_t me) {
    msg::Control_Open_Mic_Req r;
    r.user_id = me, r.room_id = kLobby;
    return r;
}
inline msg::Mix_Open_Mic_Req MixOpen(std::uint32_t me, std::uint32_t granted) {
    msg::Mix_Open_Mic_Req r;
    r.user_id = me, r.room_id = kLobby, r.granted = granted;
    return r;
}

// Sends and waits for the answer, passing over notifies on the way.
template <class Resp, class Req>
std::optional<Resp> Order(RawClient& c, const Req& r, std::uint8_t channel = kChat) {
    c.Send(channel, r);
    return c.Notice<Resp>();
}

}  // namespace srvtest::mic
