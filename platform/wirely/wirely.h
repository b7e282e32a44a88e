#pragma once
// Raw TCP connections for the program's own HTTP client. Each connection
// reports to its sink on the library's one I/O thread, in this order:
// on_connect once; then on_read (bytes readable), on_write (sending may go
// on) and on_wake (after wake) as they come; on_close once after a close of
// a connected connection (ours, the peer's, an error or idleness); and
// on_release last, after release(), once, after which the library touches
// neither the connection nor the sink. A close while still connecting ends
// in on_connect with an error instead of on_close; after release() the sink
// hears on_release only. Sink calls never nest: close and release asked
// from inside a sink call take effect after it returns.
//
// A connection idle for 30 s (no byte in or out, or still connecting) is
// closed. close, release and wake may come from any thread; send, control
// and query from the sink's calls (the library's thread).

#include <cstddef>
#include <cstdint>

class mw_connection;

class mw_connect_sink {
public:
    virtual ~mw_connect_sink() = default;
    virtual int on_connect(int error, mw_connection* connection) = 0;
    virtual int on_read(mw_connection* connection, std::size_t available) = 0;
    virtual int on_write(mw_connection* connection) = 0;
    virtual int on_close(mw_connection* connection) = 0;
    virtual int on_release(mw_connection* connection) = 0;
    virtual void on_wake(mw_connection* connection) = 0;
    virtual void on_idle(mw_connection*) {}
};

// Control and query codes.
inline constexpr unsigned kWirelyReadPieces = 0x1017;  // control: value 5 after connecting
inline constexpr unsigned kWirelyReadDone = 0x1010;    // control: bytes copied out of a read
inline constexpr unsigned kWirelyPeek = 0x100F;        // query: address of n readable bytes
inline constexpr unsigned kWirelyLinger = 0x1016;      // query: on close

class mw_connection {
public:
    // 0 = started; the result comes through on_connect. `address` is a
    // dotted IPv4 address or a host name, looked up on the library's side,
    // never on the caller's thread (empty, or no IPv4 address: on_connect
    // reports an error). Non-zero only for a second connect, or one after
    // close or release; nothing is reported for it.
    virtual int connect(const char* address, std::uint16_t port, int mode) = 0;
    // 0 = taken whole; non-zero = not now (wait for on_write).
    virtual int send(const void* bytes, std::size_t length) = 0;
    virtual int control(unsigned code, const void* value, std::size_t size) = 0;
    virtual int query(unsigned code, void* value, std::size_t size) = 0;
    virtual int close() = 0;
    virtual int reserved() { return 0; }
    virtual int release() = 0;
    virtual int wake() = 0;

protected:
    virtual ~mw_connection() = default;
};

// A new connection reporting to `sink` (kind 97: a client TCP stream);
// null for another kind. The library starts its thread on first use.
mw_connection* create_connect(mw_connect_sink* sink, int kind);

// The idle time after which connections made from now on are closed
// (30 000 ms by default; tests shorten it).
void wirely_set_idle_ms(unsigned milliseconds);
