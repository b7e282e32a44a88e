// The library's process-wide side: one I/O thread, the named connections and
// the audio/video connection, and the objects handed to the program.

#include "platform/relayhub/relayhub.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/relayhub/connection.h"
#include "platform/relayhub/timing.h"

namespace relay {
namespace {

constexpr std::uint8_t kChannelVideo = 2;
constexpr std::uint8_t kChannelMedia = 3;

class CChannelSender : public IChannelSender {
public:
    CChannelSender(std::shared_ptr<CRelayConnection> c, std::uint8_t ch)
        : conn_(std::move(c)), channel_(ch) {}
    bool send(const pkinfo* p) override {
        return p && conn_->Send(channel_, p->cmd, p->body, p->length);
    }

private:
    std::shared_ptr<CRelayConnection> conn_;
    std::uint8_t channel_;
};

class CChatProxy : public IChatProxy {
public:
    explicit CChatProxy(std::shared_ptr<CRelayConnection> c) : conn_(std::move(c)) {}
    int connect(const char* host, std::uint32_t port) override {
        if (!host || port == 0 || port > 65535) return -1;
        conn_->Connect(host, static_cast<std::uint16_t>(port));
        return 0;
    }
    int attach(std::uint32_t channel, IServerSink* sink) override {
        if (channel > 255) return -1;
        conn_->Attach(static_cast<std::uint8_t>(channel), sink);
        return 0;
    }
    IChannelSender* channel(std::uint32_t number) override {
        if (number > 255) return nullptr;
        std::lock_guard<std::mutex> g(lock_);
        auto& s = senders_[number];
        if (!s) s = std::make_unique<CChannelSender>(conn_, static_cast<std::uint8_t>(number));
        return s.get();
    }
    CRelayConnection& conn() { return *conn_; }

private:
    std::shared_ptr<CRelayConnection> conn_;
    std::mutex lock_;
    std::map<std::uint32_t, std::unique_ptr<CChannelSender>> senders_;
};

class CAVProxy : public IAVProxy {
public:
    explicit CAVProxy(std::shared_ptr<CRelayConnection> c) : conn_(std::move(c)) {}
    int connect(const char* host, std::uint32_t port) override {
        if (!host || port == 0 || port > 65535) return -1;
        conn_->Connect(host, static_cast<std::uint16_t>(port));
        return 0;
    }
    int close() override {
        conn_->Close();
        return 0;
    }
    int attach(std::uint32_t channel, IServerSink* sink) override {
        if (channel > 255) return -1;
        conn_->Attach(static_cast<std::uint8_t>(channel), sink);
        return 0;
    }
    bool send(std::uint32_t service, const pkinfo* p) override {
        const int ch = ChannelOf(service);
        return p && ch && conn_->Send(static_cast<std::uint8_t>(ch), p->cmd, p->body, p->length);
    }
    std::uint32_t pending(std::uint32_t service) override {
        const int ch = ChannelOf(service);
        return ch ? conn_->Pending(static_cast<std::uint8_t>(ch)) : 0;
    }
    std::uint32_t received() override { return conn_->TakeReceived(); }
    void shutdown() { conn_->Retire(); }
    std::uint32_t sent() override { return conn_->TakeSent(); }

private:
    static int ChannelOf(std::uint32_t service) {
        return service == 1 ? kChannelVideo : service == 2 ? kChannelMedia : 0;
    }
    std::shared_ptr<CRelayConnection> conn_;
};

struct Library {
    std::mutex lock;
    std::unique_ptr<asio::io_context> io;
    std::unique_ptr<asio::executor_work_guard<asio::io_context::executor_type>> work;
    std::thread thread;
    std::map<std::string, std::unique_ptr<CChatProxy>> named;
    std::unique_ptr<CAVProxy> av;
    // Released proxies stay alive until shutdown: other threads may still hold them.
    std::vector<std::unique_ptr<CAVProxy>> released;
    Timing timing;
    bool stopping = false;  // no new connections while the library shuts down
};

Library& Lib() {
    static auto* lib = new Library;
    return *lib;
}

// Caller holds the lock.
asio::io_context& EnsureStarted(Library& lib) {
    if (!lib.io) {
        lib.io = std::make_unique<asio::io_context>();
        lib.work = std::make_unique<asio::executor_work_guard<asio::io_context::executor_type>>(
            lib.io->get_executor());
        lib.thread = std::thread([io = lib.io.get()] { io->run(); });
    }
    return *lib.io;
}

CChatProxy* Find(const char* name) {
    if (!name) return nullptr;
    Library& lib = Lib();
    std::lock_guard<std::mutex> g(lib.lock);
    auto it = lib.named.find(name);
    return it == lib.named.end() ? nullptr : it->second.get();
}

}  // namespace

void SetTiming(const Timing& t) {
    std::lock_guard<std::mutex> g(Lib().lock);
    Lib().timing = t;
}

}  // namespace relay

using namespace relay;

int net_proxy_init(IInit* init) {
    Library& lib = Lib();
    std::lock_guard<std::mutex> g(lib.lock);
    if (lib.stopping) return -1;
    asio::io_context& io = EnsureStarted(lib);
    if (init) asio::post(io, [init] { init->OnInit(); });
    return 0;
}

IChatProxy* net_proxy_register(const char* name, IProxyStatus* status, int queue) {
    if (!name || !*name) return nullptr;
    Library& lib = Lib();
    std::lock_guard<std::mutex> g(lib.lock);
    if (lib.stopping) return nullptr;
    auto& slot = lib.named[name];
    if (!slot) {
        asio::io_context& io = EnsureStarted(lib);
        slot = std::make_unique<CChatProxy>(std::make_shared<CRelayConnection>(
            io, name, status, queue > 0 ? std::size_t(queue) : 1, lib.timing));
    }
    return slot.get();
}

IChatProxy* net_proxy_generate(const char* name) { return Find(name); }

IAVProxy* net_avproxy_init(int queue) {
    Library& lib = Lib();
    std::lock_guard<std::mutex> g(lib.lock);
    if (lib.stopping) return nullptr;
    if (!lib.av) {
        asio::io_context& io = EnsureStarted(lib);
        lib.av = std::make_unique<CAVProxy>(std::make_shared<CRelayConnection>(
            io, "pc_av", nullptr, queue > 0 ? std::size_t(queue) : 1, lib.timing));
    }
    return lib.av.get();
}

void net_avproxy_release() {
    Library& lib = Lib();
    std::lock_guard<std::mutex> g(lib.lock);
    if (!lib.av) return;
    lib.av->close();
    lib.released.push_back(std::move(lib.av));
}

std::uint32_t get_send_size(const char* name) {
    CChatProxy* p = Find(name);
    return p ? p->conn().TakeSent() : 0;
}

std::uint32_t get_recv_size(const char* name) {
    CChatProxy* p = Find(name);
    return p ? p->conn().TakeReceived() : 0;
}

std::uint32_t get_signal(const char* name) {
    CChatProxy* p = Find(name);
    return p ? p->conn().Signal() : kSignalLost;
}

void net_proxy_shutdown() {
    Library& lib = Lib();
    std::unique_lock<std::mutex> g(lib.lock);
    if (!lib.io) return;
    lib.stopping = true;
    // Close on the I/O thread, after whatever is queued there already — the
    // init callback may still be about to register the chat connection.
    // Sinks may be gone by now: nothing is reported during shutdown.
    asio::post(*lib.io, [&lib] {
        std::lock_guard<std::mutex> inner(lib.lock);
        for (auto& [name, proxy] : lib.named) proxy->conn().Retire();
        if (lib.av) lib.released.push_back(std::move(lib.av));
        for (auto& p : lib.released) p->shutdown();
    });
    lib.work.reset();
    std::thread t = std::move(lib.thread);
    g.unlock();
    // Closing cancels every timer and socket, so the loop runs dry and returns.
    if (t.joinable()) t.join();
    g.lock();
    lib.named.clear();
    lib.av.reset();
    lib.released.clear();
    lib.io.reset();
    lib.stopping = false;
}
