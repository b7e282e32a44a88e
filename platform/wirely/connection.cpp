#include "platform/wirely/connection.h"

#include <cerrno>
#include <cstring>

namespace wirely {
namespace {

int CodeOf(const asio::error_code& ec) { return ec.value() != 0 ? ec.value() : -1; }

}  // namespace

CWireConnection::CWireConnection(asio::io_context& io, mw_connect_sink* sink,
                                 std::chrono::milliseconds idle)
    : io_(io), resolver_(io), socket_(io), idle_(io), sink_(sink), idleTime_(idle) {}

int CWireConnection::connect(const char* address, std::uint16_t port, int) {
    if (closeAsked_ || releaseAsked_ || connectAsked_.exchange(true)) return -1;
    Post([a = std::string(address ? address : ""), port](CWireConnection& c) {
        c.StartConnect(a, port);
    });
    return 0;
}

void CWireConnection::StartConnect(const std::string& address, std::uint16_t port) {
    if (released_) return;
    if (closeAsked_ || state_ != State::Fresh) {
        FailConnect(asio::error::connection_aborted);
        return;
    }
    state_ = State::Connecting;
    Touch();
    ArmIdle(idleTime_);
    asio::error_code ec;
    const asio::ip::address_v4 dotted = asio::ip::make_address_v4(address, ec);
    if (!ec) {
        DoConnect(asio::ip::tcp::endpoint(dotted, port));
        return;
    }
    if (address.empty() || port == 0) {
        FailConnect(asio::error::host_not_found);
        return;
    }
    // A name is looked up here, never on the thread that asked for the connection.
    resolver_.async_resolve(
        asio::ip::tcp::v4(), address, std::to_string(port),
        asio::ip::resolver_base::numeric_service,
        [self = shared_from_this()](const asio::error_code& e,
                                    asio::ip::tcp::resolver::results_type results) {
            if (self->released_) return;
            if (e || results.empty()) {
                self->FailConnect(e ? e : asio::error::host_not_found);
                return;
            }
            self->DoConnect(*results.begin());
        });
}

void CWireConnection::DoConnect(const asio::ip::tcp::endpoint& to) {
    socket_.async_connect(to, [self = shared_from_this()](const asio::error_code& e) {
        if (!self->released_) self->OnConnected(e);
    });
}

void CWireConnection::OnConnected(const asio::error_code& ec) {
    if (ec || closeAsked_) {
        FailConnect(ec ? ec : asio::error::connection_aborted);
        return;
    }
    state_ = State::Connected;
    connected_ = true;
    Touch();
    asio::error_code ignored;
    socket_.set_option(asio::ip::tcp::no_delay(true), ignored);
    if (Hears()) sink_->on_connect(0, this);
    KickWrite();
    StartRead();
}

void CWireConnection::FailConnect(const asio::error_code& ec) {
    int code = CodeOf(ec);
    if (ec == asio::error::operation_aborted && cancelReason_ != 0) code = cancelReason_;
    state_ = State::Closed;
    asio::error_code ignored;
    socket_.close(ignored);
    if (Hears()) sink_->on_connect(code, this);
}

void CWireConnection::StartRead() {
    if (reading_ || state_ != State::Connected || in_.size() - inRead_ >= kInBytes) return;
    reading_ = true;
    socket_.async_read_some(asio::buffer(readBuf_),
                            [self = shared_from_this()](const asio::error_code& e, std::size_t n) {
                                self->OnRead(e, n);
                            });
}

void CWireConnection::OnRead(const asio::error_code& ec, std::size_t n) {
    reading_ = false;
    if (released_ || state_ != State::Connected) return;
    if (ec) {
        CloseConnected();  // the peer's close, or an error
        return;
    }
    Touch();
    in_.insert(in_.end(), readBuf_.begin(), readBuf_.begin() + static_cast<std::ptrdiff_t>(n));
    DeliverRead();
    StartRead();
}

void CWireConnection::DeliverRead() {
    const std::size_t available = in_.size() - inRead_;
    if (available > 0 && Hears() && !closeAsked_) sink_->on_read(this, available);
    if (inRead_ == in_.size()) {
        in_.clear();
        inRead_ = 0;
    } else if (inRead_ >= kInBytes) {
        in_.erase(in_.begin(), in_.begin() + static_cast<std::ptrdiff_t>(inRead_));
        inRead_ = 0;
    }
}

int CWireConnection::send(const void* bytes, std::size_t length) {
    if (!bytes && length > 0) return -1;
    if (!connected_ || closeAsked_ || releaseAsked_) return -1;
    {
        std::lock_guard<std::mutex> g(outLock_);
        // One piece larger than the bound is still taken when nothing waits.
        if (!out_.empty() && out_.size() + length > kOutBytes) {
            wantWrite_ = true;
            return 1;
        }
        out_.append(static_cast<const char*>(bytes), length);
    }
    Post([](CWireConnection& c) { c.KickWrite(); });
    return 0;
}

void CWireConnection::KickWrite() {
    if (writing_ || state_ != State::Connected) return;
    {
        std::lock_guard<std::mutex> g(outLock_);
        if (out_.empty()) return;
        inFlight_.swap(out_);
    }
    writing_ = true;
    asio::async_write(socket_, asio::buffer(inFlight_),
                      [self = shared_from_this()](const asio::error_code& e, std::size_t) {
                          self->OnWritten(e);
                      });
}

void CWireConnection::OnWritten(const asio::error_code& ec) {
    writing_ = false;
    inFlight_.clear();
    if (released_ || state_ != State::Connected) return;
    if (ec) {
        CloseConnected();
        return;
    }
    Touch();
    bool room = false;
    {
        std::lock_guard<std::mutex> g(outLock_);
        room = wantWrite_ && out_.size() < kOutBytes;
        if (room) wantWrite_ = false;
    }
    KickWrite();
    if (room && Hears() && !closeAsked_) sink_->on_write(this);
}

int CWireConnection::control(unsigned code, const void* value, std::size_t size) {
    switch (code) {
    case kWirelyReadPieces:
        return 0;  // reads are handed over whole; the sink drains them in its own pieces
    case kWirelyReadDone: {
        if (!value || size != sizeof(std::uint32_t)) return -1;
        std::uint32_t n = 0;
        std::memcpy(&n, value, sizeof n);
        inRead_ += std::min<std::size_t>(n, in_.size() - inRead_);
        return 0;
    }
    default:
        return -1;
    }
}

int CWireConnection::query(unsigned code, void* value, std::size_t size) {
    switch (code) {
    case kWirelyPeek: {
        if (!value) return -1;
        const bool have = size > 0 && size <= in_.size() - inRead_;
        const void* at = have ? in_.data() + inRead_ : nullptr;
        std::memcpy(value, &at, sizeof at);
        return have ? 0 : -1;
    }
    case kWirelyLinger:
        return 0;  // nothing is left to linger for: a close drops what is unsent
    default:
        return -1;
    }
}

int CWireConnection::close() {
    closeAsked_ = true;
    Post([](CWireConnection& c) { c.DoClose(ECONNABORTED); });
    return 0;
}

void CWireConnection::DoClose(int reason) {
    if (released_) return;
    switch (state_) {
    case State::Fresh:
        state_ = State::Closed;
        break;
    case State::Connecting: {
        // The pending resolve or connect ends with an error that on_connect reports.
        if (cancelReason_ == 0) cancelReason_ = reason;
        resolver_.cancel();
        asio::error_code ignored;
        socket_.cancel(ignored);
        break;
    }
    case State::Connected:
        CloseConnected();
        break;
    case State::Closed:
        break;
    }
}

void CWireConnection::CloseConnected() {
    state_ = State::Closed;
    connected_ = false;
    asio::error_code ignored;
    socket_.shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
    socket_.close(ignored);
    idle_.cancel();
    if (Hears()) sink_->on_close(this);
}

void CWireConnection::ArmIdle(Clock::duration after) {
    idle_.expires_after(after);
    idle_.async_wait([self = shared_from_this()](const asio::error_code& e) { self->OnIdle(e); });
}

void CWireConnection::OnIdle(const asio::error_code& ec) {
    if (ec || released_ || state_ == State::Closed || state_ == State::Fresh) return;
    const Clock::duration quiet = Clock::now() - last_;
    if (quiet < idleTime_) {
        ArmIdle(idleTime_ - quiet);
        return;
    }
    DoClose(ETIMEDOUT);
}

int CWireConnection::release() {
    if (releaseAsked_.exchange(true)) return 0;
    Post([](CWireConnection& c) { c.DoRelease(); });
    return 0;
}

void CWireConnection::DoRelease() {
    if (released_) return;
    released_ = true;
    state_ = State::Closed;
    connected_ = false;
    asio::error_code ignored;
    resolver_.cancel();
    socket_.close(ignored);
    idle_.cancel();
    sink_->on_release(this);
    self_.reset();  // the handlers still queued hold their own references
}

int CWireConnection::wake() {
    Post([](CWireConnection& c) {
        if (c.Hears()) c.sink_->on_wake(&c);
    });
    return 0;
}

}  // namespace wirely
