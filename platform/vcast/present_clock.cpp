#include "platform/vcast/present_clock.h"

#include <algorithm>

void CPresentClock::SignStamp(std::uint32_t stamp) {
    audioStamp_ = stamp;
    signTick_ = clock_.TickMs();
    signed_ = true;
}

std::uint32_t CPresentClock::WaitMs(std::uint32_t stamp) {
    if (!signed_) return 0;
    const std::uint32_t since = clock_.TickMs() - signTick_;
    if (since >= kStaleMs) return 0;
    // Both stamps wrap at 2^32: the signed difference orders them.
    const auto ahead = static_cast<std::int32_t>(stamp - (audioStamp_ + since));
    if (ahead <= 0 || ahead > kUnrelatedMs) return 0;
    return std::min<std::uint32_t>(static_cast<std::uint32_t>(ahead), kStaleMs - since);
}
