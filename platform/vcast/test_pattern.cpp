#include "platform/vcast/test_pattern.h"

#include <algorithm>
#include <bitset>

namespace vcast_pattern {
namespace {

// Marker (white, black), 32 counter bits from the top, 4 check bits.
constexpr int kBlocks = 38;
constexpr std::uint32_t kWhite = 0xFFFFFFFFu;
constexpr std::uint32_t kBlack = 0xFF000000u;
constexpr std::uint32_t kBars[] = {0xFFC0C0C0u, 0xFFC0C000u, 0xFF00C0C0u, 0xFF00C000u,
                                   0xFFC000C0u, 0xFFC00000u, 0xFF0000C0u};

int BlockSize(int width) { return std::max(2, width / (kBlocks + 2)); }

std::uint32_t Check(std::uint32_t counter) {
    return static_cast<std::uint32_t>(std::bitset<32>(counter).count()) & 15u;
}

bool Bit(int block, std::uint32_t counter) {
    if (block == 0) return true;
    if (block == 1) return false;
    if (block < 34) return (counter >> (33 - block)) & 1u;
    return (Check(counter) >> (37 - block)) & 1u;
}

int Luma(std::uint32_t p) {
    return (((p >> 16) & 255) * 77 + ((p >> 8) & 255) * 150 + (p & 255) * 29) >> 8;
}

}  // namespace

void Draw(VcastPicture& picture, int width, int height, std::uint32_t counter, std::uint32_t ms) {
    width = std::max(width, 2);
    height = std::max(height, 2);
    picture.width = width;
    picture.height = height;
    picture.stamp = ms;
    picture.argb.assign(static_cast<std::size_t>(width) * height, kBlack);
    const int block = BlockSize(width);
    const int band = block * 2;  // counter row height
    const int barWidth = std::max(1, width / 7);
    const int shift = static_cast<int>(counter % static_cast<std::uint32_t>(width));
    const int sweepY = height - std::max(2, height / 16);
    const int sweep = static_cast<int>(static_cast<std::uint64_t>(ms % 1000) * width / 1000);
    for (int y = 0; y < height; ++y) {
        std::uint32_t* row = &picture.argb[static_cast<std::size_t>(y) * width];
        for (int x = 0; x < width; ++x) {
            std::uint32_t c;
            if (y < band + block) {
                const int b = x / block - 1;  // one block of margin on the left
                const bool inRow = y >= block / 2 && y < block / 2 + band && b >= 0 && b < kBlocks;
                c = inRow ? (Bit(b, counter) ? kWhite : kBlack) : 0xFF404040u;
            } else if (y >= sweepY) {
                c = x < sweep ? kWhite : 0xFF202020u;
            } else {
                c = kBars[((x + shift) / barWidth) % 7];
            }
            row[x] = c;
        }
    }
}

bool ReadCounter(const VcastPicture& picture, std::uint32_t& counter) {
    const int width = picture.width;
    const int height = picture.height;
    if (width < 2 || height < 2 ||
        picture.argb.size() < static_cast<std::size_t>(width) * height)
        return false;
    const int block = BlockSize(width);
    const int band = block * 2;
    const int y0 = block / 2 + band / 4;
    const int y1 = std::min(height, block / 2 + band - band / 4);
    std::uint32_t value = 0, check = 0;
    for (int b = 0; b < kBlocks; ++b) {
        const int x0 = (b + 1) * block + block / 4;
        const int x1 = std::min(width, (b + 2) * block - block / 4);
        if (x1 <= x0 || y1 <= y0) return false;
        long sum = 0, n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x, ++n)
                sum += Luma(picture.argb[static_cast<std::size_t>(y) * width + x]);
        const long mean = sum / n;
        if (mean > 80 && mean < 176) return false;  // neither black nor white
        const bool bit = mean >= 128;
        if (b == 0 && !bit) return false;
        if (b == 1 && bit) return false;
        if (b >= 2 && b < 34) value = (value << 1) | (bit ? 1u : 0u);
        if (b >= 34) check = (check << 1) | (bit ? 1u : 0u);
    }
    if (check != Check(value)) return false;
    counter = value;
    return true;
}

}  // namespace vcast_pattern
