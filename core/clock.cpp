#include "core/clock.h"

#include <chrono>

std::uint32_t GetTickCount() {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    return static_cast<std::uint32_t>(ms.count());
}

void CManualTimerHost::SetTimer(unsigned id, unsigned periodMs) {
    if (periodMs == 0) periodMs = 1;
    timers_[id] = Timer{periodMs, clock_.ElapsedMs() + periodMs};
}

void CManualTimerHost::KillTimer(unsigned id) { timers_.erase(id); }

unsigned CManualTimerHost::PeriodOf(unsigned id) const {
    auto it = timers_.find(id);
    return it == timers_.end() ? 0 : it->second.period;
}

void CManualTimerHost::Advance(std::uint64_t ms) {
    const std::uint64_t target = clock_.ElapsedMs() + ms;
    for (;;) {
        // The earliest due timer; ties go to the lower id, as a message queue would.
        auto next = timers_.end();
        for (auto it = timers_.begin(); it != timers_.end(); ++it)
            if (it->second.due <= target && (next == timers_.end() || it->second.due < next->second.due))
                next = it;
        if (next == timers_.end()) break;
        const unsigned id = next->first;
        if (next->second.due > clock_.ElapsedMs())
            clock_.AdvanceMs(next->second.due - clock_.ElapsedMs());
        next->second.due += next->second.period;
        sink_.OnTimer(id);  // may set or kill timers, this one included
    }
    if (target > clock_.ElapsedMs()) clock_.AdvanceMs(target - clock_.ElapsedMs());
}
