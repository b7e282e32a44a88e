#include "server/art/gif.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <unordered_map>

namespace server::art {

namespace {

constexpr int kMinCodeSize = 8;  // a full 256-entry palette
constexpr int kMaxCodes = 4096;
constexpr std::uint8_t kTransparent = 255;

void PutLe16(std::string& out, unsigned v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}

// Codes packed least significant bit first, cut into sub-blocks of 255.
class CCodeWriter {
public:
    void Put(unsigned code, int bits) {
        acc_ |= static_cast<std::uint32_t>(code) << count_;
        count_ += bits;
        while (count_ >= 8) {
            bytes_ += static_cast<char>(acc_ & 0xFF);
            acc_ >>= 8;
            count_ -= 8;
        }
    }
    std::string Blocks() {
        if (count_ > 0) bytes_ += static_cast<char>(acc_ & 0xFF);
        acc_ = 0;
        count_ = 0;
        std::string out;
        for (std::size_t i = 0; i < bytes_.size(); i += 255) {
            const std::size_t n = std::min<std::size_t>(255, bytes_.size() - i);
            out += static_cast<char>(n);
            out.append(bytes_, i, n);
        }
        out += '\0';
        return out;
    }

private:
    std::uint32_t acc_ = 0;
    int count_ = 0;
    std::string bytes_;
};

// Variable-width LZW as GIF readers expect it: the width grows once the
// next free code no longer fits, and a full table starts over with a clear.
std::string Compress(const std::vector<std::uint8_t>& indices) {
    const unsigned clear = 1u << kMinCodeSize;
    const unsigned end = clear + 1;
    CCodeWriter w;
    std::unordered_map<std::uint32_t, unsigned> table;
    int width = kMinCodeSize + 1;
    unsigned next = end + 1;
    w.Put(clear, width);
    if (indices.empty()) {
        w.Put(end, width);
        return w.Blocks();
    }
    unsigned current = indices[0];
    for (std::size_t i = 1; i < indices.size(); ++i) {
        const std::uint32_t key = (current << 8) | indices[i];
        const auto it = table.find(key);
        if (it != table.end()) {
            current = it->second;
            continue;
        }
        w.Put(current, width);
        if (next < kMaxCodes) {
            table.emplace(key, next++);
            if (next > (1u << width) && width < 12) ++width;
        } else {
            w.Put(clear, width);
            table.clear();
            width = kMinCodeSize + 1;
            next = end + 1;
        }
        current = indices[i];
    }
    w.Put(current, width);
    // A reader adds an entry for that last code too, and may widen for it.
    if (next == (1u << width) && width < 12) ++width;
    w.Put(end, width);
    return w.Blocks();
}

std::uint32_t Distance(Colour a, Colour b) {
    std::uint32_t d = 0;
    for (int shift : {16, 8, 0}) {
        const int x = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
        d += static_cast<std::uint32_t>(x * x);
    }
    return d;
}

}  // namespace

std::string EncodeGif(const std::vector<GifFrame>& frames) {
    if (frames.empty()) return {};
    const int w = frames[0].picture.width(), h = frames[0].picture.height();
    for (const GifFrame& f : frames)
        if (f.picture.width() != w || f.picture.height() != h) return {};

    // The palette: most used colours first, so the nearest-colour fallback
    // only ever touches rare ones.
    std::map<Colour, std::size_t> uses;
    for (const GifFrame& f : frames)
        for (Colour c : f.picture.pixels())
            if (c >> 24) ++uses[c | 0xFF000000u];
    std::vector<std::pair<Colour, std::size_t>> byUse(uses.begin(), uses.end());
    std::stable_sort(byUse.begin(), byUse.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    std::vector<Colour> palette;
    for (const auto& [c, n] : byUse) {
        if (palette.size() == kTransparent) break;
        palette.push_back(c);
    }
    std::unordered_map<Colour, std::uint8_t> indexOf;
    for (std::size_t i = 0; i < palette.size(); ++i) indexOf[palette[i]] = static_cast<std::uint8_t>(i);
    const auto index = [&](Colour c) -> std::uint8_t {
        if ((c >> 24) == 0) return kTransparent;
        c |= 0xFF000000u;
        if (auto it = indexOf.find(c); it != indexOf.end()) return it->second;
        std::uint8_t best = 0;
        for (std::size_t i = 1; i < palette.size(); ++i)
            if (Distance(palette[i], c) < Distance(palette[best], c)) best = static_cast<std::uint8_t>(i);
        indexOf[c] = best;
        return best;
    };

    std::string out = "GIF89a";
    PutLe16(out, static_cast<unsigned>(w));
    PutLe16(out, static_cast<unsigned>(h));
    out += '\xF7';  // global table of 256 entries, 8 bits per channel
    out += static_cast<char>(kTransparent);  // background
    out += '\0';
    for (std::size_t i = 0; i < 256; ++i) {
        const Colour c = i < palette.size() ? palette[i] : 0;
        out += static_cast<char>((c >> 16) & 0xFF);
        out += static_cast<char>((c >> 8) & 0xFF);
        out += static_cast<char>(c & 0xFF);
    }
    // Loop for ever.
    out += "\x21\xFF\x0BNETSCAPE2.0\x03\x01";
    PutLe16(out, 0);
    out += '\0';
    for (const GifFrame& f : frames) {
        out += "\x21\xF9\x04";
        out += '\x09';  // restore to the background (clear) before the next frame; transparency on
        PutLe16(out, std::max(2u, (f.delayMs + 5) / 10));
        out += static_cast<char>(kTransparent);
        out += '\0';
        out += '\x2C';
        PutLe16(out, 0);
        PutLe16(out, 0);
        PutLe16(out, static_cast<unsigned>(w));
        PutLe16(out, static_cast<unsigned>(h));
        out += '\0';  // no local table, not interlaced
        std::vector<std::uint8_t> indices;
        indices.reserve(f.picture.pixels().size());
        for (Colour c : f.picture.pixels()) indices.push_back(index(c));
        out += static_cast<char>(kMinCodeSize);
        out += Compress(indices);
    }
    out += '\x3B';
    return out;
}

}  // namespace server::art
