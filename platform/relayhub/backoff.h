#pragma once
// Reconnect delays: capped exponential back-off with full jitter, so that
// many clients losing one server do not return in step.

#include <algorithm>
#include <cstdint>
#include <random>

namespace relay {

class CBackoff {
public:
    explicit CBackoff(std::uint32_t baseMs = 1000, std::uint32_t capMs = 30000)
        : baseMs_(baseMs), capMs_(capMs), rng_(std::random_device{}()) {}

    // Delay before the next attempt: uniform in [0, min(cap, base * 2^n)].
    std::uint32_t Next() {
        const std::uint64_t ceiling =
            std::min<std::uint64_t>(capMs_, std::uint64_t(baseMs_) << std::min(attempt_, 20u));
        ++attempt_;
        return std::uniform_int_distribution<std::uint32_t>(0, std::uint32_t(ceiling))(rng_);
    }
    void Reset() { attempt_ = 0; }
    unsigned attempts() const { return attempt_; }

private:
    std::uint32_t baseMs_;
    std::uint32_t capMs_;
    unsigned attempt_ = 0;
    std::mt19937 rng_;
};

}  // namespace relay
