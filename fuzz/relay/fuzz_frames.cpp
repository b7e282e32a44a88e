// Arbitrary bytes into the relay frame reader, in arbitrary splits: it must
// deliver frames whose payloads lie inside what was fed, or fail cleanly.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/relayhub/frame.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t step = 1 + data[0] % 64;
    std::size_t delivered = 0;
    relay::FrameDecoder d([&](const relay::FrameHeader& h, const unsigned char* p, std::size_t n) {
        if (n != h.length || n > relay::kMaxFramePayload) std::abort();
        volatile unsigned char sink = 0;
        for (std::size_t i = 0; i < n; ++i) sink ^= p[i];  // every byte readable
        delivered += relay::kFrameHeaderSize + n;
    });
    std::size_t at = 1;
    while (at < size) {
        const std::size_t n = std::min(step, size - at);
        if (!d.Feed(data + at, n)) break;
        at += n;
    }
    if (delivered > size) std::abort();
    // What is encoded decodes back the same.
    const std::string f = relay::EncodeFrame(relay::kFramePacket, 1, 7, data, std::min<std::size_t>(size, 4096));
    std::string back;
    relay::FrameDecoder again([&](const relay::FrameHeader&, const unsigned char* p, std::size_t n) {
        back.assign(reinterpret_cast<const char*>(p), n);
    });
    if (!again.Feed(reinterpret_cast<const unsigned char*>(f.data()), f.size())) std::abort();
    if (back != std::string(reinterpret_cast<const char*>(data), std::min<std::size_t>(size, 4096)))
        std::abort();
    return 0;
}
