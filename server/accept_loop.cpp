#include "server/accept_loop.h"

#include <cerrno>

#include "core/log.h"

namespace server {

namespace {

// Errors that say the process or the system has no room for one more
// connection right now; anything else is about the one connection.
bool OutOfResources(const boost::system::error_code& ec) {
    if (ec.category() != boost::system::system_category()) return false;
    const int e = ec.value();
    return e == EMFILE || e == ENFILE || e == ENOBUFS || e == ENOMEM;
}

}  // namespace

CAcceptLoop::CAcceptLoop(net::io_context& io, std::string name, OnAccept onAccept)
    : io_(io),
      acceptor_(net::make_strand(io)),
      pause_(acceptor_.get_executor()),
      name_(std::move(name)),
      onAccept_(std::move(onAccept)) {}

bool CAcceptLoop::Listen(const std::string& address, std::uint16_t port, std::string& error) {
    boost::system::error_code ec;
    const auto addr = net::ip::make_address(address, ec);
    if (ec) {
        error = "bad listen address '" + address + "'";
        return false;
    }
    const tcp::endpoint ep(addr, port);
    acceptor_.open(ep.protocol(), ec);
    if (!ec) acceptor_.set_option(tcp::acceptor::reuse_address(true), ec);
    if (!ec) acceptor_.bind(ep, ec);
    if (!ec) acceptor_.listen(net::socket_base::max_listen_connections, ec);
    if (ec) {
        error = "cannot listen on " + address + ":" + std::to_string(port) + ": " + ec.message();
        boost::system::error_code ignore;
        acceptor_.close(ignore);
        return false;
    }
    port_ = acceptor_.local_endpoint().port();
    net::dispatch(acceptor_.get_executor(), [this] { Accept(); });
    return true;
}

void CAcceptLoop::Accept() {
    acceptor_.async_accept(net::make_strand(io_), [this](const boost::system::error_code& ec,
                                                         tcp::socket socket) {
        if (ec == net::error::operation_aborted || !acceptor_.is_open()) return;
        if (ec && OutOfResources(ec)) {
            if (!starved_) {
                starved_ = true;
                ++episodes_;
                log_err("%s: cannot accept: %s; pausing until descriptors free up",
                        name_.c_str(), ec.message().c_str());
            }
            Pause();
            return;
        }
        if (!ec) {
            if (starved_) {
                log_msg("%s: accepting again", name_.c_str());
                starved_ = false;
            }
            nextPause_ = kFirstPause;
            onAccept_(std::move(socket));
        }
        Accept();
    });
}

void CAcceptLoop::Pause() {
    pause_.expires_after(nextPause_);
    nextPause_ = std::min(nextPause_ * 2, kLongestPause);
    pause_.async_wait([this](const boost::system::error_code& ec) {
        if (ec || !acceptor_.is_open()) return;
        Accept();
    });
}

void CAcceptLoop::Stop() {
    net::post(acceptor_.get_executor(), [this] {
        boost::system::error_code ignore;
        acceptor_.close(ignore);
        pause_.cancel();
    });
}

}  // namespace server
