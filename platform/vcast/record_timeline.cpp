#include "platform/vcast/record_timeline.h"

#include "platform/vcast/media_frame.h"

std::int64_t CRecordTimeline::ElapsedMs(std::uint32_t nowTick) const {
    const auto elapsed = static_cast<std::int32_t>(nowTick - openTick_);
    return elapsed < 0 ? 0 : elapsed;
}

bool CRecordTimeline::ToFileMs(std::uint8_t clock, std::uint32_t stamp, std::uint32_t nowTick,
                               std::int64_t& fileMs) {
    if (clock != media_frame::kClockLocal && clock != media_frame::kClockSender) return false;
    Tie& tie = ties_[clock];
    const auto leap = static_cast<std::int32_t>(stamp - tie.lastStamp);
    if (!tie.fixed || leap > kLeapMs || leap < -kLeapMs) {
        tie.fixed = true;
        tie.offset = stamp - static_cast<std::uint32_t>(ElapsedMs(nowTick));
    }
    tie.lastStamp = stamp;
    const auto ms = static_cast<std::int32_t>(stamp - tie.offset);
    if (ms < 0) return false;
    fileMs = ms;
    return true;
}

void CFramePacer::Picture(std::int64_t ms) {
    if (lastPicture_ < 0) {
        base_ = ms;
        baseFrame_ = next_;
    } else {
        lastSpan_ = ms - lastPicture_;
    }
    lastPicture_ = ms;
}

std::int64_t CFramePacer::PicturesEnd() const {
    if (lastPicture_ < 0) return -1;
    return lastPicture_ + (lastSpan_ > 0 ? lastSpan_ : FrameMs());
}
