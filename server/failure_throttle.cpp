#include "server/failure_throttle.h"

#include <algorithm>

namespace server {

CFailureThrottle::CFailureThrottle(Policy policy) : policy_(policy) {}

bool CFailureThrottle::Begin(const std::string& key, std::int64_t now, std::int64_t* waitSeconds) {
    std::lock_guard<std::mutex> g(lock_);
    if (entries_.size() > kPruneAbove)
        std::erase_if(entries_, [&](const auto& kv) {
            return kv.second.inFlight == 0 && now - kv.second.lastFailure >= policy_.forgetSeconds;
        });
    Entry& e = entries_[key];
    if (e.inFlight == 0 && e.failures > 0 && now - e.lastFailure >= policy_.forgetSeconds)
        e = Entry{};
    if (e.failures + e.inFlight < policy_.freeFailures) {
        ++e.inFlight;
        return true;
    }
    // Throttled: one attempt at a time, and only once the wait is over.
    if (e.inFlight > 0 || now < e.nextAllowed) {
        if (waitSeconds)
            *waitSeconds = std::max<std::int64_t>(1, std::max(e.nextAllowed - now,
                                                              policy_.firstDelaySeconds));
        return false;
    }
    ++e.inFlight;
    return true;
}

void CFailureThrottle::End(const std::string& key, std::int64_t now, bool failed) {
    std::lock_guard<std::mutex> g(lock_);
    auto it = entries_.find(key);
    if (it == entries_.end()) return;
    Entry& e = it->second;
    if (e.inFlight > 0) --e.inFlight;
    if (!failed) {
        if (e.inFlight == 0) entries_.erase(it);
        else e.failures = 0;
        return;
    }
    ++e.failures;
    e.lastFailure = now;
    if (e.failures >= policy_.freeFailures) {
        const unsigned over = std::min(e.failures - policy_.freeFailures, 20u);
        const std::int64_t delay =
            std::min(policy_.firstDelaySeconds << over, policy_.maxDelaySeconds);
        e.nextAllowed = now + delay;
    }
}

std::size_t CFailureThrottle::size() {
    std::lock_guard<std::mutex> g(lock_);
    return entries_.size();
}

}  // namespace server
