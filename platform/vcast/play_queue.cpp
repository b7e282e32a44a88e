#include "platform/vcast/play_queue.h"

bool CPlayQueue::Push(PlayFrame&& frame) {
    const std::size_t size = frame.bytes.size();
    if (size > kMaxBytes) return false;
    if (!frame.key && needKey_) return false;
    const bool full = frames_.size() >= kMaxFrames || bytes_ + size > kMaxBytes;
    if (full) {
        if (!frame.key) {
            needKey_ = true;
            return false;
        }
        // A keyframe starts over: what waits before it is stale anyway.
        Clear();
    }
    needKey_ = false;
    bytes_ += size;
    frames_.push_back(std::move(frame));
    return true;
}

bool CPlayQueue::Pop(PlayFrame& out) {
    if (frames_.empty()) return false;
    out = std::move(frames_.front());
    frames_.pop_front();
    bytes_ -= out.bytes.size();
    return true;
}

void CPlayQueue::Clear() {
    frames_.clear();
    bytes_ = 0;
    needKey_ = true;
}
