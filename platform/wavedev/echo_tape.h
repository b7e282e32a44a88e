#pragma once
// What the file output played at one rate, on the steady clock, kept for a
// couple of seconds so the file input can add it back late and quieter: a
// simulated echo path for echo-cancellation tests. The output's pacing
// thread records; input threads read. Its own lock guards everything.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace wavedev {

class CEchoTape {
public:
    using Clock = std::chrono::steady_clock;

    CEchoTape(int rate, std::chrono::milliseconds keep);

    int rate() const { return rate_; }
    // Sample 0 was heard at `at`; forgets anything recorded before.
    void Start(Clock::time_point at);
    // Appends `frames` frames of `channels` (averaged to one).
    void Record(const std::int16_t* samples, std::size_t frames, int channels);
    // out[i] += gain × what was heard at first + i/rate (nearest sample at
    // or before; nothing when not on the tape), for `frames` frames of
    // `channels` at `rate`.
    void MixInto(std::int16_t* out, std::size_t frames, int channels, int rate,
                 Clock::time_point first, double gain) const;

private:
    const int rate_;
    mutable std::mutex lock_;
    std::vector<std::int16_t> ring_;  // the last ring_.size() samples heard
    std::uint64_t total_ = 0;         // samples recorded since Start
    Clock::time_point start_{};
    bool started_ = false;
};

}  // namespace wavedev
