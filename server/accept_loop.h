#pragma once
// Accepts connections until stopped. When the process runs out of file
// descriptors, accept fails at once and would fail again at once: instead
// of spinning, the loop pauses (100 ms, doubling to 1 s), says so once per
// episode in the log, and resumes by itself when descriptors free up.

#include <boost/asio.hpp>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>

namespace server {

namespace net = boost::asio;
using tcp = net::ip::tcp;

class CAcceptLoop {
public:
    using OnAccept = std::function<void(tcp::socket)>;
    static constexpr std::chrono::milliseconds kFirstPause{100};
    static constexpr std::chrono::milliseconds kLongestPause{1000};

    // `name` appears in the log ("relay", "http").
    CAcceptLoop(net::io_context& io, std::string name, OnAccept onAccept);

    // Binds and listens; false with a reason.
    bool Listen(const std::string& address, std::uint16_t port, std::string& error);
    std::uint16_t port() const { return port_; }
    // Thread-safe: closes the listener on its own executor.
    void Stop();
    // Episodes of running out of descriptors so far (tests).
    unsigned starvedEpisodes() const { return episodes_; }

private:
    void Accept();
    void Pause();

    net::io_context& io_;
    tcp::acceptor acceptor_;
    net::steady_timer pause_;
    std::string name_;
    OnAccept onAccept_;
    std::uint16_t port_ = 0;
    std::chrono::milliseconds nextPause_ = kFirstPause;
    bool starved_ = false;
    std::atomic<unsigned> episodes_{0};
};

}  // namespace server
