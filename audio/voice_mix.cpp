#include "audio/voice_mix.h"

#include <algorithm>

namespace voice_mix {

void AddInto(std::int16_t* out, const std::int16_t* in, std::size_t samples, int volumePercent) {
    if (!out || !in) return;
    const int volume = std::clamp(volumePercent, 0, kMaxVolume);
    for (std::size_t i = 0; i < samples; ++i) {
        const int sum = out[i] + in[i] * volume / 100;
        out[i] = static_cast<std::int16_t>(std::clamp(sum, -32768, 32767));
    }
}

}  // namespace voice_mix
