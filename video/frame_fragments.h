#pragma once
// Cutting an encoded frame into the pieces that go on the wire. A field of
// a packet body holds at most 65535 bytes, and a keyframe can be larger:
// such a frame goes as up to 16 pieces sharing its stamp.

#include <cstddef>
#include <vector>

#include "video/media_frame_word.h"

struct FramePiece {
    MediaFrame frame;  // the frame's fields; f2 the piece's index, f4 the count
    const unsigned char* data = nullptr;  // points into the frame's bytes
    std::size_t length = 0;
};

// A frame of up to kMaxPieceBytes is one piece (f2 = 0, f4 = 0); a larger
// one is cut into the fewest pieces of nearly equal size (f2 = index,
// f4 = count). Nothing (an empty result) for an empty frame or one over
// kMaxVideoFrameBytes: it cannot be sent.
std::vector<FramePiece> SplitFrame(const MediaFrame& frame, const unsigned char* data,
                                   std::size_t length);
