#include "platform/vcast/record_mix.h"

#include <algorithm>

std::size_t CAudioMix::Add(std::int64_t at, const std::int16_t* pcm, std::size_t frames) {
    if (at < taken_) {
        const auto skip = static_cast<std::size_t>(taken_ - at);
        if (skip >= frames) return 0;
        pcm += skip * channels_;
        frames -= skip;
        at = taken_;
    }
    const auto from = static_cast<std::size_t>(at - taken_) * channels_;
    const std::size_t need = from + frames * channels_;
    if (sums_.size() < need) sums_.resize(need, 0);
    for (std::size_t i = 0; i < frames * channels_; ++i) sums_[from + i] += pcm[i];
    end_ = std::max(end_, at + static_cast<std::int64_t>(frames));
    return frames;
}

void CAudioMix::Take(std::size_t frames, std::int16_t* out) {
    const std::size_t values = frames * channels_;
    const std::size_t have = std::min(values, sums_.size());
    for (std::size_t i = 0; i < have; ++i)
        out[i] = static_cast<std::int16_t>(std::clamp<std::int32_t>(sums_[i], -32768, 32767));
    std::fill(out + have, out + values, std::int16_t{0});
    sums_.erase(sums_.begin(), sums_.begin() + static_cast<std::ptrdiff_t>(have));
    taken_ += static_cast<std::int64_t>(frames);
    end_ = std::max(end_, taken_);
}
