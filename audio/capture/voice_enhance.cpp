#include <algorithm>
#include <cmath>

#include "audio/capture/voice_preprocessor.h"

namespace {

// Beyond these a level is a typo, and a huge one would overflow the Q24 product.
constexpr int kMinLevelDb = -40;
constexpr int kMaxLevelDb = 30;
constexpr double kFullScale = 32767.0;
// The limiter comes back 1/16 of the way to unity gain each sample.
constexpr double kRecovery = 1.0 / 16.0;

}  // namespace

CVoiceEnhance::CVoiceEnhance(int levelDb)
    : gainQ24_(std::llround(std::pow(10.0, std::clamp(levelDb, kMinLevelDb, kMaxLevelDb) / 20.0) *
                            static_cast<double>(1 << 24))) {}

void CVoiceEnhance::Apply(std::int16_t* samples, std::size_t count) {
    if (!samples) return;
    for (std::size_t i = 0; i < count; ++i) {
        const std::int64_t gained = (samples[i] * gainQ24_ + (std::int64_t{1} << 23)) >> 24;
        const double x = static_cast<double>(gained);
        double y = x * limiter_;
        if (std::fabs(y) > kFullScale) {
            // Just enough to bring this sample to full scale; the next ones recover.
            limiter_ = kFullScale / std::fabs(x);
            y = x > 0 ? kFullScale : -kFullScale;
        }
        samples[i] = static_cast<std::int16_t>(std::clamp(std::lround(y), -32767L, 32767L));
        limiter_ += (1.0 - limiter_) * kRecovery;
    }
}
