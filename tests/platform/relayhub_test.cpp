// The connection library against the real relay server on loopback.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/relayhub/relayhub.h"
#include "platform/relayhub/timing.h"
#include "tests/support/echo_server.h"

using namespace std::chrono_literals;

namespace {

// Waits on a predicate with a generous limit; the limit only guards against hangs.
template <class Lock, class Pred>
bool WaitFor(std::condition_variable& cv, Lock& lock, Pred p) {
    return cv.wait_for(lock, 10s, p);
}

struct Events {
    std::mutex m;
    std::condition_variable cv;
    std::vector<std::string> log;
    std::vector<std::pair<std::uint32_t, std::string>> packets;
    int connects = 0;
    void Add(std::string e) {
        std::lock_guard<std::mutex> g(m);
        if (e == "connect") ++connects;
        log.push_back(std::move(e));
        cv.notify_all();
    }
    int Count(const std::string& e) {
        int n = 0;
        for (auto& x : log) n += x == e;
        return n;
    }
    template <class Pred>
    bool Wait(Pred p) {
        std::unique_lock<std::mutex> l(m);
        return WaitFor(cv, l, [&] { return p(*this); });
    }
};

class Sink : public IServerSink {
public:
    explicit Sink(Events& e) : ev(e) {}
    int OnJoin(std::uint32_t) override { return ev.Add("join"), 0; }
    int OnLeave(std::uint32_t) override { return ev.Add("leave"), 0; }
    int OnPacket(std::uint32_t, pkinfo* p) override {
        std::lock_guard<std::mutex> g(ev.m);
        ev.packets.emplace_back(p->cmd, std::string(reinterpret_cast<char*>(p->body), p->length));
        ev.cv.notify_all();
        return 0;
    }
    int OnConnect() override { return ev.Add("connect"), 0; }
    int OnDisconnect() override { return ev.Add("disconnect"), 0; }
    int OnError(std::uint32_t, const char* t) override { return ev.Add(std::string("error:") + t), 0; }
    Events& ev;
};

class Status : public IProxyStatus {
public:
    explicit Status(Events& e) : ev(e) {}
    int OnConnect() override { return ev.Add("status-connect"), 0; }
    int OnDisconnect() override { return ev.Add("status-disconnect"), 0; }
    int OnError(std::uint32_t, const char* t) override {
        return ev.Add(std::string("status-error:") + t), 0;
    }
    Events& ev;
};

using testsupport::EchoServer;

pkinfo Packet(std::uint32_t cmd, std::string& body) {
    pkinfo p;
    p.cmd = cmd;
    p.length = static_cast<std::uint32_t>(body.size());
    p.body = reinterpret_cast<unsigned char*>(body.data());
    return p;
}

// Stops the library before the sinks it reports to go out of scope; declare it
// after the sinks and before the server.
struct HubGuard {
    ~HubGuard() { net_proxy_shutdown(); }
};

class RelayHub : public ::testing::Test {
protected:
    void SetUp() override {
        relay::Timing t;
        t.heartbeatMs = 50;
        t.deadMs = 2000;
        t.backoffBaseMs = 20;
        t.backoffCapMs = 100;
        t.greetMs = 1000;
        relay::SetTiming(t);
    }
    void TearDown() override { net_proxy_shutdown(); }
};

}  // namespace

TEST_F(RelayHub, ChatPacketsCrossBothWaysExactlyOnceWithIdenticalBodies) {
    Events ev;
    Status status(ev);
    Sink sink(ev);
    HubGuard hub;
    EchoServer srv;
    IChatProxy* chat = net_proxy_register("pc_chat", &status, 200);
    ASSERT_NE(chat, nullptr);
    EXPECT_EQ(net_proxy_generate("pc_chat"), chat);
    EXPECT_EQ(net_proxy_generate("other"), nullptr);
    IChannelSender* sender = chat->channel(1);
    std::string body = "x";
    pkinfo early = Packet(1, body);
    EXPECT_FALSE(sender->send(&early));  // not connected yet: refused, not queued
    chat->connect("127.0.0.1", srv.port());
    chat->attach(1, &sink);
    ASSERT_TRUE(ev.Wait([](Events& e) { return e.connects == 1; }));
    EXPECT_EQ(ev.Count("status-connect"), 1);
    EXPECT_EQ(ev.Count("join"), 1);

    std::vector<std::string> bodies;
    for (int i = 0; i < 50; ++i) bodies.push_back(std::string(size_t(i * 997), char('a' + i % 26)));
    bodies.push_back(std::string(300000, '\0'));
    for (std::size_t i = 0; i < bodies.size(); ++i) {
        pkinfo p = Packet(0x2000000 + std::uint32_t(i), bodies[i]);
        // The queue holds 200: sending a burst of 51 never refuses.
        ASSERT_TRUE(sender->send(&p));
    }
    ASSERT_TRUE(ev.Wait([&](Events& e) { return e.packets.size() == bodies.size(); }));
    std::this_thread::sleep_for(50ms);  // no duplicates trail behind
    std::lock_guard<std::mutex> g(ev.m);
    ASSERT_EQ(ev.packets.size(), bodies.size());
    for (std::size_t i = 0; i < bodies.size(); ++i) {
        EXPECT_EQ(ev.packets[i].first, 0x2000000 + i);
        EXPECT_EQ(ev.packets[i].second, bodies[i]);
    }
    EXPECT_GT(get_send_size("pc_chat"), 300000u);
    EXPECT_EQ(get_send_size("pc_chat"), 0u);  // counters reset on read
    EXPECT_GT(get_recv_size("pc_chat"), 300000u);
}

TEST_F(RelayHub, ReconnectAfterServerRestartFiresConnectAgain) {
    Events ev;
    Status status(ev);
    Sink sink(ev);
    HubGuard hub;
    auto srv = std::make_unique<EchoServer>();
    const std::uint16_t port = srv->port();
    IChatProxy* chat = net_proxy_register("pc_chat", &status, 200);
    chat->connect("127.0.0.1", port);
    chat->attach(1, &sink);
    ASSERT_TRUE(ev.Wait([](Events& e) { return e.connects == 1; }));
    srv->Stop();
    ASSERT_TRUE(ev.Wait([](Events& e) { return e.Count("status-disconnect") == 1; }));
    EXPECT_EQ(ev.Count("disconnect"), 1);
    EXPECT_EQ(get_signal("pc_chat"), kSignalLost);
    srv.reset();
    EchoServer again(port);
    ASSERT_TRUE(ev.Wait([](Events& e) { return e.connects == 2; }));
    EXPECT_EQ(ev.Count("status-connect"), 2);
    // The heartbeat measures a round trip once the connection is back.
    bool measured = false;
    for (int i = 0; i < 500 && !measured; ++i) {
        measured = get_signal("pc_chat") < kSignalLost;
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_TRUE(measured);
}

TEST_F(RelayHub, AudioVideoServicesMapToTheirChannelsAndCountPending) {
    Events video, media;
    Sink videoSink(video), mediaSink(media);
    HubGuard hub;
    EchoServer srv;
    IAVProxy* av = net_avproxy_init(100);
    ASSERT_NE(av, nullptr);
    av->connect("127.0.0.1", srv.port());
    av->attach(2, &videoSink);
    av->attach(3, &mediaSink);
    ASSERT_TRUE(video.Wait([](Events& e) { return e.connects == 1; }));
    ASSERT_TRUE(media.Wait([](Events& e) { return e.connects == 1; }));
    std::string frame(6000, 'v'), voice(600, 'a');
    pkinfo pv = Packet(0x3100030, frame), pa = Packet(0x3100100, voice);
    EXPECT_TRUE(av->send(1, &pv));
    EXPECT_TRUE(av->send(2, &pa));
    EXPECT_FALSE(av->send(7, &pa));  // no such service
    ASSERT_TRUE(video.Wait([](Events& e) { return e.packets.size() == 1; }));
    ASSERT_TRUE(media.Wait([](Events& e) { return e.packets.size() == 1; }));
    EXPECT_EQ(video.packets[0].first, 0x3100030u);
    EXPECT_EQ(media.packets[0].second, voice);
    EXPECT_EQ(av->pending(1), 0u);
    EXPECT_GE(av->sent(), 6600u);
    EXPECT_EQ(av->sent(), 0u);
    av->close();
    ASSERT_TRUE(video.Wait([](Events& e) { return e.Count("disconnect") == 1; }));
    EXPECT_FALSE(av->send(1, &pv));
    net_avproxy_release();
}

TEST_F(RelayHub, RefusedHelloAndUnreachableServerReportOneErrorPerOutage) {
    Events ev;
    Status status(ev);
    HubGuard hub;
    IChatProxy* chat = net_proxy_register("refuse-me", &status, 10);
    EchoServer srv;
    chat->connect("127.0.0.1", srv.port());
    ASSERT_TRUE(ev.Wait([](Events& e) { return !e.log.empty(); }));
    EXPECT_EQ(ev.log[0], "status-error:not welcome");
    std::this_thread::sleep_for(300ms);  // several retries happen meanwhile
    std::lock_guard<std::mutex> g(ev.m);
    EXPECT_EQ(ev.log.size(), 1u);
}

TEST_F(RelayHub, ServerDropsGarbageAndSlowReadersButKeepsServingOthers) {
    Events ev;
    Sink sink(ev);
    HubGuard hub;
    EchoServer srv;
    IChatProxy* chat = net_proxy_register("pc_chat", nullptr, 200);
    chat->connect("127.0.0.1", srv.port());
    chat->attach(1, &sink);
    ASSERT_TRUE(ev.Wait([](Events& e) { return e.connects == 1; }));

    asio::io_context io;
    // A peer that speaks garbage is closed.
    asio::ip::tcp::socket garbage(io);
    garbage.connect({asio::ip::make_address("127.0.0.1"), srv.port()});
    asio::write(garbage, asio::buffer(std::string("GET / HTTP/1.1\r\n\r\n")));
    std::string reply(256, '\0');
    asio::error_code ec;
    std::size_t n = 0, got = 0;
    while (!ec) {
        n = garbage.read_some(asio::buffer(reply.data() + got, reply.size() - got), ec);
        got += n;
    }
    EXPECT_EQ(ec, asio::error::eof);  // told why (an error frame), then closed
    EXPECT_NE(reply.find("bad frame magic"), std::string::npos);

    // A peer that greets, asks for a flood and never reads is dropped.
    asio::ip::tcp::socket slow(io);
    slow.connect({asio::ip::make_address("127.0.0.1"), srv.port()});
    slow.set_option(asio::socket_base::receive_buffer_size(4096));
    asio::write(slow, asio::buffer(relay::EncodeFrame(relay::kFrameHello, 0, 0, "slow")));
    const std::string chunk(60000, 's');
    for (int i = 0; i < 200; ++i) {
        asio::write(slow, asio::buffer(relay::EncodeFrame(relay::kFramePacket, 1, 7, chunk)), ec);
        if (ec) break;
    }
    {
        std::unique_lock<std::mutex> l(srv.handler.m);
        ASSERT_TRUE(WaitFor(srv.handler.cv, l, [&] { return srv.handler.closed >= 2; }));
    }
    // The well-behaved client still gets its answers.
    std::string body = "still here";
    pkinfo p = Packet(0x2000001, body);
    ASSERT_TRUE(chat->channel(1)->send(&p));
    ASSERT_TRUE(ev.Wait([](Events& e) {
        return !e.packets.empty() && e.packets.back().second == "still here";
    }));
}

namespace {
// Registers and connects the chat connection from the library's thread, as
// the program's init object does.
class ConnectingInit : public IInit {
public:
    explicit ConnectingInit(std::uint16_t port) : port_(port) {}
    int OnInit() override {
        if (IChatProxy* chat = net_proxy_register("pc_chat", nullptr, 200))
            chat->connect("127.0.0.1", port_);
        return 0;
    }

private:
    std::uint16_t port_;
};
}  // namespace

TEST_F(RelayHub, ShutdownRightAfterInitStopsEvenWhenInitRunsLate) {
    // The init callback may run after shutdown has begun; the connection it
    // registers must not keep the library's thread alive (the join would hang).
    EchoServer srv;
    ConnectingInit init(srv.port());
    for (int i = 0; i < 50; ++i) {
        ASSERT_EQ(net_proxy_init(&init), 0);
        net_proxy_shutdown();
    }
    // And the library starts again afterwards.
    Events ev;
    Sink sink(ev);
    ASSERT_EQ(net_proxy_init(&init), 0);
    IChatProxy* chat = nullptr;
    for (int i = 0; i < 500 && !chat; ++i) {
        chat = net_proxy_generate("pc_chat");
        if (!chat) std::this_thread::sleep_for(10ms);
    }
    ASSERT_NE(chat, nullptr);
    chat->attach(1, &sink);
    ASSERT_TRUE(ev.Wait([](Events& e) { return e.connects == 1; }));
    net_proxy_shutdown();
}
