#pragma once
// ADTS, the framing of each AAC frame on the voice path: a 7-byte header
// (9 with a checksum) before every raw frame. The voice relay checks frames
// with it before passing them on, and the client before decoding, so
// neither hands a decoder bytes that only claim to be audio.

#include <cstddef>
#include <cstdint>

namespace adts {

inline constexpr std::size_t kHeaderBytes = 7;
inline constexpr int kProfileLc = 1;             // profile field 1: AAC-LC
inline constexpr int kSampling22050 = 7;         // sampling-frequency index of 22050 Hz
inline constexpr int kMono = 1;                  // channel configuration

struct Header {
    int profile = 0;          // the 2-bit profile field (object type − 1)
    int samplingIndex = 0;
    int channels = 0;         // the channel configuration
    std::size_t headerBytes = kHeaderBytes;
    std::size_t frameBytes = 0;  // header included
};

// The header at the start of `bytes`; false when there is none (no sync
// word, layer not 0, a frame shorter than its header, a reserved index).
bool ParseHeader(const unsigned char* bytes, std::size_t length, Header& out);

// Writes the 7-byte header (no checksum) of a frame of `frameBytes` bytes,
// header included, into `out`.
void WriteHeader(unsigned char* out, int profile, int samplingIndex, int channels,
                 std::size_t frameBytes);

// How many whole ADTS frames of the given kind fill `bytes` exactly; -1
// when they do not (a bad or different header, a frame cut short, bytes
// left over) or when there are more than `maxFrames`.
int CountFrames(const unsigned char* bytes, std::size_t length, int profile, int samplingIndex,
                int channels, int maxFrames);

}  // namespace adts
