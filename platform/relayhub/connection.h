#pragma once
// One relay connection: a TCP connection that greets the server with its
// name, carries several channels, answers and sends heartbeats and comes back
// by itself after a loss. All socket work and every sink call run on the
// library's I/O thread; Send and the counters may be used from any thread.

#include <asio.hpp>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/relayhub/backoff.h"
#include "platform/relayhub/frame.h"
#include "platform/relayhub/relayhub.h"

namespace relay {

struct Timing {
    std::uint32_t heartbeatMs = 5000;   // ping period
    std::uint32_t deadMs = 20000;       // silence that counts as a lost connection
    std::uint32_t greetMs = 10000;      // wait for the server's hello
    std::uint32_t backoffBaseMs = 1000;
    std::uint32_t backoffCapMs = 30000;
};

class CRelayConnection : public std::enable_shared_from_this<CRelayConnection> {
public:
    CRelayConnection(asio::io_context& io, std::string name, IProxyStatus* status,
                     std::size_t queuePackets, Timing timing);

    void Connect(const std::string& host, std::uint16_t port);
    void Close();
    // Forgets every sink and the status object: no more calls reach them.
    void DetachAll();
    // For good: detaches, closes, and ignores any later Connect.
    void Retire();
    void Attach(std::uint8_t channel, IServerSink* sink);
    bool Send(std::uint8_t channel, std::uint32_t command, const void* body, std::size_t length);

    std::uint32_t Pending(std::uint8_t channel);
    std::uint32_t TakeReceived() { return recvBytes_.exchange(0); }
    std::uint32_t TakeSent() { return sentBytes_.exchange(0); }
    std::uint32_t Signal() const { return up_ ? rttMs_.load() : kSignalLost; }
    std::uint64_t Refused() const { return refused_; }
    bool IsUp() const { return up_; }
    const std::string& name() const { return name_; }

    // Largest number of bytes a channel queue holds before refusing.
    static constexpr std::size_t kQueueBytes = 8u << 20;

private:
    using Clock = std::chrono::steady_clock;

    // I/O thread only.
    void StartAttempt();
    void OnResolved(std::uint64_t gen, const asio::error_code& ec,
                    asio::ip::tcp::resolver::results_type results);
    void OnConnected(std::uint64_t gen, const asio::error_code& ec);
    void StartRead(std::uint64_t gen);
    void OnFrame(const FrameHeader& h, const unsigned char* payload, std::size_t size);
    void GoUp();
    void Fail(std::uint32_t code, const std::string& text, bool isError);
    void ScheduleReconnect();
    void ArmHeartbeat(std::uint64_t gen);
    void KickWrite();
    void WriteNext(std::uint64_t gen);
    void QueueControl(std::string frame);
    void ReportError(std::uint32_t code, const std::string& text);
    std::map<std::uint8_t, IServerSink*> SinksCopy();

    asio::io_context& io_;
    asio::ip::tcp::resolver resolver_;
    asio::ip::tcp::socket socket_;
    asio::steady_timer retryTimer_;
    asio::steady_timer beatTimer_;
    const std::string name_;
    std::atomic<IProxyStatus*> status_;
    const std::size_t queuePackets_;
    const Timing timing_;
    CBackoff backoff_;
    FrameDecoder decoder_;

    std::string host_;
    std::uint16_t port_ = 0;
    std::uint64_t gen_ = 0;       // bumps with every attempt; stale handlers bail out
    bool closed_ = false;
    std::atomic<bool> retired_{false};
    bool greeted_ = false;
    bool outageReported_ = false;
    std::uint32_t pingSeq_ = 0;
    Clock::time_point pingSent_{};
    Clock::time_point lastRecv_{};
    std::array<unsigned char, 65536> readBuf_{};

    std::mutex lock_;  // guards the queues, writing_ and sinks_
    std::map<std::uint8_t, IServerSink*> sinks_;
    std::deque<std::string> control_;
    std::map<std::uint8_t, std::deque<std::string>> queues_;
    std::map<std::uint8_t, std::size_t> queuedBytes_;
    std::uint8_t lastChannel_ = 0;
    bool writing_ = false;
    std::string inFlight_;

    std::atomic<bool> up_{false};
    std::atomic<std::uint32_t> rttMs_{kSignalLost};
    std::atomic<std::uint32_t> recvBytes_{0};
    std::atomic<std::uint32_t> sentBytes_{0};
    std::atomic<std::uint64_t> refused_{0};
};

}  // namespace relay
