#include "server/relay_server.h"

#include <boost/asio.hpp>

#include <chrono>
#include <deque>
#include <vector>
#include <mutex>

#include "platform/relayhub/frame.h"
#include "server/accept_loop.h"

namespace server {

using relay::EncodeFrame;
using relay::FrameHeader;

namespace {

using Clock = std::chrono::steady_clock;

// Bytes read per wake-up, on the I/O thread's stack: idle sessions own none.
constexpr std::size_t kReadChunk = 16 * 1024;
// What one write gathers from the queue: many small frames per system call,
// bounded so one busy session does not hold its thread for long.
constexpr std::size_t kGatherFrames = 64;
constexpr std::size_t kGatherBytes = 256 * 1024;

}  // namespace

// A session over a socket.
class CRelayConnection final : public CRelaySession,
                               public std::enable_shared_from_this<CRelayConnection> {
public:
    static constexpr std::size_t kMaxOutputBytes = kRelayMaxOutputBytes;
    static constexpr std::uint32_t kLingerMs = kRelayLingerMs;

    CRelayConnection(tcp::socket socket, IRelayHandler& handler, std::uint64_t id,
                     RelayLimits limits);

    void Start();
    bool Send(std::uint8_t channel, std::uint32_t command, std::string_view body) override;
    bool Send(const SharedPacket& p) override;
    void CloseWithError(std::uint32_t code, const std::string& text) override;
    void Close() override;
    void CloseAfterSending() override;

    std::uint64_t id() const override { return id_; }
    const std::string& name() const override { return name_; }
    const std::string& remoteAddress() const override { return remote_; }
    bool closed() const override { return closed_; }
    std::size_t queuedBytes() const override { return queuedBytes_; }

private:
    void ReadMore();
    void OnFrame(const relay::FrameHeader& h, const unsigned char* payload, std::size_t size);
    void Enqueue(std::string frame);
    void Enqueue(std::shared_ptr<const std::string> frame);
    bool Admit(std::size_t bytes);
    void WriteNext();
    void ArmDeadline();
    // When the silence, hello or frame deadline passes, whichever is first.
    std::chrono::steady_clock::time_point NextDeadline() const;
    void Linger();
    void NotifyClosed();
    void DoClose();

    tcp::socket socket_;
    net::strand<net::any_io_executor> strand_;
    net::steady_timer deadline_;
    net::steady_timer linger_;
    IRelayHandler& handler_;
    const std::uint64_t id_;
    const RelayLimits limits_;
    std::string name_;
    std::string remote_;
    bool greeted_ = false;
    relay::FrameDecoder decoder_;

    std::mutex lock_;
    // Frames are shared with the other sessions of a fan-out, never copied.
    // A frame's bytes stay put while it is queued (the deque only grows at
    // the back and shrinks at the front), so a write may point into them.
    std::deque<std::shared_ptr<const std::string>> out_;
    std::size_t inFlight_ = 0;  // frames of the write under way
    bool writing_ = false;
    std::atomic<std::size_t> queuedBytes_{0};
    std::atomic<bool> closed_{false};
    bool closeAfterWrite_ = false;
    std::atomic<bool> lingering_{false};  // error sent: nothing more goes out
    bool notified_ = false;  // OnClosed has run
    std::chrono::steady_clock::time_point started_;
    std::chrono::steady_clock::time_point lastRecv_;
    std::chrono::steady_clock::time_point frameStarted_;  // of the frame in flight
    bool inFrame_ = false;
    std::chrono::steady_clock::time_point armedFor_;  // the deadline timer's expiry
};


CRelayConnection::CRelayConnection(tcp::socket socket, IRelayHandler& handler, std::uint64_t id,
                                   RelayLimits limits)
    : socket_(std::move(socket)),
      strand_(net::make_strand(socket_.get_executor())),
      deadline_(strand_),
      linger_(strand_),
      handler_(handler),
      id_(id),
      limits_(limits),
      decoder_([this](const FrameHeader& h, const unsigned char* p, std::size_t n) {
          OnFrame(h, p, n);
      }) {
    boost::system::error_code ec;
    const auto peer = socket_.remote_endpoint(ec);
    if (!ec) remote_ = peer.address().to_string();
}

void CRelayConnection::Start() {
    net::dispatch(strand_, [self = shared_from_this()] {
        boost::system::error_code ignore;
        self->socket_.set_option(tcp::no_delay(true), ignore);
        self->socket_.non_blocking(true, ignore);
        self->started_ = self->lastRecv_ = Clock::now();
        self->ArmDeadline();
        self->ReadMore();
    });
}

Clock::time_point CRelayConnection::NextDeadline() const {
    auto at = lastRecv_ + std::chrono::milliseconds(limits_.idleMs);
    if (!greeted_) at = std::min(at, started_ + std::chrono::milliseconds(limits_.helloMs));
    if (inFrame_) at = std::min(at, frameStarted_ + std::chrono::milliseconds(limits_.frameMs));
    return at;
}

void CRelayConnection::ArmDeadline() {
    armedFor_ = NextDeadline();
    deadline_.expires_at(armedFor_);
    deadline_.async_wait([self = shared_from_this()](const boost::system::error_code& ec) {
        if (ec || self->closed_ || self->lingering_) return;
        if (Clock::now() >= self->NextDeadline()) {
            // Silent, never greeted, or a frame that does not come to its
            // end: the slot goes to someone who uses it.
            self->DoClose();
            return;
        }
        self->ArmDeadline();
    });
}

void CRelayConnection::ReadMore() {
    socket_.async_wait(
        tcp::socket::wait_read,
        net::bind_executor(strand_, [self = shared_from_this()](const boost::system::error_code& ec) {
            if (self->closed_) return;
            if (ec) {
                self->DoClose();
                return;
            }
            unsigned char buf[kReadChunk];
            boost::system::error_code rec;
            const std::size_t n = self->socket_.read_some(net::buffer(buf), rec);
            if (rec == net::error::would_block) {
                self->ReadMore();
                return;
            }
            if (rec) {
                self->DoClose();
                return;
            }
            self->lastRecv_ = Clock::now();
            // Once an error frame is on its way, input is only drained.
            if (!self->closeAfterWrite_) {
                if (!self->decoder_.Feed(buf, n)) {
                    // A peer that breaks the framing is told why and dropped.
                    self->CloseWithError(1, self->decoder_.error());
                } else if (self->decoder_.midFrame() != self->inFrame_) {
                    self->inFrame_ = !self->inFrame_;
                    if (self->inFrame_) {
                        self->frameStarted_ = self->lastRecv_;
                        if (self->NextDeadline() < self->armedFor_) self->ArmDeadline();
                    }
                }
            }
            if (!self->closed_) self->ReadMore();
        }));
}

void CRelayConnection::OnFrame(const FrameHeader& h, const unsigned char* payload,
                            std::size_t size) {
    if (closed_ || closeAfterWrite_) return;
    if (!greeted_) {
        if (h.type != relay::kFrameHello) {
            CloseWithError(1, "hello expected");
            return;
        }
        name_.assign(reinterpret_cast<const char*>(payload), size);
        std::string reason;
        if (!handler_.OnHello(shared_from_this(), name_, reason)) {
            CloseWithError(2, reason.empty() ? "refused" : reason);
            return;
        }
        greeted_ = true;
        Enqueue(EncodeFrame(relay::kFrameHello, 0, 0, "zeri-server"));
        return;
    }
    switch (h.type) {
        case relay::kFramePacket:
            CSharedPacket::FrameArrived(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                            lastRecv_.time_since_epoch())
                                            .count());
            handler_.OnPacket(shared_from_this(), h.channel, h.command, payload, size);
            CSharedPacket::FrameArrived(0);
            break;
        case relay::kFramePing:
            Enqueue(EncodeFrame(relay::kFramePong, 0, h.command));
            break;
        default:
            break;  // pongs, repeated hellos: nothing to do
    }
}

bool CRelayConnection::Admit(std::size_t bytes) {
    if (closed_ || lingering_) return false;
    if (queuedBytes_ + bytes > kMaxOutputBytes) {
        // The client stopped reading: drop it rather than grow without bound.
        net::post(strand_, [self = shared_from_this()] { self->DoClose(); });
        closed_ = true;
        return false;
    }
    return true;
}

bool CRelayConnection::Send(std::uint8_t channel, std::uint32_t command, std::string_view body) {
    if (body.size() > relay::kMaxFramePayload || !Admit(body.size())) return false;
    Enqueue(EncodeFrame(relay::kFramePacket, channel, command, body));
    return true;
}

bool CRelayConnection::Send(const SharedPacket& p) {
    if (!p || !Admit(p->body().size())) return false;
    // Shares the packet's bytes: the frame lives as long as any queue holds it.
    Enqueue(std::shared_ptr<const std::string>(p, &p->frame()));
    return true;
}

void CRelayConnection::Enqueue(std::string frame) {
    Enqueue(std::make_shared<const std::string>(std::move(frame)));
}

void CRelayConnection::Enqueue(std::shared_ptr<const std::string> frame) {
    queuedBytes_ += frame->size();
    bool start = false;
    {
        std::lock_guard<std::mutex> g(lock_);
        out_.push_back(std::move(frame));
        if (!writing_) writing_ = start = true;
    }
    // Posted, never run here: a fan-out only queues, and each session
    // writes on its own strand, not on the sender's thread.
    if (start) net::post(strand_, [self = shared_from_this()] { self->WriteNext(); });
}

void CRelayConnection::WriteNext() {
    std::vector<net::const_buffer> gather;
    {
        std::lock_guard<std::mutex> g(lock_);
        if (!out_.empty() && socket_.is_open()) {
            std::size_t bytes = 0;
            for (const auto& f : out_) {
                if (gather.size() == kGatherFrames ||
                    (!gather.empty() && bytes + f->size() > kGatherBytes))
                    break;
                gather.push_back(net::buffer(*f));
                bytes += f->size();
            }
            inFlight_ = gather.size();
        } else {
            writing_ = false;
        }
    }
    if (gather.empty()) {
        if (closeAfterWrite_) Linger();
        return;
    }
    net::async_write(
        socket_, gather,
        net::bind_executor(strand_, [self = shared_from_this()](const boost::system::error_code& ec,
                                                                   std::size_t n) {
            {
                std::lock_guard<std::mutex> g(self->lock_);
                self->out_.erase(self->out_.begin(),
                                 self->out_.begin() + static_cast<long>(self->inFlight_));
                self->inFlight_ = 0;
            }
            self->queuedBytes_ -= n;
            if (ec) {
                self->DoClose();
                return;
            }
            self->WriteNext();
        }));
}

void CRelayConnection::CloseWithError(std::uint32_t code, const std::string& text) {
    net::dispatch(strand_, [self = shared_from_this(), code, text] {
        if (self->closed_ || self->closeAfterWrite_) return;
        self->Enqueue(EncodeFrame(relay::kFrameError, 0, code, text));
        self->closeAfterWrite_ = true;
    });
}

void CRelayConnection::Linger() {
    if (lingering_ || closed_) return;
    lingering_ = true;
    // The peer reads the error frame, then end of stream; whatever it still
    // sends is read and dropped until it closes or the time is up.
    boost::system::error_code ignore;
    socket_.shutdown(net::ip::tcp::socket::shutdown_send, ignore);
    linger_.expires_after(std::chrono::milliseconds(kLingerMs));
    linger_.async_wait([self = shared_from_this()](const boost::system::error_code&) { self->DoClose(); });
    // For the handler the session ends now.
    NotifyClosed();
}

void CRelayConnection::NotifyClosed() {
    if (notified_) return;
    notified_ = true;
    handler_.OnClosed(shared_from_this());
}

void CRelayConnection::CloseAfterSending() {
    net::post(strand_, [self = shared_from_this()] {
        if (self->closed_ || self->closeAfterWrite_) return;
        self->closeAfterWrite_ = true;
        bool idle;
        {
            std::lock_guard<std::mutex> g(self->lock_);
            idle = !self->writing_;
        }
        if (idle) self->Linger();
    });
}

void CRelayConnection::Close() {
    net::post(strand_, [self = shared_from_this()] { self->DoClose(); });
}

void CRelayConnection::DoClose() {
    const bool wasOpen = socket_.is_open();
    closed_ = true;
    boost::system::error_code ignore;
    deadline_.cancel();
    linger_.cancel();
    socket_.shutdown(net::ip::tcp::socket::shutdown_both, ignore);
    socket_.close(ignore);
    if (wasOpen) NotifyClosed();
}

CRelayServer::CRelayServer(net::io_context& io, IRelayHandler& handler, RelayLimits limits)
    : handler_(handler),
      limits_(limits),
      accept_(std::make_unique<CAcceptLoop>(io, "relay", [this](tcp::socket socket) {
          std::make_shared<CRelayConnection>(std::move(socket), handler_, nextId_++, limits_)
              ->Start();
      })) {}

CRelayServer::~CRelayServer() = default;

bool CRelayServer::Listen(const std::string& address, std::uint16_t port, std::string& error) {
    return accept_->Listen(address, port, error);
}

std::uint16_t CRelayServer::port() const { return accept_->port(); }
void CRelayServer::Stop() { accept_->Stop(); }
unsigned CRelayServer::starvedEpisodes() const { return accept_->starvedEpisodes(); }

}  // namespace server
