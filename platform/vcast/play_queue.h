#pragma once
// The frames between the connection thread and the play instance's thread.
// Bounded in count and bytes; a delta is useless without everything since
// its keyframe, so once one is refused every delta waits for the next
// keyframe. Not locked: the play instance holds its lock around it.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

struct PlayFrame {
    bool key = false;
    std::uint32_t stamp = 0;
    std::vector<unsigned char> bytes;
};

class CPlayQueue {
public:
    static constexpr std::size_t kMaxFrames = 60;
    static constexpr std::size_t kMaxBytes = 8u << 20;

    // Takes the frame; false when it was refused (no keyframe since the
    // start, a clear or an overflow; or a frame larger than the queue).
    bool Push(PlayFrame&& frame);
    bool Pop(PlayFrame& out);
    // Drops everything; the next frame taken must be a keyframe.
    void Clear();

    bool Empty() const { return frames_.empty(); }
    std::size_t Count() const { return frames_.size(); }
    std::size_t Bytes() const { return bytes_; }

private:
    std::deque<PlayFrame> frames_;
    std::size_t bytes_ = 0;
    bool needKey_ = true;
};
