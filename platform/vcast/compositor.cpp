#include "platform/vcast/compositor.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {
// White balance at 1 or 100 moves red and blue this far in opposite directions.
constexpr double kWhiteBalanceReach = 40.0;
}  // namespace

CCompositor::CCompositor() { BuildTables(); }

void CCompositor::SetEffect(const EffectSettings& effect) {
    effect_ = effect;
    BuildTables();
}

void CCompositor::SetFace(const std::string& face) { face_ = face; }
void CCompositor::SetLyric(const std::string& line) { lyric_ = line; }

void CCompositor::BuildTables() {
    // 0 is off; 1 … 100 runs from cool to warm through neutral at 50.
    const double warm = effect_.whiteBalance == 0
                            ? 0.0
                            : (static_cast<double>(effect_.whiteBalance) - 50.0) / 50.0 * kWhiteBalanceReach;
    const double shift[3] = {warm, 0.0, -warm};
    for (int c = 0; c < 3; ++c) {
        for (int v = 0; v < 256; ++v) {
            double x = v * static_cast<double>(effect_.brightness);
            x = (x - 128.0) * effect_.contrast + 128.0 + shift[c];
            table_[c][v] = static_cast<std::uint8_t>(std::clamp(std::lround(x), 0L, 255L));
        }
    }
}

void CCompositor::Stretch(VcastPicture& p) const {
    // Each output column samples the source column scaled about the centre;
    // columns outside the source turn black.
    const double factor = effect_.stretch / 10.0;
    const int w = p.width;
    std::vector<int> from(static_cast<std::size_t>(w));
    for (int x = 0; x < w; ++x) {
        const double sx = (x + 0.5 - w / 2.0) / factor + w / 2.0;
        from[x] = sx < 0 || sx >= w ? -1 : static_cast<int>(sx);
    }
    std::vector<std::uint32_t> row(static_cast<std::size_t>(w));
    for (int y = 0; y < p.height; ++y) {
        std::uint32_t* line = &p.argb[static_cast<std::size_t>(y) * w];
        std::copy(line, line + w, row.begin());
        for (int x = 0; x < w; ++x) line[x] = from[x] < 0 ? 0xFF000000u : row[from[x]];
    }
}

void CCompositor::Apply(VcastPicture& p) {
    if (p.width <= 0 || p.height <= 0 ||
        p.argb.size() < static_cast<std::size_t>(p.width) * p.height)
        return;
    const bool adjust = effect_.brightness != 1.0f || effect_.contrast != 1.0f || effect_.whiteBalance != 0;
    if (adjust) {
        for (auto& px : p.argb) {
            px = (px & 0xFF000000u) | std::uint32_t(table_[0][(px >> 16) & 255]) << 16 |
                 std::uint32_t(table_[1][(px >> 8) & 255]) << 8 | table_[2][px & 255];
        }
    }
    if (effect_.stretch != 10) Stretch(p);
    if (effect_.mirror) {
        for (int y = 0; y < p.height; ++y) {
            auto* line = &p.argb[static_cast<std::size_t>(y) * p.width];
            std::reverse(line, line + p.width);
        }
    }
    overlay_.Paint(p, effect_, face_.empty() ? effect_.face : face_, lyric_, frame_++);
}
