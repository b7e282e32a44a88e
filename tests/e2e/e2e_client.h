#pragma once
// A whole client in-process: the program's room stack (CRoomStack: view,
// host, session, chat) over its own relay connection and its own account
// session, so that one test process holds several users. The program's own
// connection sinks are process-wide, so each test client carries a small
// equivalent that posts to its own room window.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "app/account_callback.h"
#include "app/patron_account.h"
#include "app/room_stack.h"
#include "core/service_hosts.h"
#include "core/message.h"
#include "net/commands.h"
#include "net/proxy_sinks.h"
#include "platform/patron/patron.h"
#include "platform/relayhub/connection.h"
#include "tests/support/account_server.h"

namespace e2e {

// Pumps the Qt loop until `done` holds; false when the limit passes first.
// The limit only bounds a failing test, it is no measure of speed.
inline bool WaitFor(const std::function<bool()>& done, int limitMs = 15000) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > limitMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (!done()) std::this_thread::yield();
    }
    return true;
}

// The chat and audio/video connections of one client, on their own I/O thread.
class CClientLink : public IRoomLink {
public:
    CClientLink()
        : status_(*this),
          sink_(*this, UM_CHAT_PROXY_CONNECTED, &connects_),
          videoSink_(*this, UM_AVTRAN_CONNECTED, nullptr),
          mediaSink_(*this, UM_MSERVER_CONNECTED, nullptr),
          work_(asio::make_work_guard(io_)) {
        relay::Timing timing;
        timing.backoffBaseMs = 50;  // come back quickly after a server restart
        timing.backoffCapMs = 400;
        conn_ = std::make_shared<relay::CRelayConnection>(io_, "pc_chat", &status_, 200, timing);
        conn_->Attach(1, &sink_);
        av_ = std::make_shared<relay::CRelayConnection>(io_, "pc_av", nullptr, 200, timing);
        av_->Attach(2, &videoSink_);
        av_->Attach(3, &mediaSink_);
        thread_ = std::thread([this] { io_.run(); });
    }
    ~CClientLink() override { Stop(); }

    void Connect(HWND target, std::uint16_t port) {
        target_ = target;
        conn_->Connect("127.0.0.1", port);
        av_->Connect("127.0.0.1", port);
    }
    // Nothing reaches the room window after this.
    void Stop() {
        if (!thread_.joinable()) return;
        conn_->DetachAll();
        conn_->Close();
        av_->DetachAll();
        av_->Close();
        work_.reset();
        io_.stop();
        thread_.join();
    }
    // Voice from the media server goes here, as the program's sink hands
    // it to its engine; null drops it. Set before connecting.
    void SetVoice(IAudioPacketSink* voice) { voice_ = voice; }
    std::uint64_t voicePackets() const { return voicePackets_; }
    // The same for video frames.
    void SetVideo(IVideoFrameSink* video) { video_ = video; }
    std::uint64_t videoPackets() const { return videoPackets_; }

    // Times the chat channel came up (its connected message is posted first).
    int connects() const { return connects_; }
    int loginsSent() const { return logins_; }

    bool sendChat(std::uint32_t command, const TLV::body& body) override {
        if (command == cmd::Control_Login_Req) ++logins_;
        const std::vector<unsigned char> bytes = TLV::encode(body);
        return conn_->Send(1, command, bytes.data(), bytes.size());
    }
    bool sendVideoService(std::uint32_t command, const TLV::body& body) override {
        const std::vector<unsigned char> bytes = TLV::encode(body);
        return av_->Send(2, command, bytes.data(), bytes.size());
    }
    bool sendMediaServer(std::uint32_t command, const TLV::body& body) override {
        const std::vector<unsigned char> bytes = TLV::encode(body);
        return av_->Send(3, command, bytes.data(), bytes.size());
    }
    std::uint32_t TakeSentBytes() override { return conn_->TakeSent(); }
    std::uint32_t TakeReceivedBytes() override { return conn_->TakeReceived(); }
    std::uint32_t SignalMs() override { return conn_->Signal(); }
    std::uint32_t MediaPending() override { return av_->Pending(3); }
    std::uint32_t VideoPending() override { return av_->Pending(2); }

private:
    bool DeliverVoice(const pkinfo* p) {
        VoicePacket v;
        if (!DecodeVoicePacket(p->cmd, p->body, p->length, v)) return false;
        ++voicePackets_;
        if (IAudioPacketSink* sink = voice_.load(); sink && v.audioLength)
            sink->OnAudioPacket(v.kind, v.speaker1, v.stamp, v.audio, v.audioLength);
        return true;
    }
    bool DeliverVideo(const pkinfo* p) {
        if (p->cmd != cmd::Video_Data_Notify) return false;
        VideoFrameHeader h;
        std::span<const unsigned char> frame;
        if (!DecodeVideoPacket(p->body, p->length, h, frame)) return true;
        ++videoPackets_;
        if (IVideoFrameSink* sink = video_.load()) sink->PlayFrame(h, frame.data(), frame.size());
        return true;
    }
    void Post(unsigned msg, std::uint32_t w, std::unique_ptr<CMessageData> data = nullptr) {
        PostMessage(target_, msg, w, 0, std::move(data));
    }
    void PostStatus(std::uint32_t code, std::string text) {
        Post(UM_PROXY_STATUS, code,
             std::make_unique<TMessageData<ProxyStatusText>>(ProxyStatusText{std::move(text)}));
    }

    class Status : public IProxyStatus {
    public:
        explicit Status(CClientLink& l) : l_(l) {}
        int OnConnect() override { return 0; }
        int OnDisconnect() override { return l_.PostStatus(0, "网络连接断开"), 0; }
        int OnError(std::uint32_t code, const char* text) override {
            return l_.PostStatus(code, text ? text : ""), 0;
        }

    private:
        CClientLink& l_;
    };
    // One channel: its packets and its connected message go to the room window.
    class Sink : public IServerSink {
    public:
        Sink(CClientLink& l, unsigned connected, std::atomic<int>* connects)
            : l_(l), connected_(connected), connects_(connects) {}
        int OnJoin(std::uint32_t) override { return 0; }
        int OnLeave(std::uint32_t) override { return 0; }
        int OnPacket(std::uint32_t, pkinfo* p) override {
            if (!p) return 0;
            if (l_.DeliverVoice(p) || l_.DeliverVideo(p)) return 0;
            auto copy = std::make_unique<TMessageData<ServerPacket>>(ServerPacket{});
            if (p->length && p->body) copy->value.body.assign(p->body, p->body + p->length);
            l_.Post(UM_SERVER_PACKET, p->cmd, std::move(copy));
            return 0;
        }
        int OnConnect() override {
            l_.Post(connected_, 0);
            if (connects_) ++*connects_;
            return 0;
        }
        int OnDisconnect() override { return 0; }
        int OnError(std::uint32_t, const char*) override { return 0; }

    private:
        CClientLink& l_;
        unsigned connected_;
        std::atomic<int>* connects_;
    };

    Status status_;
    Sink sink_, videoSink_, mediaSink_;
    asio::io_context io_;
    asio::executor_work_guard<asio::io_context::executor_type> work_;
    std::shared_ptr<relay::CRelayConnection> conn_;
    std::shared_ptr<relay::CRelayConnection> av_;
    std::thread thread_;
    std::atomic<HWND> target_{0};
    std::atomic<int> connects_{0};
    std::atomic<int> logins_{0};
    std::atomic<IAudioPacketSink*> voice_{nullptr};
    std::atomic<std::uint64_t> voicePackets_{0};
    std::atomic<IVideoFrameSink*> video_{nullptr};
    std::atomic<std::uint64_t> videoPackets_{0};
};

// A signed-in user with the program's room stack over its own connection.
class CTestClient {
public:
    // With `voice`, the client has its voice path on those devices.
    CTestClient(testsupport::AccountServer& srv, const testsupport::DemoLogin& who,
                CRoomStack::Mode mode = CRoomStack::Mode::headless,
                const CVoiceSet::Options* voice = nullptr, bool video = false)
        : out_(std::fopen("/dev/null", "w")), account_(SignIn(srv, who)),
          stack_(mode, out_, link_, account_) {
        const HWND host = stack_.host().Handle();
        account_.SetWindow(host);
        // The item catalogues sync from this server, never a default port.
        ServiceHosts hosts = GetServiceHosts();
        hosts.catalogue = srv.cataloguePort();
        SetServiceHosts(hosts);
        stack_.Open(who.name);
        if (voice) stack_.EnableVoice(*voice);
        if (video) stack_.EnableVideo();
        EXPECT_TRUE(stack_.Start()) << who.name << ": the session did not start";
        if (CVoiceSet* v = stack_.voice()) link_.SetVoice(&v->engine());
        if (CRoomVideo* v = stack_.video(); v && video) link_.SetVideo(v);
        link_.Connect(host, srv.relayPort());
    }
    ~CTestClient() {
        link_.Stop();
        link_.SetVideo(nullptr);
        account_.Close();
    }

    CRoomStack& stack() { return stack_; }
    CRoomSession& session() { return stack_.session(); }
    CHeadlessView& view() { return *stack_.headless(); }
    CClientLink& link() { return link_; }
    HWND host() { return stack_.host().Handle(); }
    // From now on the account's answers reach this client's room window, as
    // the program's callback sends them to its one window, and the account
    // state the start asked for is asked again. Off by default: a replaced
    // sign-in then ends the client the program's way, before the room says so.
    void ListenToAccount() {
        PATRON_SetCallBack(account_.handle(), &ForwardAccountEvent, reinterpret_cast<void*>(host()));
        account_.RequestAccountState();
    }
    // What the room window is asked to do, as the window message.
    void Enter(std::uint32_t room) { PostMessage(host(), UM_ENTER_ROOM, room, 0); }
    bool InRoom(std::uint32_t room) {
        return WaitFor([&] { return session().loggedIn() && session().roomId() == room; });
    }

private:
    static void ForwardAccountEvent(int event, std::uintptr_t a, std::intptr_t b, void* context) {
        PostAccountEvent(reinterpret_cast<HWND>(context), event, a, b);
    }

    static PATRON_HANDLE SignIn(testsupport::AccountServer& srv, const testsupport::DemoLogin& who) {
        PATRON_SetServer("127.0.0.1", srv.accountPort());
        PatronLoginOptions o;
        o.user = who.name;
        o.password = who.password;
        o.headless = true;
        PATRON_SetLoginOptions(o);
        const PATRON_HANDLE h = PATRON_Connect();
        EXPECT_NE(h, 0u) << "account service";
        EXPECT_EQ(PATRON_Login(h), 1) << who.name << " did not sign in";
        return h;
    }

    struct CloseFile {
        FILE* f;
        ~CloseFile() {
            if (f) std::fclose(f);
        }
    };
    FILE* out_;
    CloseFile closeOut_{out_};
    CClientLink link_;
    CPatronAccount account_;
    CRoomStack stack_;
};

}  // namespace e2e
