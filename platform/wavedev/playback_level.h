#pragma once
// This program's own playback level (mixer kind 1): a percent and a mute held
// by the backend and applied to the samples of every playback stream as they
// are written, so it works the same on every backend. Any thread.

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>

namespace wavedev {

class CPlaybackLevel {
public:
    int Percent() const { return percent_.load(); }
    bool Muted() const { return muted_.load(); }
    void SetPercent(int percent) { percent_.store(std::clamp(percent, 0, 100)); }
    void SetMuted(bool muted) { muted_.store(muted); }

    // Scales `count` samples in place.
    void Apply(std::int16_t* samples, std::size_t count) const {
        const int percent = muted_.load() ? 0 : percent_.load();
        if (percent == 100) return;
        for (std::size_t i = 0; i < count; ++i)
            samples[i] = static_cast<std::int16_t>(samples[i] * percent / 100);
    }

private:
    std::atomic<int> percent_{100};
    std::atomic<bool> muted_{false};
};

}  // namespace wavedev
