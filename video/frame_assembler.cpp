#include "video/frame_assembler.h"

AssembleResult CFrameAssembler::Add(const MediaFrame& frame, const unsigned char* data,
                                    std::size_t length, MediaFrame& out,
                                    std::vector<unsigned char>& bytes) {
    const unsigned count = frame.f4 < 1 ? 1 : frame.f4;
    if (!data || length == 0 || length > kMaxVideoFrameBytes || frame.f4 > kMaxFramePieces ||
        frame.f2 >= count) {
        ++counts_.refused;
        return AssembleResult::kDropped;
    }
    if (count == 1) {
        // A whole frame comes after everything of the unfinished one.
        if (pending_) Lose();
        out = frame;
        out.f2 = out.f4 = 0;
        out.length = static_cast<std::uint32_t>(length);
        out.data = nullptr;
        bytes.assign(data, data + length);
        ++counts_.whole;
        return AssembleResult::kWhole;
    }
    if (lostAny_ && frame.stamp == lostStamp_) return AssembleResult::kDropped;
    if (pending_ && frame.stamp != head_.stamp) Lose();
    const std::uint32_t bit = 1u << frame.f2;
    if (!pending_) {
        pending_ = true;
        head_ = frame;
        have_ = 0;
        total_ = 0;
    } else if (frame.f4 != head_.f4 || (have_ & bit) != 0) {
        Lose();
        return AssembleResult::kDropped;
    }
    if (total_ + length > kMaxVideoFrameBytes) {
        Lose();
        return AssembleResult::kDropped;
    }
    parts_[frame.f2].assign(data, data + length);
    have_ |= bit;
    total_ += length;
    // The frame's kind is what its first piece says.
    if (frame.f2 == 0) head_ = frame;
    if (have_ != (1u << count) - 1) return AssembleResult::kNeedMore;

    pending_ = false;
    out = head_;
    out.f2 = out.f4 = 0;
    out.length = static_cast<std::uint32_t>(total_);
    out.data = nullptr;
    bytes.clear();
    bytes.reserve(total_);
    for (unsigned i = 0; i < count; ++i) bytes.insert(bytes.end(), parts_[i].begin(), parts_[i].end());
    ++counts_.joined;
    return AssembleResult::kWhole;
}

void CFrameAssembler::Lose() {
    pending_ = false;
    lostAny_ = true;
    lostStamp_ = head_.stamp;
    ++counts_.dropped;
}

void CFrameAssembler::Clear() {
    pending_ = false;
    lostAny_ = false;
    have_ = 0;
    total_ = 0;
}
