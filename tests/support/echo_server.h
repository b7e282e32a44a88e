#pragma once
// A relay server for tests: the real listener with a handler that echoes
// every packet back on its channel, run on its own thread.

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "server/io_runner.h"
#include "server/relay_server.h"

namespace testsupport {

using namespace std::chrono_literals;

// Echoes every packet back on its channel; a hello named "refuse-me" is refused.
class EchoHandler : public server::IRelayHandler {
public:
    std::mutex m;
    std::condition_variable cv;
    std::vector<server::SessionPtr> sessions;
    std::vector<std::pair<std::uint32_t, std::string>> got;
    int closed = 0;
    bool OnHello(const server::SessionPtr& s, const std::string& name, std::string& reason) override {
        if (name == "refuse-me") {
            reason = "not welcome";
            return false;
        }
        std::lock_guard<std::mutex> g(m);
        sessions.push_back(s);
        cv.notify_all();
        return true;
    }
    void OnPacket(const server::SessionPtr& s, std::uint8_t ch, std::uint32_t cmd,
                  const unsigned char* body, std::size_t n) override {
        {
            std::lock_guard<std::mutex> g(m);
            got.emplace_back(cmd, std::string(reinterpret_cast<const char*>(body), n));
            cv.notify_all();
        }
        s->Send(ch, cmd, std::string_view(reinterpret_cast<const char*>(body), n));
    }
    void OnClosed(const server::SessionPtr&) override {
        std::lock_guard<std::mutex> g(m);
        ++closed;
        cv.notify_all();
    }
};

class EchoServer {
public:
    explicit EchoServer(std::uint16_t port = 0) : relay(runner.io(), handler) {
        std::string err;
        if (!relay.Listen("127.0.0.1", port, err)) throw std::runtime_error(err);
        runner.Start();
        running = true;
    }
    ~EchoServer() { Stop(); }
    void Stop() {
        if (!running) return;
        running = false;
        relay.Stop();
        {
            std::lock_guard<std::mutex> g(handler.m);
            for (auto& s : handler.sessions) s->Close();
        }
        // Let the closes run so the port refuses at once; stop outright if a
        // late session keeps the loop busy.
        runner.Stop(2000ms);
        handler.sessions.clear();
    }
    std::uint16_t port() const { return relay.port(); }
    server::CIoRunner runner;
    EchoHandler handler;
    server::CRelayServer relay;
    bool running = false;
};


}  // namespace testsupport
