#pragma once
// The frame descriptor's small fields travel as one 32-bit integer beside
// the frame's bytes: f0 and f1 in the top two nibbles, f4, f2 and f3 one
// byte each below. Only the word and the stamp cross the network; the
// descriptor's layout in memory is the video library's business.

#include <cstddef>
#include <cstdint>

#include "platform/vcast/media_frame.h"

// A frame's bytes go in at most this many pieces of at most this size, so
// each piece fits one field of a packet body.
inline constexpr std::size_t kMaxFramePieces = 16;
inline constexpr std::size_t kMaxPieceBytes = 60000;
inline constexpr std::size_t kMaxVideoFrameBytes = kMaxFramePieces * kMaxPieceBytes;

// f0 << 28 | f1 << 24 | f4 << 16 | f2 << 8 | f3; f0 and f1 keep their low
// four bits.
std::uint32_t PackFrameWord(const MediaFrame& frame);
// The five fields of a word; stamp, length and data are left zero.
MediaFrame UnpackFrameWord(std::uint32_t word);

// Whether a received word and its byte count can be a frame or a piece of
// one: H.264, some bytes, at most 16 pieces, an index inside the count
// (a whole frame has count 0 or 1 and index 0).
bool ValidVideoWord(std::uint32_t word, std::size_t length);

// The first piece of a keyframe: where a viewer can start.
inline bool StartsKeyFrame(const MediaFrame& frame) {
    return frame.f1 == media_frame::kKeyFrame && frame.f2 == 0;
}
