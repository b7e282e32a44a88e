#include "platform/relayhub/connection.h"

#include <cstdio>

namespace relay {

CRelayConnection::CRelayConnection(asio::io_context& io, std::string name, IProxyStatus* status,
                                   std::size_t queuePackets, Timing timing)
    : io_(io),
      resolver_(io),
      socket_(io),
      retryTimer_(io),
      beatTimer_(io),
      name_(std::move(name)),
      status_(status),
      queuePackets_(queuePackets ? queuePackets : 1),
      timing_(timing),
      backoff_(timing.backoffBaseMs, timing.backoffCapMs),
      decoder_([this](const FrameHeader& h, const unsigned char* p, std::size_t n) {
          OnFrame(h, p, n);
      }) {}

void CRelayConnection::Connect(const std::string& host, std::uint16_t port) {
    asio::post(io_, [self = shared_from_this(), host, port] {
        if (self->retired_) return;
        self->host_ = host;
        self->port_ = port;
        self->closed_ = false;
        self->backoff_.Reset();
        if (self->socket_.is_open()) self->Fail(0, std::string(), false);
        // Fail schedules a retry when the old socket was open; start at once instead.
        self->retryTimer_.cancel();
        self->StartAttempt();
    });
}

void CRelayConnection::Close() {
    asio::post(io_, [self = shared_from_this()] {
        self->closed_ = true;
        self->retryTimer_.cancel();
        self->Fail(0, std::string(), false);
    });
}

void CRelayConnection::Retire() {
    retired_ = true;
    DetachAll();
    Close();
}

void CRelayConnection::DetachAll() {
    status_ = nullptr;
    std::lock_guard<std::mutex> g(lock_);
    sinks_.clear();
}

void CRelayConnection::Attach(std::uint8_t channel, IServerSink* sink) {
    {
        std::lock_guard<std::mutex> g(lock_);
        sinks_[channel] = sink;
    }
    // A sink attached to a live connection hears that it is up.
    asio::post(io_, [self = shared_from_this(), channel, sink] {
        if (!self->up_ || !sink) return;
        sink->OnJoin(channel);
        sink->OnConnect();
    });
}

bool CRelayConnection::Send(std::uint8_t channel, std::uint32_t command, const void* body,
                            std::size_t length) {
    if (length > kMaxFramePayload) {
        ++refused_;
        return false;
    }
    {
        std::lock_guard<std::mutex> g(lock_);
        auto& q = queues_[channel];
        auto& bytes = queuedBytes_[channel];
        if (!up_ || q.size() >= queuePackets_ || bytes + length > kQueueBytes) {
            ++refused_;
            return false;
        }
        q.push_back(EncodeFrame(kFramePacket, channel, command, body, length));
        bytes += q.back().size();
    }
    KickWrite();
    return true;
}

std::uint32_t CRelayConnection::Pending(std::uint8_t channel) {
    std::lock_guard<std::mutex> g(lock_);
    auto it = queues_.find(channel);
    return it == queues_.end() ? 0 : static_cast<std::uint32_t>(it->second.size());
}

std::map<std::uint8_t, IServerSink*> CRelayConnection::SinksCopy() {
    std::lock_guard<std::mutex> g(lock_);
    return sinks_;
}

void CRelayConnection::StartAttempt() {
    if (closed_ || host_.empty()) return;
    const std::uint64_t gen = ++gen_;
    resolver_.async_resolve(
        host_, std::to_string(port_),
        [self = shared_from_this(), gen](const asio::error_code& ec,
                                         asio::ip::tcp::resolver::results_type results) {
            self->OnResolved(gen, ec, std::move(results));
        });
}

void CRelayConnection::OnResolved(std::uint64_t gen, const asio::error_code& ec,
                                  asio::ip::tcp::resolver::results_type results) {
    if (gen != gen_ || closed_) return;
    if (ec) {
        Fail(static_cast<std::uint32_t>(ec.value()), "cannot resolve " + host_ + ": " + ec.message(),
             true);
        return;
    }
    asio::async_connect(socket_, results,
                        [self = shared_from_this(), gen](const asio::error_code& e,
                                                         const asio::ip::tcp::endpoint&) {
                            self->OnConnected(gen, e);
                        });
}

void CRelayConnection::OnConnected(std::uint64_t gen, const asio::error_code& ec) {
    if (gen != gen_ || closed_) return;
    if (ec) {
        Fail(static_cast<std::uint32_t>(ec.value()),
             "cannot connect to " + host_ + ":" + std::to_string(port_) + ": " + ec.message(), true);
        return;
    }
    asio::error_code ignore;
    socket_.set_option(asio::ip::tcp::no_delay(true), ignore);
    decoder_.Reset();
    greeted_ = false;
    lastRecv_ = Clock::now();
    QueueControl(EncodeFrame(kFrameHello, 0, 0, name_));
    beatTimer_.expires_after(std::chrono::milliseconds(timing_.greetMs));
    beatTimer_.async_wait([self = shared_from_this(), gen](const asio::error_code& e) {
        if (e || gen != self->gen_ || self->greeted_) return;
        self->Fail(3, "no answer from the server", true);
    });
    StartRead(gen);
}

void CRelayConnection::StartRead(std::uint64_t gen) {
    socket_.async_read_some(
        asio::buffer(readBuf_),
        [self = shared_from_this(), gen](const asio::error_code& ec, std::size_t n) {
            if (gen != self->gen_) return;
            if (ec) {
                const bool lost = ec == asio::error::eof;
                self->Fail(static_cast<std::uint32_t>(ec.value()),
                           lost ? "connection closed by the server" : ec.message(),
                           !self->up_ && !lost);
                return;
            }
            self->recvBytes_ += static_cast<std::uint32_t>(n);
            self->lastRecv_ = Clock::now();
            if (!self->decoder_.Feed(self->readBuf_.data(), n)) {
                if (gen == self->gen_) self->Fail(1, self->decoder_.error(), true);
                return;
            }
            if (gen == self->gen_) self->StartRead(gen);
        });
}

void CRelayConnection::OnFrame(const FrameHeader& h, const unsigned char* payload,
                               std::size_t size) {
    if (!socket_.is_open()) return;  // failed earlier in this same read
    switch (h.type) {
        case kFrameHello:
            if (!greeted_) GoUp();
            break;
        case kFramePacket: {
            if (!up_) break;
            IServerSink* sink = nullptr;
            {
                std::lock_guard<std::mutex> g(lock_);
                auto it = sinks_.find(h.channel);
                if (it != sinks_.end()) sink = it->second;
            }
            if (!sink) break;
            pkinfo pk;
            pk.cmd = h.command;
            pk.length = static_cast<std::uint32_t>(size);
            pk.body = const_cast<unsigned char*>(payload);
            sink->OnPacket(h.channel, &pk);
            break;
        }
        case kFramePing:
            QueueControl(EncodeFrame(kFramePong, 0, h.command));
            break;
        case kFramePong:
            if (h.command == pingSeq_) {
                const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                    Clock::now() - pingSent_);
                rttMs_ = static_cast<std::uint32_t>(ms.count());
            }
            break;
        case kFrameError:
            Fail(h.command, std::string(reinterpret_cast<const char*>(payload), size), true);
            break;
        default:
            break;
    }
}

void CRelayConnection::GoUp() {
    greeted_ = true;
    {
        std::lock_guard<std::mutex> g(lock_);
        up_ = true;
    }
    backoff_.Reset();
    outageReported_ = false;
    lastRecv_ = Clock::now();
    const std::uint64_t gen = gen_;
    if (IProxyStatus* st = status_.load()) st->OnConnect();
    for (auto& [ch, sink] : SinksCopy()) {
        if (gen != gen_) return;  // a sink closed us
        if (!sink) continue;
        sink->OnJoin(ch);
        sink->OnConnect();
    }
    if (gen != gen_) return;
    ++pingSeq_;
    pingSent_ = Clock::now();
    QueueControl(EncodeFrame(kFramePing, 0, pingSeq_));
    ArmHeartbeat(gen);
}

void CRelayConnection::ArmHeartbeat(std::uint64_t gen) {
    beatTimer_.expires_after(std::chrono::milliseconds(timing_.heartbeatMs));
    beatTimer_.async_wait([self = shared_from_this(), gen](const asio::error_code& ec) {
        if (ec || gen != self->gen_) return;
        if (Clock::now() - self->lastRecv_ > std::chrono::milliseconds(self->timing_.deadMs)) {
            self->Fail(2, "the server stopped answering", false);
            return;
        }
        ++self->pingSeq_;
        self->pingSent_ = Clock::now();
        self->QueueControl(EncodeFrame(kFramePing, 0, self->pingSeq_));
        self->ArmHeartbeat(gen);
    });
}

void CRelayConnection::ReportError(std::uint32_t code, const std::string& text) {
    if (IProxyStatus* st = status_.load()) st->OnError(code, text.c_str());
    for (auto& [ch, sink] : SinksCopy())
        if (sink) sink->OnError(code, text.c_str());
}

void CRelayConnection::Fail(std::uint32_t code, const std::string& text, bool isError) {
    ++gen_;
    asio::error_code ignore;
    resolver_.cancel();
    beatTimer_.cancel();
    socket_.shutdown(asio::ip::tcp::socket::shutdown_both, ignore);
    socket_.close(ignore);
    bool wasUp;
    {
        std::lock_guard<std::mutex> g(lock_);
        wasUp = up_;
        up_ = false;
        queues_.clear();
        queuedBytes_.clear();
        control_.clear();
        writing_ = false;  // the aborted write may still hold inFlight_; WriteNext resets it
    }
    rttMs_ = kSignalLost;
    greeted_ = false;
    if (isError && !outageReported_ && !text.empty()) {
        outageReported_ = true;  // one report per outage, not one per retry
        ReportError(code, text);
    }
    if (wasUp) {
        outageReported_ = outageReported_ || !isError;
        for (auto& [ch, sink] : SinksCopy()) {
            if (!sink) continue;
            sink->OnLeave(ch);
            sink->OnDisconnect();
        }
        if (IProxyStatus* st = status_.load()) st->OnDisconnect();
    }
    if (!closed_) ScheduleReconnect();
}

void CRelayConnection::ScheduleReconnect() {
    const std::uint64_t gen = gen_;
    retryTimer_.expires_after(std::chrono::milliseconds(backoff_.Next()));
    retryTimer_.async_wait([self = shared_from_this(), gen](const asio::error_code& ec) {
        if (ec || self->closed_ || gen != self->gen_) return;
        self->StartAttempt();
    });
}

void CRelayConnection::QueueControl(std::string frame) {
    {
        std::lock_guard<std::mutex> g(lock_);
        control_.push_back(std::move(frame));
    }
    KickWrite();
}

void CRelayConnection::KickWrite() {
    {
        std::lock_guard<std::mutex> g(lock_);
        if (writing_) return;
        writing_ = true;
    }
    asio::post(io_, [self = shared_from_this()] { self->WriteNext(self->gen_); });
}

void CRelayConnection::WriteNext(std::uint64_t gen) {
    if (gen != gen_ || !socket_.is_open()) {
        std::lock_guard<std::mutex> g(lock_);
        writing_ = false;
        return;
    }
    {
        std::lock_guard<std::mutex> g(lock_);
        inFlight_.clear();
        if (!control_.empty()) {
            inFlight_ = std::move(control_.front());
            control_.pop_front();
        } else {
            // Round-robin over the channels so voice does not starve chat.
            auto it = queues_.upper_bound(lastChannel_);
            for (std::size_t n = 0; n < queues_.size(); ++n, ++it) {
                if (it == queues_.end()) it = queues_.begin();
                if (it->second.empty()) continue;
                inFlight_ = std::move(it->second.front());
                it->second.pop_front();
                queuedBytes_[it->first] -= inFlight_.size();
                lastChannel_ = it->first;
                break;
            }
        }
        if (inFlight_.empty()) {
            writing_ = false;
            return;
        }
    }
    asio::async_write(socket_, asio::buffer(inFlight_),
                      [self = shared_from_this(), gen](const asio::error_code& ec, std::size_t n) {
                          if (gen != self->gen_) return;
                          if (ec) {
                              self->Fail(static_cast<std::uint32_t>(ec.value()), ec.message(),
                                         false);
                              return;
                          }
                          self->sentBytes_ += static_cast<std::uint32_t>(n);
                          self->WriteNext(gen);
                      });
}

}  // namespace relay
