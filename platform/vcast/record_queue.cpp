#include "platform/vcast/record_queue.h"

bool CRecordQueue::Push(RecordItem&& item) {
    const std::size_t size = item.bytes.size();
    const bool video = item.Video();
    const bool key = item.Key();
    auto drop = [&] {
        ++(video ? videoDropped_ : audioDropped_);
        return false;
    };
    if (size > maxBytes_ || maxItems_ == 0) {
        if (video) needKey_ = true;
        return drop();
    }
    if (video && !key && needKey_) return drop();
    if (!Fits(size)) {
        if (video && !key) {
            needKey_ = true;
            return drop();
        }
        // Nothing is pushed out for an item that would not fit even then.
        if (!CouldFit(size, key)) {
            if (video) needKey_ = true;
            return drop();
        }
        if (key) MakeRoomFromNewestDeltas(size);
        MakeRoomFromOldestAudio(size);
    }
    if (key) needKey_ = false;
    bytes_ += size;
    items_.push_back(std::move(item));
    return true;
}

bool CRecordQueue::Pop(RecordItem& out) {
    if (items_.empty()) return false;
    out = std::move(items_.front());
    items_.pop_front();
    bytes_ -= out.bytes.size();
    return true;
}

void CRecordQueue::Erase(std::deque<RecordItem>::iterator it) {
    bytes_ -= it->bytes.size();
    ++(it->Video() ? videoDropped_ : audioDropped_);
    items_.erase(it);
}

bool CRecordQueue::CouldFit(std::size_t size, bool key) const {
    std::size_t count = 0, bytes = 0;  // what may be pushed out
    bool deltas = key;                 // the newest deltas, back to the last keyframe
    for (auto it = items_.rbegin(); it != items_.rend(); ++it) {
        if (it->Key()) deltas = false;
        if (it->Video() && !deltas) continue;
        ++count;
        bytes += it->bytes.size();
    }
    return items_.size() - count < maxItems_ && bytes_ - bytes + size <= maxBytes_;
}

void CRecordQueue::MakeRoomFromOldestAudio(std::size_t size) {
    for (auto it = items_.begin(); it != items_.end() && !Fits(size);) {
        if (it->Video()) {
            ++it;
            continue;
        }
        const auto at = it - items_.begin();
        Erase(it);
        it = items_.begin() + at;
    }
}

void CRecordQueue::MakeRoomFromNewestDeltas(std::size_t size) {
    // Back to the last queued keyframe: dropping the newest deltas first
    // leaves an unbroken chain behind it.
    std::size_t at = items_.size();
    while (at > 0 && !Fits(size)) {
        --at;
        const RecordItem& item = items_[at];
        if (item.Key()) break;
        if (item.Video()) Erase(items_.begin() + static_cast<std::ptrdiff_t>(at));
    }
}
