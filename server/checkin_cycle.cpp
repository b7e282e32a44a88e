#include "server/checkin_cycle.h"

#include <algorithm>

namespace server {

namespace {

bool IsSigned(const CheckinDuty& duty, std::int64_t start) {
    return std::find(duty.signedCycles.begin(), duty.signedCycles.end(), start) !=
           duty.signedCycles.end();
}

// Cycle k (0 = the clock-in's) is live when k is 0 or cycle k-1 was signed
// and every one before it was live: walking forward stops at the first gap.
bool CycleLive(const CheckinDuty& duty, std::int64_t k) {
    const std::int64_t start = *duty.clockIn;
    for (std::int64_t i = 0; i < k; ++i)
        if (!IsSigned(duty, start + i * kCheckinCycleSeconds)) return false;
    return true;
}

// Which cycle `now` falls in; a clock set back before the clock-in counts
// as the first cycle rather than none.
std::int64_t CycleIndex(std::int64_t clockIn, std::int64_t now) {
    return now <= clockIn ? 0 : (now - clockIn) / kCheckinCycleSeconds;
}

}  // namespace

std::optional<std::int64_t> LiveCycle(const CheckinDuty& duty, std::int64_t now) {
    if (!duty.clockIn) return std::nullopt;
    const std::int64_t k = CycleIndex(*duty.clockIn, now);
    // Past as many cycles as were signed the duty has ended: no need to walk
    // a duty of years cycle by cycle.
    if (k > static_cast<std::int64_t>(duty.signedCycles.size())) return std::nullopt;
    if (!CycleLive(duty, k)) return std::nullopt;
    return *duty.clockIn + k * kCheckinCycleSeconds;
}

SignInVerdict JudgeSignIn(const CheckinDuty& duty, std::int64_t now) {
    SignInVerdict v;
    if (!duty.clockIn) return v;
    const std::int64_t start = *duty.clockIn;
    const std::int64_t k = CycleIndex(start, now);
    const std::int64_t into = now <= start ? 0 : (now - start) % kCheckinCycleSeconds;
    if (k >= 1 && into < kSignInGraceSeconds) {
        const std::int64_t previous = start + (k - 1) * kCheckinCycleSeconds;
        if (!IsSigned(duty, previous) &&
            k - 1 <= static_cast<std::int64_t>(duty.signedCycles.size()) &&
            CycleLive(duty, k - 1)) {
            v.accepted = v.record = true;
            v.cycleStart = previous;
            return v;
        }
    }
    const auto live = LiveCycle(duty, now);
    if (!live) return v;
    v.accepted = true;
    v.cycleStart = *live;
    v.record = !IsSigned(duty, *live);
    return v;
}

}  // namespace server
