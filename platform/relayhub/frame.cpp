#include "platform/relayhub/frame.h"

#include <algorithm>
#include <cstring>

namespace relay {
namespace {

void Put16(std::string& out, std::uint16_t v) {
    out.push_back(static_cast<char>(v >> 8));
    out.push_back(static_cast<char>(v));
}
void Put32(std::string& out, std::uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<char>(v >> s));
}
std::uint32_t Get32(const unsigned char* p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) |
           p[3];
}

}  // namespace

std::string EncodeFrame(std::uint8_t type, std::uint8_t channel, std::uint32_t command,
                        const void* payload, std::size_t length) {
    std::string out;
    out.reserve(kFrameHeaderSize + length);
    Put16(out, kFrameMagic);
    out.push_back(static_cast<char>(type));
    out.push_back(static_cast<char>(channel));
    Put32(out, command);
    Put32(out, static_cast<std::uint32_t>(length));
    if (length) out.append(static_cast<const char*>(payload), length);
    return out;
}

bool DecodeFrameHeader(const unsigned char* p, FrameHeader& out, std::string& error) {
    const std::uint16_t magic = static_cast<std::uint16_t>((p[0] << 8) | p[1]);
    if (magic != kFrameMagic) {
        error = "bad frame magic";
        return false;
    }
    out.type = p[2];
    out.channel = p[3];
    out.command = Get32(p + 4);
    out.length = Get32(p + 8);
    if (out.type < kFrameHello || out.type > kFrameError) {
        error = "unknown frame type " + std::to_string(out.type);
        return false;
    }
    if (out.length > kMaxFramePayload) {
        error = "frame of " + std::to_string(out.length) + " bytes exceeds the limit";
        return false;
    }
    return true;
}

void FrameDecoder::Reset() {
    headerHave_ = 0;
    inPayload_ = false;
    payload_.clear();
    failed_ = false;
    error_.clear();
}

namespace {
constexpr std::size_t kKeepCapacity = 64 * 1024;
}  // namespace

bool FrameDecoder::Feed(const unsigned char* data, std::size_t size) {
    if (failed_) return false;
    while (size > 0) {
        if (!inPayload_) {
            const std::size_t take = std::min(size, kFrameHeaderSize - headerHave_);
            std::memcpy(header_ + headerHave_, data, take);
            headerHave_ += take;
            data += take;
            size -= take;
            if (headerHave_ < kFrameHeaderSize) return true;
            headerHave_ = 0;
            if (!DecodeFrameHeader(header_, current_, error_)) {
                failed_ = true;
                return false;
            }
            inPayload_ = true;
            payload_.clear();
        }
        const std::size_t want = current_.length - payload_.size();
        const std::size_t take = std::min(size, want);
        payload_.insert(payload_.end(), data, data + take);
        data += take;
        size -= take;
        if (payload_.size() < current_.length) return true;
        inPayload_ = false;
        handler_(current_, payload_.data(), payload_.size());
        if (failed_) return false;  // the handler may Reset or stop us
        // One large frame must not leave its buffer behind on a connection
        // that goes back to small ones.
        if (payload_.capacity() > kKeepCapacity) std::vector<unsigned char>().swap(payload_);
    }
    return true;
}

}  // namespace relay
