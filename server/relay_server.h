#pragma once
// The listening side of the relay framing: accepts connections, waits for the
// client's hello, answers heartbeats and hands packets to a handler. Each
// session works on its own strand; the handler may be called from any I/O
// thread, one call at a time per session.
//
// Limits that keep one client from hurting the others: frames above the
// framing maximum or with a bad header close that connection; a session whose
// unsent output exceeds kMaxOutputBytes (a client that stopped reading) is
// dropped; a client that says nothing for kIdleMs is dropped.

#include <asio.hpp>

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/relayhub/frame.h"

namespace server {

class CRelaySession;
using SessionPtr = std::shared_ptr<CRelaySession>;

class IRelayHandler {
public:
    virtual ~IRelayHandler() = default;
    // The client's hello. False refuses the connection with `reason`.
    virtual bool OnHello(const SessionPtr& s, const std::string& name, std::string& reason) = 0;
    virtual void OnPacket(const SessionPtr& s, std::uint8_t channel, std::uint32_t command,
                          const unsigned char* body, std::size_t length) = 0;
    virtual void OnClosed(const SessionPtr& s) = 0;
};

class CRelaySession : public std::enable_shared_from_this<CRelaySession> {
public:
    static constexpr std::size_t kMaxOutputBytes = 4u << 20;
    static constexpr std::uint32_t kIdleMs = 60000;
    // After an error frame: how long unread input is drained before the
    // socket closes (closing with input pending resets the connection, and
    // the peer may lose the error frame).
    static constexpr std::uint32_t kLingerMs = 2000;

    CRelaySession(asio::ip::tcp::socket socket, IRelayHandler& handler, std::uint64_t id);

    void Start();
    // Thread-safe. False when the session is closed or was just dropped for
    // exceeding its output limit.
    bool Send(std::uint8_t channel, std::uint32_t command, std::string_view body);
    // Sends an error frame, then closes.
    void CloseWithError(std::uint32_t code, const std::string& text);
    void Close();
    // Closes once everything queued so far has been written.
    void CloseAfterSending();

    std::uint64_t id() const { return id_; }
    const std::string& name() const { return name_; }  // "pc_chat", "pc_av", …
    // The peer's IP address as text, taken when the connection was accepted.
    const std::string& remoteAddress() const { return remote_; }
    bool closed() const { return closed_; }
    std::size_t queuedBytes() const { return queuedBytes_; }

    // Free for the handler: who this session belongs to once it logs in.
    std::atomic<std::uint32_t> userId{0};

private:
    void ReadMore();
    void OnFrame(const relay::FrameHeader& h, const unsigned char* payload, std::size_t size);
    void Enqueue(std::string frame);
    void WriteNext();
    void ArmIdle();
    void Linger();
    void NotifyClosed();
    void DoClose();

    asio::ip::tcp::socket socket_;
    asio::strand<asio::any_io_executor> strand_;
    asio::steady_timer idle_;
    asio::steady_timer linger_;
    IRelayHandler& handler_;
    const std::uint64_t id_;
    std::string name_;
    std::string remote_;
    bool greeted_ = false;
    relay::FrameDecoder decoder_;
    std::array<unsigned char, 65536> readBuf_{};

    std::mutex lock_;
    std::deque<std::string> out_;
    bool writing_ = false;
    std::atomic<std::size_t> queuedBytes_{0};
    std::atomic<bool> closed_{false};
    bool closeAfterWrite_ = false;
    std::atomic<bool> lingering_{false};  // error sent: nothing more goes out
    bool notified_ = false;  // OnClosed has run
    std::chrono::steady_clock::time_point lastRecv_;
};

class CRelayServer {
public:
    CRelayServer(asio::io_context& io, IRelayHandler& handler);
    // Binds and listens; false with a reason.
    bool Listen(const std::string& address, std::uint16_t port, std::string& error);
    std::uint16_t port() const { return port_; }
    void Stop();

private:
    void Accept();

    asio::io_context& io_;
    asio::ip::tcp::acceptor acceptor_;
    IRelayHandler& handler_;
    std::uint16_t port_ = 0;
    std::atomic<std::uint64_t> nextId_{1};
};

}  // namespace server
