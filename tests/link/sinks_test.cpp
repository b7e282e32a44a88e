// The connection sinks and the room link over real TCP, delivering to a
// window through the message layer.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <atomic>
#include <string>
#include <vector>

#include "core/app_context.h"
#include "net/commands.h"
#include "net/proxy_sinks.h"
#include "net/room_link.h"
#include "net/tlv.h"
#include "platform/relayhub/timing.h"
#include "platform/winmsg/message_target.h"
#include "tests/support/echo_server.h"

using testsupport::EchoServer;

namespace {

struct Received {
    unsigned msg;
    std::uintptr_t w;
    std::string body;  // packet body or status text
};

class RoomWindow : public CMessageTarget {
public:
    std::vector<Received> got;
    int Count(unsigned msg) const {
        int n = 0;
        for (auto& r : got) n += r.msg == msg;
        return n;
    }

protected:
    std::intptr_t OnMessage(const WindowMessage& m) override {
        Received r{m.msg, m.wParam, {}};
        if (auto* p = m.As<ServerPacket>()) r.body.assign(p->body.begin(), p->body.end());
        if (auto* t = m.As<ProxyStatusText>()) r.body = t->text;
        got.push_back(std::move(r));
        return 0;
    }
};

template <class Pred>
bool Pump(Pred done, int limitMs = 10000) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > limitMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

TLV::body Voice(std::uint32_t s1, std::uint32_t s2, const std::string& error = {}) {
    TLV::body b;
    b.put_raw(2, "aacframe", 8);
    b.put_u32(5, 1234);
    b.put_u32(1, s1);
    b.put_u32(6, s2);
    if (!error.empty()) b.put_string(209, error);
    return b;
}

std::vector<unsigned char> Bytes(const TLV::body& b) { return TLV::encode(b); }

class Sinks : public ::testing::Test {
protected:
    void SetUp() override {
        relay::Timing t;
        t.backoffBaseMs = 20;
        t.backoffCapMs = 100;
        t.greetMs = 1000;
        relay::SetTiming(t);
        AppContext::instance().Reset();
        AppContext::instance().SetHwnd(window.Handle());
    }
    void TearDown() override {
        // The window goes first, as on exit: a connection thread waiting in a
        // sent status message wakes when its window is gone.
        windowHolder.reset();
        net_proxy_shutdown();
        CInit::instance().Reset();
        AppContext::instance().Reset();
    }
    std::unique_ptr<RoomWindow> windowHolder = std::make_unique<RoomWindow>();
    RoomWindow& window = *windowHolder;
};

// Called on the connection thread: the fields are read only after `frames`
// (released last) says the call is complete.
struct CountingEngine : IAudioPacketSink {
    std::atomic<int> frames{0};
    std::uint32_t stamp = 0, speaker = 0;
    std::string bytes;
    int kind = -1;
    void OnAudioPacket(int k, std::uint32_t who, std::uint32_t s, const unsigned char* p,
                       std::size_t n) override {
        kind = k;
        speaker = who;
        stamp = s;
        bytes.assign(reinterpret_cast<const char*>(p), n);
        frames.fetch_add(1, std::memory_order_release);
    }
};

}  // namespace

TEST_F(Sinks, ChatPacketsReachTheWindowOnceWithIdenticalBodiesAndReconnectsAnnounceAgain) {
    auto srv = std::make_unique<EchoServer>();
    const auto port = srv->port();
    CInit::instance().SetEndpoint("127.0.0.1", port);
    ASSERT_EQ(net_proxy_init(&CInit::instance()), 0);
    ASSERT_TRUE(Pump([&] { return window.Count(UM_CHAT_PROXY_CONNECTED) == 1; }));

    CProxyLink link;
    ASSERT_TRUE(link.AttachChat());
    std::vector<std::string> sent;
    for (int i = 0; i < 30; ++i) {
        TLV::body b;
        b.put_u32(1, i);
        b.put_string(2, std::string(size_t(i) * 400, char('a' + i % 26)));
        sent.emplace_back(reinterpret_cast<const char*>(Bytes(b).data()), Bytes(b).size());
        ASSERT_TRUE(link.sendChat(cmd::Control_Send_Chat_Req, b));
    }
    ASSERT_TRUE(Pump([&] { return window.Count(UM_SERVER_PACKET) == 30; }));
    QCoreApplication::processEvents();
    std::vector<std::string> echoed;
    for (auto& r : window.got)
        if (r.msg == UM_SERVER_PACKET) {
            EXPECT_EQ(r.w, cmd::Control_Send_Chat_Req);
            echoed.push_back(r.body);
        }
    EXPECT_EQ(echoed, sent);

    // The server goes away: the window is told once, synchronously, in words.
    srv->Stop();
    ASSERT_TRUE(Pump([&] { return window.Count(UM_PROXY_STATUS) == 1; }));
    for (auto& r : window.got)
        if (r.msg == UM_PROXY_STATUS) {
            EXPECT_EQ(r.w, 0u);
            EXPECT_EQ(r.body, "网络连接断开");
        }
    srv.reset();
    EchoServer again(port);
    // Back again: connected is announced anew so the room logs in again.
    ASSERT_TRUE(Pump([&] { return window.Count(UM_CHAT_PROXY_CONNECTED) == 2; }));
    EXPECT_TRUE(CProxyStatus::instance().IsConnected());
}

TEST_F(Sinks, VoiceFromTheMediaChannelMovesSpeakersAndReachesTheEngine) {
    EchoServer srv;
    CountingEngine engine;
    AppContext::instance().SetAudioSink(&engine);
    ASSERT_EQ(StartAVConnection("127.0.0.1", srv.port()), 0);
    ASSERT_TRUE(Pump([&] {
        return window.Count(UM_MSERVER_CONNECTED) == 1 && window.Count(UM_AVTRAN_CONNECTED) == 1;
    }));
    CProxyLink link;
    // The echo sends our voice body back as if the server relayed it.
    ASSERT_TRUE(link.sendMediaServer(cmd::Audio_Aac_Notify, Voice(501, 0)));
    // The speaker is announced before the frame reaches the engine.
    ASSERT_TRUE(Pump([&] {
        return window.Count(UM_SPEAKER_STATE) == 1 && engine.frames.load(std::memory_order_acquire) == 1;
    }));
    EXPECT_EQ(window.got.back().w, 501u);
    EXPECT_EQ(engine.kind, 1);
    EXPECT_EQ(engine.speaker, 501u);
    EXPECT_EQ(engine.stamp, 1234u);
    EXPECT_EQ(engine.bytes, "aacframe");
    EXPECT_EQ(window.Count(UM_SERVER_PACKET), 0);  // voice never goes through the window

    // Other media-server commands still reach the window.
    TLV::body other;
    other.put_u32(1, 9);
    ASSERT_TRUE(link.sendMediaServer(cmd::Mix_Login_Resp, other));
    ASSERT_TRUE(Pump([&] { return window.Count(UM_SERVER_PACKET) == 1; }));
    ReleaseAVConnection();
    EXPECT_EQ(AppContext::instance().GetAVProxy(), nullptr);
    EXPECT_FALSE(link.sendMediaServer(cmd::Audio_Aac_Notify, Voice(1, 2)));
}

TEST_F(Sinks, VoiceCarryingServerTextIsDroppedWithoutTouchingTheSpeakers) {
    CountingEngine engine;
    AppContext::instance().SetAudioSink(&engine);
    const auto bad = Bytes(Voice(7, 8, "no voice for you"));
    EXPECT_FALSE(HandleVoicePacket(cmd::Audio_Aac_Notify, bad.data(), bad.size()));
    std::uint32_t a, b;
    AppContext::instance().GetSpeakers(a, b);
    EXPECT_EQ(a, 0u);
    EXPECT_EQ(b, 0u);
    EXPECT_EQ(engine.frames, 0);
    // The mixer's voice names speakers in tags 1 and 4 and its stamp in tag 3.
    TLV::body mix;
    mix.put_raw(2, "amr", 3);
    mix.put_u32(1, 11);
    mix.put_u32(4, 12);
    mix.put_u32(3, 99);
    const auto m = Bytes(mix);
    EXPECT_TRUE(HandleVoicePacket(cmd::Mix_Amr_Notify, m.data(), m.size()));
    AppContext::instance().GetSpeakers(a, b);
    EXPECT_EQ(a, 11u);
    EXPECT_EQ(b, 12u);
    EXPECT_EQ(engine.kind, 0);
    EXPECT_EQ(engine.speaker, 11u);
    EXPECT_EQ(engine.stamp, 99u);
    // Truncated garbage decodes to nothing harmful.
    const unsigned char junk[] = {0x02, 0xFF, 0xFF, 0x01};
    EXPECT_TRUE(HandleVoicePacket(cmd::Audio_Amr_Notify, junk, sizeof junk));
    EXPECT_EQ(engine.frames, 1);  // no audio bytes, nothing handed on
}

TEST_F(Sinks, VideoHeaderWordUnpacksIntoItsFiveFields) {
    struct Player : IVideoFrameSink {
        VideoFrameHeader h;
        std::string bytes;
        void PlayFrame(const VideoFrameHeader& hh, const unsigned char* p, std::size_t n) override {
            h = hh;
            bytes.assign(reinterpret_cast<const char*>(p), n);
        }
    } player;
    AppContext::instance().SetVideoSink(&player);
    TLV::body b;
    b.put_u32(1, 42);
    b.put_u32(3, 0xABCD1234);
    b.put_u32(4, 77);
    b.put_raw(2, "h264", 4);
    const auto v = Bytes(b);
    ASSERT_TRUE(HandleVideoPacket(v.data(), v.size()));
    EXPECT_EQ(player.h.f0, 0xA);
    EXPECT_EQ(player.h.f1, 0xB);
    EXPECT_EQ(player.h.f2, 0x12);
    EXPECT_EQ(player.h.f3, 0x34);
    EXPECT_EQ(player.h.f4, 0xCD);
    EXPECT_EQ(player.h.extra, 77u);
    EXPECT_EQ(player.h.source, 42u);
    EXPECT_EQ(player.bytes, "h264");
    b.put_string(209, "stop");
    const auto bad = Bytes(b);
    EXPECT_FALSE(HandleVideoPacket(bad.data(), bad.size()));
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    InstallQtMessageRouter();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
