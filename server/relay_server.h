#pragma once
// The listening side of the relay framing: accepts connections, waits for the
// client's hello, answers heartbeats and hands packets to a handler
// (relay_session.h). Each session works on its own strand.
//
// Limits that keep one client from hurting the others: frames above the
// framing maximum or with a bad header close that connection; a session whose
// unsent output exceeds kRelayMaxOutputBytes (a client that stopped reading)
// is dropped; a client that says nothing for a while is dropped, one that
// has not said hello in time too, and a frame once started must be complete
// within its deadline (RelayLimits).
//
// Memory: an idle session holds no read buffer. The socket is read only
// when it has data, into a buffer on the I/O thread's stack; the frame
// decoder keeps just the part of a frame that is in flight.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "server/relay_session.h"

namespace boost::asio {
class io_context;
}

namespace server {

class CAcceptLoop;

inline constexpr std::size_t kRelayMaxOutputBytes = 4u << 20;

struct RelayLimits {
    std::uint32_t idleMs = 60000;   // silence (clients send heartbeats every 5 s)
    std::uint32_t helloMs = 10000;  // from connecting to the hello
    std::uint32_t frameMs = 10000;  // from a frame's first byte to its last
};
// After an error frame: how long unread input is drained before the socket
// closes (closing with input pending resets the connection, and the peer
// may lose the error frame).
inline constexpr std::uint32_t kRelayLingerMs = 2000;

class CRelayServer {
public:
    CRelayServer(boost::asio::io_context& io, IRelayHandler& handler, RelayLimits limits = {});
    ~CRelayServer();
    // Binds and listens; false with a reason.
    bool Listen(const std::string& address, std::uint16_t port, std::string& error);
    std::uint16_t port() const;
    void Stop();
    unsigned starvedEpisodes() const;

private:
    IRelayHandler& handler_;
    const RelayLimits limits_;
    std::atomic<std::uint64_t> nextId_{1};
    std::unique_ptr<CAcceptLoop> accept_;
};

}  // namespace server
