#include "server/relay_server.h"

namespace server {

using relay::EncodeFrame;
using relay::FrameHeader;

CRelaySession::CRelaySession(asio::ip::tcp::socket socket, IRelayHandler& handler,
                             std::uint64_t id)
    : socket_(std::move(socket)),
      strand_(asio::make_strand(socket_.get_executor())),
      idle_(strand_),
      linger_(strand_),
      handler_(handler),
      id_(id),
      decoder_([this](const FrameHeader& h, const unsigned char* p, std::size_t n) {
          OnFrame(h, p, n);
      }) {
    asio::error_code ec;
    const auto peer = socket_.remote_endpoint(ec);
    if (!ec) remote_ = peer.address().to_string();
}

void CRelaySession::Start() {
    asio::dispatch(strand_, [self = shared_from_this()] {
        asio::error_code ignore;
        self->socket_.set_option(asio::ip::tcp::no_delay(true), ignore);
        self->lastRecv_ = std::chrono::steady_clock::now();
        self->ArmIdle();
        self->ReadMore();
    });
}

void CRelaySession::ArmIdle() {
    idle_.expires_after(std::chrono::milliseconds(kIdleMs / 2));
    idle_.async_wait([self = shared_from_this()](const asio::error_code& ec) {
        if (ec || self->closed_) return;
        if (std::chrono::steady_clock::now() - self->lastRecv_ >
            std::chrono::milliseconds(kIdleMs)) {
            self->DoClose();
            return;
        }
        self->ArmIdle();
    });
}

void CRelaySession::ReadMore() {
    socket_.async_read_some(
        asio::buffer(readBuf_),
        asio::bind_executor(strand_, [self = shared_from_this()](const asio::error_code& ec,
                                                                   std::size_t n) {
            if (self->closed_) return;
            if (ec) {
                self->DoClose();
                return;
            }
            self->lastRecv_ = std::chrono::steady_clock::now();
            // Once an error frame is on its way, input is only drained.
            if (!self->closeAfterWrite_ && !self->decoder_.Feed(self->readBuf_.data(), n)) {
                // A peer that breaks the framing is told why and dropped.
                self->CloseWithError(1, self->decoder_.error());
            }
            if (!self->closed_) self->ReadMore();
        }));
}

void CRelaySession::OnFrame(const FrameHeader& h, const unsigned char* payload,
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
            handler_.OnPacket(shared_from_this(), h.channel, h.command, payload, size);
            break;
        case relay::kFramePing:
            Enqueue(EncodeFrame(relay::kFramePong, 0, h.command));
            break;
        default:
            break;  // pongs, repeated hellos: nothing to do
    }
}

bool CRelaySession::Send(std::uint8_t channel, std::uint32_t command, std::string_view body) {
    if (closed_ || lingering_ || body.size() > relay::kMaxFramePayload) return false;
    if (queuedBytes_ + body.size() > kMaxOutputBytes) {
        // The client stopped reading: drop it rather than grow without bound.
        asio::post(strand_, [self = shared_from_this()] { self->DoClose(); });
        closed_ = true;
        return false;
    }
    Enqueue(EncodeFrame(relay::kFramePacket, channel, command, body));
    return true;
}

void CRelaySession::Enqueue(std::string frame) {
    queuedBytes_ += frame.size();
    bool start = false;
    {
        std::lock_guard<std::mutex> g(lock_);
        out_.push_back(std::move(frame));
        if (!writing_) writing_ = start = true;
    }
    if (start) asio::dispatch(strand_, [self = shared_from_this()] { self->WriteNext(); });
}

void CRelaySession::WriteNext() {
    std::string* front = nullptr;
    {
        std::lock_guard<std::mutex> g(lock_);
        if (!out_.empty() && socket_.is_open()) front = &out_.front();  // stable while we append
        else writing_ = false;
    }
    if (!front) {
        if (closeAfterWrite_) Linger();
        return;
    }
    asio::async_write(
        socket_, asio::buffer(*front),
        asio::bind_executor(strand_, [self = shared_from_this()](const asio::error_code& ec,
                                                                   std::size_t n) {
            {
                std::lock_guard<std::mutex> g(self->lock_);
                self->out_.pop_front();
            }
            self->queuedBytes_ -= n;
            if (ec) {
                self->DoClose();
                return;
            }
            self->WriteNext();
        }));
}

void CRelaySession::CloseWithError(std::uint32_t code, const std::string& text) {
    asio::dispatch(strand_, [self = shared_from_this(), code, text] {
        if (self->closed_ || self->closeAfterWrite_) return;
        self->Enqueue(EncodeFrame(relay::kFrameError, 0, code, text));
        self->closeAfterWrite_ = true;
    });
}

void CRelaySession::Linger() {
    if (lingering_ || closed_) return;
    lingering_ = true;
    // The peer reads the error frame, then end of stream; whatever it still
    // sends is read and dropped until it closes or the time is up.
    asio::error_code ignore;
    socket_.shutdown(asio::ip::tcp::socket::shutdown_send, ignore);
    linger_.expires_after(std::chrono::milliseconds(kLingerMs));
    linger_.async_wait([self = shared_from_this()](const asio::error_code&) { self->DoClose(); });
    // For the handler the session ends now.
    NotifyClosed();
}

void CRelaySession::NotifyClosed() {
    if (notified_) return;
    notified_ = true;
    handler_.OnClosed(shared_from_this());
}

void CRelaySession::CloseAfterSending() {
    asio::post(strand_, [self = shared_from_this()] {
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

void CRelaySession::Close() {
    asio::post(strand_, [self = shared_from_this()] { self->DoClose(); });
}

void CRelaySession::DoClose() {
    const bool wasOpen = socket_.is_open();
    closed_ = true;
    asio::error_code ignore;
    idle_.cancel();
    linger_.cancel();
    socket_.shutdown(asio::ip::tcp::socket::shutdown_both, ignore);
    socket_.close(ignore);
    if (wasOpen) NotifyClosed();
}

CRelayServer::CRelayServer(asio::io_context& io, IRelayHandler& handler)
    : io_(io), acceptor_(io), handler_(handler) {}

bool CRelayServer::Listen(const std::string& address, std::uint16_t port, std::string& error) {
    asio::error_code ec;
    const auto addr = asio::ip::make_address(address, ec);
    if (ec) {
        error = "bad listen address '" + address + "'";
        return false;
    }
    const asio::ip::tcp::endpoint ep(addr, port);
    acceptor_.open(ep.protocol(), ec);
    if (!ec) acceptor_.set_option(asio::ip::tcp::acceptor::reuse_address(true), ec);
    if (!ec) acceptor_.bind(ep, ec);
    if (!ec) acceptor_.listen(asio::socket_base::max_listen_connections, ec);
    if (ec) {
        error = "cannot listen on " + address + ":" + std::to_string(port) + ": " + ec.message();
        asio::error_code ignore;
        acceptor_.close(ignore);
        return false;
    }
    port_ = acceptor_.local_endpoint().port();
    Accept();
    return true;
}

void CRelayServer::Accept() {
    acceptor_.async_accept(asio::make_strand(io_), [this](const asio::error_code& ec,
                                                          asio::ip::tcp::socket socket) {
        if (ec == asio::error::operation_aborted || !acceptor_.is_open()) return;
        if (!ec)
            std::make_shared<CRelaySession>(std::move(socket), handler_, nextId_++)->Start();
        Accept();
    });
}

void CRelayServer::Stop() {
    asio::post(io_, [this] {
        asio::error_code ignore;
        acceptor_.close(ignore);
    });
}

}  // namespace server
