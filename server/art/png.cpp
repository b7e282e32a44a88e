#include "server/art/png.h"

#include <zlib.h>

namespace server::art {

namespace {

void PutBe32(std::string& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((v >> shift) & 0xFF);
}

void Chunk(std::string& out, const char type[4], const std::string& data) {
    PutBe32(out, static_cast<std::uint32_t>(data.size()));
    const std::string body = std::string(type, 4) + data;
    out += body;
    const auto crc = crc32(0L, reinterpret_cast<const Bytef*>(body.data()),
                           static_cast<uInt>(body.size()));
    PutBe32(out, static_cast<std::uint32_t>(crc));
}

}  // namespace

std::string EncodePng(const CCanvas& canvas) {
    const auto w = static_cast<std::uint32_t>(canvas.width());
    const auto h = static_cast<std::uint32_t>(canvas.height());
    std::string raw;
    raw.reserve((w * 4 + 1) * h);
    for (std::uint32_t y = 0; y < h; ++y) {
        raw += '\0';  // no filter: the pictures are small and flat
        for (std::uint32_t x = 0; x < w; ++x) {
            const Colour c = canvas.At(static_cast<int>(x), static_cast<int>(y));
            raw += static_cast<char>((c >> 16) & 0xFF);
            raw += static_cast<char>((c >> 8) & 0xFF);
            raw += static_cast<char>(c & 0xFF);
            raw += static_cast<char>((c >> 24) & 0xFF);
        }
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::string packed(packedSize, '\0');
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
                  reinterpret_cast<const Bytef*>(raw.data()), static_cast<uLong>(raw.size()),
                  Z_BEST_COMPRESSION) != Z_OK)
        return {};
    packed.resize(packedSize);

    std::string out = "\x89PNG\r\n\x1a\n";
    std::string header;
    PutBe32(header, w);
    PutBe32(header, h);
    header += '\x08';  // bits per channel
    header += '\x06';  // RGBA
    header += std::string(3, '\0');  // deflate, adaptive filters, no interlace
    Chunk(out, "IHDR", header);
    Chunk(out, "IDAT", packed);
    Chunk(out, "IEND", {});
    return out;
}

}  // namespace server::art
