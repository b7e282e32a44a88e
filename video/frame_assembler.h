#pragma once
// Joins the pieces of received frames (video/frame_fragments.h) back into
// whole frames. The pieces of one frame share its stamp. A piece lost on
// the way costs only its own frame: the first piece of another stamp
// abandons the unfinished frame, and the pieces of one frame may come in any
// order. A piece that contradicts its frame (a repeated index, another
// count) or a frame that grows past kMaxVideoFrameBytes loses that frame,
// and its remaining pieces are passed over.
//
// Not thread-safe: its owner serialises the calls (the video engine's play
// lock).

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "video/media_frame_word.h"

enum class AssembleResult {
    kNeedMore,  // a piece was kept; its frame is not complete yet
    kWhole,     // `out` and `bytes` hold a whole frame
    kDropped,   // the piece is not used (refused, or its frame is lost)
};

class CFrameAssembler {
public:
    using AssembleResult = ::AssembleResult;

    // A frame or a piece as received. A whole frame (f4 0 or 1) passes
    // straight through: out = frame with f2 = f4 = 0 and length set, bytes =
    // a copy. The last missing piece of a frame gives the frame joined in
    // index order. `bytes` is replaced only on kWhole.
    AssembleResult Add(const MediaFrame& frame, const unsigned char* data, std::size_t length,
                       MediaFrame& out, std::vector<unsigned char>& bytes);
    // Forgets an unfinished frame without counting it lost (a new anchor,
    // playback reset).
    void Clear();

    struct Counts {
        std::uint64_t whole = 0;    // frames that came whole
        std::uint64_t joined = 0;   // frames joined from pieces
        std::uint64_t dropped = 0;  // frames lost: unfinished, contradictory or too large
        std::uint64_t refused = 0;  // pieces that could be no frame (no bytes, bad index)
    };
    const Counts& counts() const { return counts_; }

private:
    // Counts the unfinished frame lost; its later pieces are passed over.
    void Lose();

    bool pending_ = false;
    MediaFrame head_;          // the unfinished frame: stamp, count and fields
    std::uint32_t have_ = 0;   // one bit per piece received
    std::size_t total_ = 0;    // bytes received so far
    std::array<std::vector<unsigned char>, kMaxFramePieces> parts_;
    bool lostAny_ = false;
    std::uint32_t lostStamp_ = 0;  // the last frame lost, whose stragglers are passed over
    Counts counts_;
};
