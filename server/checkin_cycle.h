#pragma once
// An anchor's duty, as the check-in service judges it. A clock-in starts a
// duty of 20-minute cycles; the client prompts for one sign-in per cycle.
// The first cycle is live from the clock-in; each further one is live only
// when the one before it was signed, so a duty lasts as long as the anchor
// keeps answering and ends at the first cycle missed (the anchor clocks in
// again). Plain arithmetic on seconds, so tests need no server.

#include <cstdint>
#include <optional>
#include <vector>

namespace server {

inline constexpr std::int64_t kCheckinCycleSeconds = 1200;
// A sign-in this soon after its cycle ended still counts for it: the
// client's last chance to sign ends with the cycle, and the request travels.
inline constexpr std::int64_t kSignInGraceSeconds = 30;

struct CheckinDuty {
    std::optional<std::int64_t> clockIn;  // the latest clock-in, if any
    std::vector<std::int64_t> signedCycles;  // starts of the cycles signed since
};

// The start of the cycle live at `now`, or nothing when no duty runs.
std::optional<std::int64_t> LiveCycle(const CheckinDuty& duty, std::int64_t now);

struct SignInVerdict {
    bool accepted = false;
    bool record = false;         // false: that cycle is signed already
    std::int64_t cycleStart = 0;  // the cycle the sign-in counts for
};
SignInVerdict JudgeSignIn(const CheckinDuty& duty, std::int64_t now);

}  // namespace server
