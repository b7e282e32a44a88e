#pragma once
// Readers for the PNG and GIF files the server draws, written for the tests
// only: they check what a picture viewer checks (chunk CRCs, the zlib
// stream, LZW codes in range) and give back the pixels.

#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace srvtest {

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;  // 0xAARRGGBB
};

inline std::uint32_t Be32(const std::string& s, std::size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(s[at])) << 24 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(s[at + 1])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(s[at + 2])) << 8 |
           static_cast<unsigned char>(s[at + 3]);
}

// 8-bit RGBA, filter 0 rows (what the server writes); false otherwise.
inline bool DecodePng(const std::string& png, Picture& out) {
    if (png.size() < 8 || png.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0) return false;
    std::string idat;
    bool ended = false;
    for (std::size_t at = 8; at + 12 <= png.size() && !ended;) {
        const std::uint32_t n = Be32(png, at);
        if (at + 12 + n > png.size()) return false;
        const std::string type = png.substr(at + 4, 4);
        const auto crc = crc32(0L, reinterpret_cast<const Bytef*>(png.data() + at + 4), n + 4);
        if (crc != Be32(png, at + 8 + n)) return false;
        if (type == "IHDR") {
            if (n != 13 || png[at + 16] != 8 || png[at + 17] != 6) return false;
            out.width = static_cast<int>(Be32(png, at + 8));
            out.height = static_cast<int>(Be32(png, at + 12));
        } else if (type == "IDAT") {
            idat += png.substr(at + 8, n);
        } else if (type == "IEND") {
            ended = true;
        }
        at += 12 + n;
    }
    if (!ended || out.width <= 0 || out.height <= 0) return false;
    const std::size_t row = static_cast<std::size_t>(out.width) * 4 + 1;
    std::string raw(row * static_cast<std::size_t>(out.height), '\0');
    uLongf rawSize = raw.size();
    if (uncompress(reinterpret_cast<Bytef*>(raw.data()), &rawSize,
                   reinterpret_cast<const Bytef*>(idat.data()), idat.size()) != Z_OK ||
        rawSize != raw.size())
        return false;
    out.pixels.clear();
    for (int y = 0; y < out.height; ++y) {
        const std::size_t base = static_cast<std::size_t>(y) * row;
        if (raw[base] != 0) return false;
        for (int x = 0; x < out.width; ++x) {
            const auto* p = reinterpret_cast<const unsigned char*>(raw.data() + base + 1 + x * 4);
            out.pixels.push_back(static_cast<std::uint32_t>(p[3]) << 24 | p[0] << 16 | p[1] << 8 | p[2]);
        }
    }
    return true;
}

struct Animation {
    int width = 0;
    int height = 0;
    bool loops = false;
    std::vector<std::vector<std::uint32_t>> frames;  // each restored to clear first
    std::vector<unsigned> delaysMs;
};

inline bool Lzw(const std::string& data, int minSize, std::size_t expect, std::vector<std::uint8_t>& out) {
    const unsigned clear = 1u << minSize, end = clear + 1;
    std::vector<std::vector<std::uint8_t>> table(4096);
    for (unsigned i = 0; i < clear; ++i) table[i] = {static_cast<std::uint8_t>(i)};
    int width = minSize + 1;
    unsigned next = end + 1;
    int prev = -1;
    std::size_t bit = 0;
    while (true) {
        if (bit + static_cast<std::size_t>(width) > data.size() * 8) return false;
        unsigned code = 0;
        for (int i = 0; i < width; ++i, ++bit)
            if (static_cast<unsigned char>(data[bit / 8]) >> (bit % 8) & 1) code |= 1u << i;
        if (code == clear) {
            width = minSize + 1;
            next = end + 1;
            prev = -1;
            continue;
        }
        if (code == end) break;
        std::vector<std::uint8_t> entry;
        if (prev < 0) {
            if (code >= clear) return false;
            entry = table[code];
        } else if (code < next) {
            entry = table[code];
            if (entry.empty()) return false;
        } else if (code == next) {
            entry = table[static_cast<std::size_t>(prev)];
            entry.push_back(entry[0]);
        } else {
            return false;
        }
        if (prev >= 0 && next < 4096) {
            table[next] = table[static_cast<std::size_t>(prev)];
            table[next].push_back(entry[0]);
            ++next;
            if (next == (1u << width) && width < 12) ++width;
        }
        out.insert(out.end(), entry.begin(), entry.end());
        prev = static_cast<int>(code);
        if (out.size() > expect) return false;
    }
    return out.size() == expect;
}

inline bool DecodeGif(const std::string& g, Animation& out) {
    if (g.size() < 13 || g.compare(0, 6, "GIF89a") != 0) return false;
    const auto u8 = [&](std::size_t at) { return static_cast<unsigned>(static_cast<unsigned char>(g[at])); };
    const auto le16 = [&](std::size_t at) { return u8(at) | u8(at + 1) << 8; };
    out.width = static_cast<int>(le16(6));
    out.height = static_cast<int>(le16(8));
    std::size_t at = 13;
    std::vector<std::uint32_t> palette;
    if (u8(10) & 0x80) {
        const std::size_t n = std::size_t{2} << (u8(10) & 7);
        if (at + n * 3 > g.size()) return false;
        for (std::size_t i = 0; i < n; ++i)
            palette.push_back(0xFF000000u | u8(at + i * 3) << 16 | u8(at + i * 3 + 1) << 8 | u8(at + i * 3 + 2));
        at += n * 3;
    }
    int transparent = -1;
    unsigned delay = 0;
    const auto blocks = [&](std::string& data) {
        while (at < g.size()) {
            const std::size_t n = u8(at++);
            if (n == 0) return true;
            if (at + n > g.size()) return false;
            data += g.substr(at, n);
            at += n;
        }
        return false;
    };
    while (at < g.size()) {
        const unsigned kind = u8(at++);
        if (kind == 0x3B) return !out.frames.empty();
        if (kind == 0x21) {
            if (at >= g.size()) return false;
            const unsigned label = u8(at++);
            std::string data;
            if (!blocks(data)) return false;
            if (label == 0xF9 && data.size() == 4) {
                transparent = (data[0] & 1) ? static_cast<unsigned char>(data[3]) : -1;
                delay = (static_cast<unsigned char>(data[1]) | static_cast<unsigned char>(data[2]) << 8) * 10u;
            } else if (label == 0xFF && data.compare(0, 11, "NETSCAPE2.0") == 0) {
                out.loops = true;
            }
        } else if (kind == 0x2C) {
            if (at + 10 > g.size()) return false;
            const unsigned left = le16(at), top = le16(at + 2), w = le16(at + 4), h = le16(at + 6);
            if (u8(at + 8) & 0xC0) return false;  // no local tables or interlacing expected
            at += 9;
            const int minSize = static_cast<int>(u8(at++));
            std::string data;
            if (!blocks(data)) return false;
            std::vector<std::uint8_t> indices;
            if (!Lzw(data, minSize, std::size_t{w} * h, indices)) return false;
            std::vector<std::uint32_t> frame(static_cast<std::size_t>(out.width) * out.height, 0);
            for (unsigned y = 0; y < h; ++y)
                for (unsigned x = 0; x < w; ++x) {
                    const int i = indices[y * w + x];
                    if (i == transparent || left + x >= static_cast<unsigned>(out.width) ||
                        top + y >= static_cast<unsigned>(out.height))
                        continue;
                    if (static_cast<std::size_t>(i) >= palette.size()) return false;
                    frame[(top + y) * static_cast<unsigned>(out.width) + left + x] = palette[static_cast<std::size_t>(i)];
                }
            out.frames.push_back(std::move(frame));
            out.delaysMs.push_back(delay);
        } else {
            return false;
        }
    }
    return false;
}

}  // namespace srvtest
