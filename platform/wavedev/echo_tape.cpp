#include "platform/wavedev/echo_tape.h"

#include <algorithm>
#include <cmath>

namespace wavedev {

CEchoTape::CEchoTape(int rate, std::chrono::milliseconds keep)
    : rate_(rate),
      ring_(std::max<std::size_t>(1, std::size_t(std::int64_t(rate) * keep.count() / 1000))) {}

void CEchoTape::Start(Clock::time_point at) {
    std::lock_guard<std::mutex> lock(lock_);
    start_ = at;
    total_ = 0;
    started_ = true;
}

void CEchoTape::Record(const std::int16_t* samples, std::size_t frames, int channels) {
    std::lock_guard<std::mutex> lock(lock_);
    for (std::size_t f = 0; f < frames; ++f) {
        int sum = 0;
        for (int c = 0; c < channels; ++c) sum += samples[f * std::size_t(channels) + std::size_t(c)];
        ring_[total_ % ring_.size()] = std::int16_t(sum / std::max(channels, 1));
        ++total_;
    }
}

void CEchoTape::MixInto(std::int16_t* out, std::size_t frames, int channels, int rate,
                        Clock::time_point first, double gain) const {
    std::lock_guard<std::mutex> lock(lock_);
    if (!started_ || gain <= 0 || rate <= 0) return;
    const double offset = std::chrono::duration<double>(first - start_).count() * rate_;
    const double step = double(rate_) / rate;
    const std::uint64_t oldest = total_ > ring_.size() ? total_ - ring_.size() : 0;
    for (std::size_t f = 0; f < frames; ++f) {
        const double position = std::floor(offset + double(f) * step);
        if (position < double(oldest) || position >= double(total_)) continue;
        const auto k = std::uint64_t(position);
        const double echo = gain * ring_[k % ring_.size()];
        for (int c = 0; c < channels; ++c) {
            std::int16_t& s = out[f * std::size_t(channels) + std::size_t(c)];
            s = std::int16_t(std::clamp(std::lround(s + echo), -32768L, 32767L));
        }
    }
}

}  // namespace wavedev
