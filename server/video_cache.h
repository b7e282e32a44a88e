#pragma once
// The video relay's state that needs no socket: what a room keeps of its
// anchor's video for viewers who join later, and, per viewer, which frames
// still go to a connection that has fallen behind. The room handler owns
// both and uses them under its lock (room_video.cpp).
//
// A viewer never gets a delta frame without the frames before it back to
// a keyframe, or its decoder would draw garbage until the next keyframe.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "server/relay_session.h"
#include "video/media_frame_word.h"

namespace server {

// Whether a Video_Data's header word and byte count can be a frame or a
// piece of one (H.264, some bytes, at most 16 pieces, index inside count).
inline bool VideoDataAdmissible(std::uint32_t word, std::size_t length) {
    return ValidVideoWord(word, length);
}

// A room's anchor's latest keyframe, all its pieces, and every frame since,
// as the packets the viewers were sent.
class CVideoCache {
public:
    // A newcomer's catch-up stays well under a connection's output limit.
    static constexpr std::size_t kMaxBytes = 4u << 20;
    // At a keyframe every 2 s even 30 frames a second of 16 pieces fit.
    static constexpr std::size_t kMaxPieces = 1024;

    struct Entry {
        MediaFrame piece;  // the word's fields and the stamp
        SharedPacket packet;
    };

    // A relayed piece. The first piece of a keyframe starts the cache
    // afresh; anything else is kept only after one. Past kMaxBytes or
    // kMaxPieces nothing is kept until the next keyframe.
    void Add(const MediaFrame& piece, const SharedPacket& packet);
    void Clear();

    // Oldest first; the first entry, when there is one, starts a keyframe.
    const std::vector<Entry>& entries() const { return entries_; }
    std::size_t bytes() const { return bytes_; }
    bool empty() const { return entries_.empty(); }

private:
    std::vector<Entry> entries_;
    std::size_t bytes_ = 0;
};

// Which of the anchor's frames go to one viewer. Decided per frame at its
// first piece: a viewer whose connection has more than kBacklogBytes unsent
// gets keyframes only (while it has at most kKeyframeCeiling unsent, so
// that even the largest keyframe stays under the connection's limit), and
// once back under kBacklogBytes everything again from the next keyframe on.
class CViewerGate {
public:
    static constexpr std::size_t kBacklogBytes = 1u << 20;
    static constexpr std::size_t kKeyframeCeiling = 2u << 20;

    // Whether `piece` goes to the viewer with `queued` bytes unsent. Later
    // pieces follow their frame's first; a piece its frame has had already,
    // or one of another count, does not go.
    bool Pass(const MediaFrame& piece, std::size_t queued);
    // Nothing until the next keyframe: a viewer that has seen nothing yet,
    // or a new anchor.
    void WaitForKeyframe();
    // Whether every frame goes (not only keyframes).
    bool live() const { return live_; }

private:
    bool live_ = false;
    bool decided_ = false;      // a frame's first piece was seen
    std::uint32_t stamp_ = 0;   // that frame's stamp
    std::uint8_t count_ = 0;    // its piece count
    bool send_ = false;         // whether it goes
    std::uint32_t sent_ = 0;    // one bit per piece of it passed
};

}  // namespace server
