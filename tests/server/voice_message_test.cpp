// Voice messages on the room service: AMR uploads kept under ids, given back
// by id, refused with a reason when they are no voice message, and chat
// lines carrying a clip relayed only for stored messages.
#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <memory>

#include "chat/chat_code.h"
#include "formats/amr_file.h"
#include "net/catalogue_chat.h"
#include "net/catalogue_room.h"
#include "net/json.h"
#include "server/room_chat.h"
#include "server/room_service.h"
#include "server/seed.h"
#include "server/server_app.h"
#include "server/voice_store.h"
#include "server_fixture.h"

using namespace server;
using namespace std::chrono_literals;
using srvtest::RawClient;
namespace fs = std::filesystem;

namespace {

constexpr std::uint8_t kChat = 1;
constexpr std::uint32_t kAlice = 10001, kBob = 10002;
constexpr std::uint32_t kLobby = 1001;

struct ChatRefusal : wire::status {
    static constexpr std::uint32_t id = cmd::Control_Send_Chat_Req + 1;
    static constexpr auto fields() { return std::tuple{}; }
};

// An AMR file of `speech` 12.2k frames (32 bytes each), payload bytes varied
// so a corrupted copy would show.
std::string Amr(std::size_t speech) {
    std::string f(amr::kMagic);
    for (std::size_t i = 0; i < speech; ++i) {
        f += static_cast<char>(7 << 3 | 0x04);
        for (int b = 0; b < 31; ++b) f += static_cast<char>((i * 31 + b) & 0xFF);
    }
    return f;
}

class VoiceMessages : public ::testing::Test {
protected:
    void Start(std::uint64_t quotaMb) {
        std::string err;
        if (tokens.empty()) {
            CServerDb db;
            ASSERT_TRUE(db.Open(dir.file(kDatabaseFile), err)) << err;
            ASSERT_TRUE(SeedDemo(db, SeedOptions{1000}, err)) << err;
            for (std::uint32_t id : {kAlice, kBob})
                tokens[id] = db.IssueToken(id, std::time(nullptr), 3600);
        }
        ServerOptions o = srvtest::LocalServerOptions(dir.path());
        o.voiceQuotaMb = quotaMb;
        srv = std::make_unique<CZeriServer>(o, RoomLimits{}, &clock);
        ASSERT_TRUE(srv->Start(err)) << err;
        http = std::make_unique<httplib::Client>("127.0.0.1", srv->accountPort());
    }
    void SetUp() override { Start(256); }
    void TearDown() override { srv->Stop(); }

    httplib::Headers Signed(std::uint32_t user) {
        return {{"X-Zeri-User", std::to_string(user)}, {"Authorization", "Bearer " + tokens[user]}};
    }
    httplib::Result Upload(const std::string& bytes, const std::string& name = "clip.amr") {
        return http->Post(("/up?f=" + name + "&t=9").c_str(), Signed(kAlice), bytes,
                          "application/octet-stream");
    }
    std::string StoredId(const std::string& bytes) {
        const auto r = Upload(bytes);
        EXPECT_TRUE(r && r->status == 200) << (r ? r->body : "no answer");
        return r ? json::value::parse(r->body).get_string("file_id") : "";
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

    srvtest::TempDir dir;
    srvtest::TestClock clock;
    std::map<std::uint32_t, std::string> tokens;
    std::unique_ptr<CZeriServer> srv;
    std::unique_ptr<httplib::Client> http;
};

TEST_F(VoiceMessages, AStoredMessageComesBackByItsIdAsTheSameBytes) {
    const std::string clip = Amr(50);
    const auto up = Upload(clip, "..%2F..%2Fescape.amr");
    ASSERT_TRUE(up);
    ASSERT_EQ(up->status, 200) << up->body;
    const json::value a = json::value::parse(up->body);
    EXPECT_EQ(a.get_int("code"), 0);
    const std::string id = a.get_string("file_id");
    ASSERT_TRUE(CCappedFolder::IsId(id)) << up->body;

    const auto down = http->Get(("/" + id).c_str());
    ASSERT_TRUE(down);
    EXPECT_EQ(down->status, 200);
    EXPECT_EQ(down->body, clip);
    EXPECT_EQ(down->get_header_value("Content-Type"), "audio/amr");
    // Kept under the id in the voice folder, and nowhere the name pointed.
    EXPECT_TRUE(fs::exists(fs::path(dir.path()) / "voices" / id));
    EXPECT_FALSE(fs::exists(fs::path(dir.path()).parent_path() / "escape.amr"));
    // Another upload of the same bytes is another message.
    EXPECT_NE(StoredId(clip), id);
}

TEST_F(VoiceMessages, UploadsThatAreNoVoiceMessageAreRefusedWithAReason) {
    std::string badType = Amr(3);
    badType += static_cast<char>(10 << 3);
    std::string cut = Amr(3);
    cut.pop_back();
    const struct Case {
        const char* what;
        std::string body;
        int status;
    } cases[] = {
        {"png", "\x89PNG\r\n\x1a\n" + std::string(100, 'x'), 415},
        {"bad frame type", badType, 415},
        {"truncated frame", cut, 415},
        {"wide band", std::string(amr::kWideBandMagic) + std::string(33, '\x3c'), 415},
        {"silence only", std::string(amr::kMagic) + std::string(10, '\x7c'), 415},
        {"over 128 KiB", Amr(129 * 1024 / 32), 413},
        {"empty", "", 415},
    };
    for (const Case& c : cases) {
        const auto r = Upload(c.body);
        ASSERT_TRUE(r) << c.what;
        EXPECT_EQ(r->status, c.status) << c.what;
        const json::value a = json::value::parse(r->body);
        EXPECT_EQ(a.get_int("code"), c.status == 415 ? service_error::not_voice
                                                     : service_error::too_large)
            << c.what << r->body;
        EXPECT_FALSE(a.get_string("error").empty()) << c.what << r->body;
        EXPECT_TRUE(a.get_string("file_id").empty()) << c.what;
        clock.AdvanceMs(2000);  // past the rate limit
    }
    // Nothing was kept.
    EXPECT_TRUE(fs::is_empty(fs::path(dir.path()) / "voices"));
}

TEST_F(VoiceMessages, OnlyIdsAreServedAndTheOtherRoutesStay) {
    const std::string id = StoredId(Amr(5));
    std::string upper = id;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (const std::string& path :
         {std::string("/0123456789abcdef0123456789abcdef"), "/" + upper, "/" + id + "x",
          "/" + id.substr(1), "/../" + id, "/voices/" + id, std::string("/"),
          "/%2e%2e/" + id}) {
        const auto r = http->Get(path.c_str());
        ASSERT_TRUE(r) << path;
        EXPECT_EQ(r->status, 404) << path;
        EXPECT_NE(r->get_header_value("Content-Type"), "audio/amr") << path;
    }
    // Pictures, badges and the power list answer as before.
    EXPECT_EQ(http->Get("/down?id=0123456789abcdef0123456789abcdef")->status, 404);
    EXPECT_EQ(http->Get("/vest/1_w.bmp")->status, 200);
    EXPECT_EQ(http->Post("/kampo?m=LB", R"({"CMD":30012,"OBJ":{}})", "application/json")->status,
              200);
    const auto pic = http->Post("/up?f=a.png&t=8", Signed(kAlice),
                                "\x89PNG\r\n\x1a\n" + std::string(50, 'x'), "image/png");
    ASSERT_TRUE(pic);
    EXPECT_EQ(pic->status, 200) << pic->body;
}

TEST_F(VoiceMessages, UploadsAreRateLimitedAndTheQuotaHolds) {
    int ok = 0, busy = 0;
    for (int i = 0; i < 12; ++i) {
        const auto r = Upload(Amr(2));
        ASSERT_TRUE(r);
        ok += r->status == 200;
        busy += r->status == 429;
    }
    EXPECT_EQ(ok, 10);
    EXPECT_EQ(busy, 2);

    // A one-MiB store, restarted over what is kept: the largest messages
    // fill what is left, and the next ones are refused.
    srv->Stop();
    Start(1);
    const std::string big = Amr(amr::kMaxFrames);  // 96006 bytes
    int stored = 0, full = 0;
    for (int i = 0; i < 12; ++i) {
        clock.AdvanceMs(2000);
        const auto r = Upload(big);
        ASSERT_TRUE(r);
        stored += r->status == 200;
        full += r->status == 507;
        EXPECT_TRUE(r->status == 200 || r->status == 507) << r->status << r->body;
    }
    EXPECT_EQ(stored, 10);  // next to the ten small ones from above
    EXPECT_EQ(full, 2);
}

TEST_F(VoiceMessages, ChatClipsAreRelayedOnlyForStoredMessages) {
    const std::string id = StoredId(Amr(4));
    auto alice = In(kAlice);
    auto bob = In(kBob);
    const auto say = [&](const std::string& text) {
        msg::chat_attrs a;
        a.nickname = "alice";
        alice->Send(kChat, msg::make_chat_req(kAlice, text, 0, 0, a));
    };
    say("hear this " + chatcode::MakeVoiceClip("0123456789abcdef0123456789abcdef"));
    auto refused = alice->Notice<ChatRefusal>(1s);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->code, chat_error::no_voice);
    EXPECT_TRUE(bob->NoNotice<msg::Control_Chat_Notify>(200ms));

    // One good clip does not carry an unknown one along.
    clock.AdvanceMs(10000);
    say(chatcode::MakeVoiceClip(id) + chatcode::MakeVoiceClip("ffffffffffffffffffffffffffffffff"));
    EXPECT_TRUE(bob->NoNotice<msg::Control_Chat_Notify>(200ms));

    clock.AdvanceMs(10000);
    say(chatcode::MakeVoiceClip(id));
    auto heard = bob->Notice<msg::Control_Chat_Notify>(2s);
    ASSERT_TRUE(heard);
    EXPECT_EQ(heard->sender_id, kAlice);
}

}  // namespace
