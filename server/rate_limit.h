#pragma once
// Token buckets keyed by who is sending (a user, or a session before it
// has logged in). Each key may send `burst` messages at once and then
// `ratePerSecond` on average. Not thread-safe: the caller holds its lock.

#include <cstdint>
#include <unordered_map>

namespace server {

class CRateLimiter {
public:
    CRateLimiter(double ratePerSecond, double burst);

    // Takes one token for `key` at time `nowMs` (a wrapping millisecond
    // tick); false when the bucket is empty.
    bool Allow(std::uint64_t key, std::uint32_t nowMs);
    void Forget(std::uint64_t key) { buckets_.erase(key); }
    std::size_t size() const { return buckets_.size(); }

    // Buckets that have filled up again hold nothing worth keeping.
    static constexpr std::size_t kPruneAbove = 4096;

private:
    struct Bucket {
        double tokens;
        std::uint32_t lastMs;
    };
    void Refill(Bucket& b, std::uint32_t nowMs) const;
    void Prune(std::uint32_t nowMs);

    double rate_;
    double burst_;
    std::unordered_map<std::uint64_t, Bucket> buckets_;
};

}  // namespace server
