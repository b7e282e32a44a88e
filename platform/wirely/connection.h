#pragma once
// One raw TCP connection of the wirely library. The socket, the receive
// buffer and every sink call belong to the library's I/O thread; the
// outgoing bytes are shared with send() under a lock; the "asked" flags are
// the only state other threads write.

#include <asio.hpp>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/wirely/wirely.h"

namespace wirely {

class CWireConnection final : public mw_connection,
                              public std::enable_shared_from_this<CWireConnection> {
public:
    CWireConnection(asio::io_context& io, mw_connect_sink* sink, std::chrono::milliseconds idle);
    ~CWireConnection() override = default;

    // Keeps the object alive until on_release has been delivered.
    void Adopt() { self_ = shared_from_this(); }

    int connect(const char* address, std::uint16_t port, int mode) override;
    int send(const void* bytes, std::size_t length) override;
    int control(unsigned code, const void* value, std::size_t size) override;
    int query(unsigned code, void* value, std::size_t size) override;
    int close() override;
    int release() override;
    int wake() override;

    // Bytes send() holds before it asks the sink to wait for on_write.
    static constexpr std::size_t kOutBytes = 64 * 1024;
    // Unread bytes the library holds before it stops reading from the socket.
    static constexpr std::size_t kInBytes = 256 * 1024;

private:
    using Clock = std::chrono::steady_clock;
    enum class State { Fresh, Connecting, Connected, Closed };

    // I/O thread only.
    void StartConnect(const std::string& address, std::uint16_t port);
    void DoConnect(const asio::ip::tcp::endpoint& to);
    void OnConnected(const asio::error_code& ec);
    void FailConnect(const asio::error_code& ec);
    void StartRead();
    void OnRead(const asio::error_code& ec, std::size_t n);
    void DeliverRead();
    void KickWrite();
    void OnWritten(const asio::error_code& ec);
    void ArmIdle(Clock::duration after);
    void OnIdle(const asio::error_code& ec);
    void DoClose(int reason);
    void CloseConnected();
    void DoRelease();
    void Touch() { last_ = Clock::now(); }
    bool Hears() const { return !released_ && !releaseAsked_.load(); }
    template <class F>
    void Post(F f) {
        asio::post(io_, [self = shared_from_this(), f = std::move(f)]() mutable { f(*self); });
    }

    asio::io_context& io_;
    asio::ip::tcp::resolver resolver_;
    asio::ip::tcp::socket socket_;
    asio::steady_timer idle_;
    mw_connect_sink* const sink_;
    const std::chrono::milliseconds idleTime_;
    std::shared_ptr<CWireConnection> self_;

    State state_ = State::Fresh;
    bool released_ = false;     // on_release delivered
    int cancelReason_ = 0;      // why a pending connect was cancelled (errno value)
    Clock::time_point last_{};  // last byte in or out, or the connect's start
    std::atomic<bool> connectAsked_{false}, closeAsked_{false}, releaseAsked_{false};
    std::atomic<bool> connected_{false};

    std::vector<unsigned char> in_;  // received, not yet acknowledged from inRead_ on
    std::size_t inRead_ = 0;
    std::array<unsigned char, 16384> readBuf_{};
    bool reading_ = false;

    std::mutex outLock_;  // guards out_ and wantWrite_
    std::string out_;
    bool wantWrite_ = false;  // a send was refused: on_write once there is room
    std::string inFlight_;    // I/O thread
    bool writing_ = false;    // I/O thread
};

}  // namespace wirely
