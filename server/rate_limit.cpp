#include "server/rate_limit.h"

#include <algorithm>

namespace server {

CRateLimiter::CRateLimiter(double ratePerSecond, double burst)
    : rate_(std::max(ratePerSecond, 0.0)), burst_(std::max(burst, 1.0)) {}

void CRateLimiter::Refill(Bucket& b, std::uint32_t nowMs) const {
    // Unsigned difference: correct across the tick's wrap.
    const std::uint32_t elapsed = nowMs - b.lastMs;
    b.tokens = std::min(burst_, b.tokens + rate_ * static_cast<double>(elapsed) / 1000.0);
    b.lastMs = nowMs;
}

bool CRateLimiter::Allow(std::uint64_t key, std::uint32_t nowMs) {
    auto it = buckets_.find(key);
    if (it == buckets_.end()) {
        if (buckets_.size() >= kPruneAbove) Prune(nowMs);
        it = buckets_.emplace(key, Bucket{burst_, nowMs}).first;
    } else {
        Refill(it->second, nowMs);
    }
    if (it->second.tokens < 1.0) return false;
    it->second.tokens -= 1.0;
    return true;
}

void CRateLimiter::Prune(std::uint32_t nowMs) {
    for (auto it = buckets_.begin(); it != buckets_.end();) {
        Refill(it->second, nowMs);
        it = it->second.tokens >= burst_ ? buckets_.erase(it) : std::next(it);
    }
}

}  // namespace server
