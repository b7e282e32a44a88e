#pragma once
// The frame descriptor the video library exchanges with the program in both
// directions. It never crosses the network whole: only the packed word of
// video/media_frame_word.h and the stamp do.

#include <cstdint>

struct MediaFrame {
    std::uint8_t f0 = 0;  // codec: kCodecH264, or an audio codec on recorder pushes
    std::uint8_t f1 = 0;  // video: kKeyFrame or kDeltaFrame
    std::uint8_t f2 = 0;  // video: fragment index
    std::uint8_t f3 = 0;  // video: 1 keyframe, 0 a frame congestion may drop
    std::uint8_t f4 = 0;  // video: fragment count (0 or 1 = whole)
    std::uint8_t clock = 0;  // recorder pushes: kClockLocal or kClockSender
    std::uint8_t reserved[2] = {0, 0};
    std::uint32_t stamp = 0;   // milliseconds
    std::uint32_t length = 0;  // bytes of frame data
    const unsigned char* data = nullptr;  // captured frames only; else passed beside
};

namespace media_frame {
inline constexpr std::uint8_t kCodecH264 = 1;    // Annex B, SPS/PPS before every IDR
inline constexpr std::uint8_t kCodecAacAdts = 2; // audio pushed to the recorder
inline constexpr std::uint8_t kCodecAmrNb = 3;   // audio pushed to the recorder (with its header byte)
inline constexpr std::uint8_t kKeyFrame = 1;
inline constexpr std::uint8_t kDeltaFrame = 2;
// Which clock a recorder push's stamp is on: this computer's millisecond
// tick, or the sender's stamps (received voice and video).
inline constexpr std::uint8_t kClockLocal = 0;
inline constexpr std::uint8_t kClockSender = 1;
}  // namespace media_frame
