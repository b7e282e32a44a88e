#pragma once
// A relay connection as its handler sees it, and the handler it calls.
// No networking types here: the relay server (relay_server.h) implements
// sessions over sockets; tests and fuzzers may implement them over nothing.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace server {

class CRelaySession;
using SessionPtr = std::shared_ptr<CRelaySession>;

// A packet encoded once into its frame and shared, unchanged, by every
// session it goes to: a room's fan-out makes one, not one per listener.
class CSharedPacket {
public:
    // Null when the body is too large for a frame.
    static std::shared_ptr<const CSharedPacket> Make(std::uint8_t channel, std::uint32_t command,
                                                     std::string_view body);
    ~CSharedPacket();
    const std::uint8_t channel;
    const std::uint32_t command;
    const std::string& frame() const { return frame_; }
    std::string_view body() const { return std::string_view(frame_).substr(headerBytes_); }

    // Measuring the fan-out (benchmarks; zeri-server never sets it): called
    // as each packet is freed, which is when the last receiver's write of it
    // has completed, with the nanoseconds since the frame that caused it
    // arrived (or since the packet was made, outside a handler's call).
    using Observer = void (*)(std::uint32_t command, std::int64_t nanoseconds);
    static void Observe(Observer observer);
    // The relay server marks the arrival of the frame it hands to the
    // handler, on the handler's thread, for the observer.
    static void FrameArrived(std::int64_t steadyNanoseconds);

private:
    CSharedPacket(std::uint8_t ch, std::uint32_t cmd, std::string frame, std::size_t header)
        : channel(ch), command(cmd), frame_(std::move(frame)), headerBytes_(header) {}
    const std::string frame_;
    const std::size_t headerBytes_;
    std::int64_t born_ = 0;  // steady ns, only while observed
};
using SharedPacket = std::shared_ptr<const CSharedPacket>;

// Each session works on its own strand: the handler may be called from any
// I/O thread, one call at a time per session.
class IRelayHandler {
public:
    virtual ~IRelayHandler() = default;
    // The client's hello. False refuses the connection with `reason`.
    virtual bool OnHello(const SessionPtr& s, const std::string& name, std::string& reason) = 0;
    virtual void OnPacket(const SessionPtr& s, std::uint8_t channel, std::uint32_t command,
                          const unsigned char* body, std::size_t length) = 0;
    virtual void OnClosed(const SessionPtr& s) = 0;
};

class CRelaySession {
public:
    virtual ~CRelaySession() = default;

    // Thread-safe. False when the session is closed or was just dropped for
    // exceeding its output limit.
    virtual bool Send(std::uint8_t channel, std::uint32_t command, std::string_view body) = 0;
    // The same, for a packet shared with other sessions (no copy of it is
    // made). Thread-safe; only queues: the writing is the session's own.
    virtual bool Send(const SharedPacket& p) {
        return p && Send(p->channel, p->command, p->body());
    }
    // Sends an error frame, then closes.
    virtual void CloseWithError(std::uint32_t code, const std::string& text) = 0;
    virtual void Close() = 0;
    // Closes once everything queued so far has been written.
    virtual void CloseAfterSending() = 0;

    virtual std::uint64_t id() const = 0;
    virtual const std::string& name() const = 0;  // "pc_chat", "pc_av", …
    // The peer's IP address as text, taken when the connection was accepted.
    virtual const std::string& remoteAddress() const = 0;
    virtual bool closed() const = 0;
    virtual std::size_t queuedBytes() const = 0;

    // Free for the handler: who this session belongs to once it logs in.
    std::atomic<std::uint32_t> userId{0};
};

}  // namespace server
