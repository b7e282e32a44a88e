#pragma once
// Framing of the relay connections, shared by the client library and
// zeri-server. Every frame is a 12-byte header followed by its payload:
//
//   0  u16  magic 0x5A52
//   2  u8   type (kFrameHello, kFramePacket, kFramePing, kFramePong, kFrameError)
//   3  u8   channel (1 chat, 2 video transfer, 3 media server; 0 for control)
//   4  u32  command id (packets), sequence (ping/pong), error code (error)
//   8  u32  payload length, at most kMaxFramePayload
//
// All numbers are big-endian. The payload of a packet is the body unchanged.
// A connection opens with a hello from the client whose payload is its name
// ("pc_chat" or "pc_av"); the server answers with a hello of its own.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace relay {

constexpr std::uint16_t kFrameMagic = 0x5A52;
constexpr std::size_t kFrameHeaderSize = 12;
constexpr std::uint32_t kMaxFramePayload = 1u << 20;  // 1 MiB

enum FrameType : std::uint8_t {
    kFrameHello = 1,
    kFramePacket = 2,
    kFramePing = 3,
    kFramePong = 4,
    kFrameError = 5,  // payload: UTF-8 text; the sender closes afterwards
};

struct FrameHeader {
    std::uint8_t type = 0;
    std::uint8_t channel = 0;
    std::uint32_t command = 0;
    std::uint32_t length = 0;
};

// Header and payload in one buffer, ready to write.
std::string EncodeFrame(std::uint8_t type, std::uint8_t channel, std::uint32_t command,
                        const void* payload, std::size_t length);
inline std::string EncodeFrame(std::uint8_t type, std::uint8_t channel, std::uint32_t command,
                               std::string_view payload = {}) {
    return EncodeFrame(type, channel, command, payload.data(), payload.size());
}

// Reads a header; false with a reason when the magic, type or length is bad.
bool DecodeFrameHeader(const unsigned char* bytes, FrameHeader& out, std::string& error);

// Incremental reader: feed whatever the socket delivered. Each whole frame is
// handed to the callback (payload valid during the call). A bad header stops
// the reader for good: Feed returns false and error() says why. The payload
// buffer grows with the bytes that actually arrive, never to a declared size.
class FrameDecoder {
public:
    using Handler = std::function<void(const FrameHeader&, const unsigned char*, std::size_t)>;
    explicit FrameDecoder(Handler h) : handler_(std::move(h)) {}

    bool Feed(const unsigned char* data, std::size_t size);
    bool failed() const { return failed_; }
    // Part of a frame has arrived and the rest has not.
    bool midFrame() const { return headerHave_ > 0 || inPayload_; }
    const std::string& error() const { return error_; }
    void Reset();

private:
    Handler handler_;
    unsigned char header_[kFrameHeaderSize] = {};
    std::size_t headerHave_ = 0;
    bool inPayload_ = false;
    FrameHeader current_;
    std::vector<unsigned char> payload_;
    bool failed_ = false;
    std::string error_;
};

}  // namespace relay
