#include "video/frame_fragments.h"

std::vector<FramePiece> SplitFrame(const MediaFrame& frame, const unsigned char* data,
                                   std::size_t length) {
    std::vector<FramePiece> out;
    if (length == 0 || !data || length > kMaxVideoFrameBytes) return out;
    const std::size_t count = (length + kMaxPieceBytes - 1) / kMaxPieceBytes;
    out.reserve(count);
    // Nearly equal sizes rather than full pieces and a scrap: the pieces of
    // one frame then take about the same time on the wire.
    const std::size_t base = length / count, longer = length % count;
    std::size_t at = 0;
    for (std::size_t i = 0; i < count; ++i) {
        FramePiece p;
        p.frame = frame;
        p.frame.data = nullptr;
        p.frame.f2 = static_cast<std::uint8_t>(i);
        p.frame.f4 = count > 1 ? static_cast<std::uint8_t>(count) : 0;
        p.length = base + (i < longer ? 1 : 0);
        p.frame.length = static_cast<std::uint32_t>(p.length);
        p.data = data + at;
        at += p.length;
        out.push_back(p);
    }
    return out;
}
