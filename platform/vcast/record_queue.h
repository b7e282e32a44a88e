#pragma once
// The pushes waiting for the recorder's thread. The threads that push (the
// connection's, the capture thread, the audio engine's) must never wait for
// a codec or a disk, so a push is copied here and the recorder's thread
// takes it later. Bounded in count and bytes; when full:
// - a video delta is dropped, and every delta after it until a keyframe
//   (a delta is useless without everything since its keyframe);
// - a voice frame pushes out the oldest voice frame queued;
// - a keyframe pushes out the newest queued deltas (those after the last
//   queued keyframe, newest first, so what stays still decodes), then the
//   oldest voice frames.
// Not locked: the recorder holds its lock around it.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "platform/vcast/media_frame.h"

struct RecordItem {
    MediaFrame frame;          // its data pointer is not kept: `bytes` hold the data
    std::uint32_t tick = 0;    // the local tick of the push: the time line's "now"
    std::vector<unsigned char> bytes;

    bool Video() const { return frame.f0 == media_frame::kCodecH264; }
    bool Key() const { return Video() && frame.f1 == media_frame::kKeyFrame; }
};

class CRecordQueue {
public:
    static constexpr std::size_t kMaxItems = 300;
    static constexpr std::size_t kMaxBytes = 8u << 20;

    explicit CRecordQueue(std::size_t maxItems = kMaxItems, std::size_t maxBytes = kMaxBytes)
        : maxItems_(maxItems), maxBytes_(maxBytes) {}

    // Takes the item; false when it was dropped (counted).
    bool Push(RecordItem&& item);
    bool Pop(RecordItem& out);

    bool Empty() const { return items_.empty(); }
    std::size_t Count() const { return items_.size(); }
    std::size_t Bytes() const { return bytes_; }
    // Dropped so far, refused pushes and pushed-out items alike.
    std::uint64_t VideoDropped() const { return videoDropped_; }
    std::uint64_t AudioDropped() const { return audioDropped_; }

private:
    bool Fits(std::size_t size) const {
        return items_.size() < maxItems_ && bytes_ + size <= maxBytes_;
    }
    // Whether pushing out what the rule allows would make room.
    bool CouldFit(std::size_t size, bool key) const;
    void MakeRoomFromOldestAudio(std::size_t size);
    void MakeRoomFromNewestDeltas(std::size_t size);
    void Erase(std::deque<RecordItem>::iterator it);

    std::size_t maxItems_, maxBytes_;
    std::deque<RecordItem> items_;
    std::size_t bytes_ = 0;
    bool needKey_ = false;
    std::uint64_t videoDropped_ = 0;
    std::uint64_t audioDropped_ = 0;
};
