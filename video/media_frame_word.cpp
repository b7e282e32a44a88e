#include "video/media_frame_word.h"

std::uint32_t PackFrameWord(const MediaFrame& frame) {
    return (std::uint32_t{frame.f0} & 0x0Fu) << 28 | (std::uint32_t{frame.f1} & 0x0Fu) << 24 |
           std::uint32_t{frame.f4} << 16 | std::uint32_t{frame.f2} << 8 | std::uint32_t{frame.f3};
}

MediaFrame UnpackFrameWord(std::uint32_t word) {
    MediaFrame f;
    f.f0 = static_cast<std::uint8_t>(word >> 28);
    f.f1 = static_cast<std::uint8_t>((word >> 24) & 0x0Fu);
    f.f4 = static_cast<std::uint8_t>((word >> 16) & 0xFFu);
    f.f2 = static_cast<std::uint8_t>((word >> 8) & 0xFFu);
    f.f3 = static_cast<std::uint8_t>(word & 0xFFu);
    return f;
}

bool ValidVideoWord(std::uint32_t word, std::size_t length) {
    const MediaFrame f = UnpackFrameWord(word);
    const unsigned count = f.f4 < 1 ? 1 : f.f4;
    return f.f0 == media_frame::kCodecH264 && length > 0 && f.f4 <= kMaxFramePieces &&
           f.f2 < count;
}
