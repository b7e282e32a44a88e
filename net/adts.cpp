#include "net/adts.h"

namespace adts {

bool ParseHeader(const unsigned char* b, std::size_t length, Header& out) {
    if (!b || length < kHeaderBytes) return false;
    if (b[0] != 0xFF || (b[1] & 0xF0) != 0xF0) return false;  // sync word
    if ((b[1] & 0x06) != 0) return false;                      // layer is always 0
    const bool protectionAbsent = (b[1] & 0x01) != 0;
    Header h;
    h.profile = (b[2] >> 6) & 0x03;
    h.samplingIndex = (b[2] >> 2) & 0x0F;
    h.channels = ((b[2] & 0x01) << 2) | ((b[3] >> 6) & 0x03);
    h.headerBytes = protectionAbsent ? kHeaderBytes : kHeaderBytes + 2;
    h.frameBytes = (static_cast<std::size_t>(b[3] & 0x03) << 11) |
                   (static_cast<std::size_t>(b[4]) << 3) | ((b[5] >> 5) & 0x07);
    if (h.samplingIndex > 12) return false;  // 13–15 are reserved
    if (h.frameBytes <= h.headerBytes) return false;
    out = h;
    return true;
}

void WriteHeader(unsigned char* h, int profile, int samplingIndex, int channels,
                 std::size_t frameBytes) {
    h[0] = 0xFF;
    h[1] = 0xF1;  // MPEG-4, layer 0, no checksum
    h[2] = static_cast<unsigned char>(((profile & 3) << 6) | ((samplingIndex & 0x0F) << 2) |
                                      ((channels >> 2) & 1));
    h[3] = static_cast<unsigned char>(((channels & 3) << 6) | ((frameBytes >> 11) & 3));
    h[4] = static_cast<unsigned char>((frameBytes >> 3) & 0xFF);
    h[5] = static_cast<unsigned char>(((frameBytes & 7) << 5) | 0x1F);  // buffer fullness: VBR
    h[6] = 0xFC;
}

int CountFrames(const unsigned char* bytes, std::size_t length, int profile, int samplingIndex,
                int channels, int maxFrames) {
    if (!bytes || length == 0) return -1;
    int frames = 0;
    std::size_t at = 0;
    while (at < length) {
        Header h;
        if (!ParseHeader(bytes + at, length - at, h)) return -1;
        if (h.profile != profile || h.samplingIndex != samplingIndex || h.channels != channels)
            return -1;
        if (h.frameBytes > length - at) return -1;  // cut short
        if (++frames > maxFrames) return -1;
        at += h.frameBytes;
    }
    return frames;
}

}  // namespace adts
