#pragma once
// When a decoded picture may be shown: against the audio clock that playback
// reports with every record it hands to the speaker, so the anchor's lips
// move with the anchor's voice. Pure logic on an injected clock.

#include <cstdint>

#include "core/clock.h"

class CPresentClock {
public:
    // Without a report for this long the audio has stopped: show on arrival.
    static constexpr std::uint32_t kStaleMs = 500;
    // Video further than this from the audio clock is from another timeline
    // (a new anchor, a reset): holding it would freeze the picture.
    static constexpr std::int32_t kUnrelatedMs = 1000;

    explicit CPresentClock(IClock& clock) : clock_(clock) {}

    // The stamp of the audio just handed to the output, now.
    void SignStamp(std::uint32_t stamp);
    // Forgets the audio clock (a new anchor, a cleared player).
    void Reset() { signed_ = false; }

    // 0: show the picture stamped `stamp` now; else how long to wait before
    // asking again (the clock may move or go stale meanwhile).
    std::uint32_t WaitMs(std::uint32_t stamp);

private:
    IClock& clock_;
    bool signed_ = false;
    std::uint32_t audioStamp_ = 0;
    std::uint32_t signTick_ = 0;
};
