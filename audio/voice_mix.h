#pragma once
// What the listener hears of several speakers at once: each speaker's PCM
// at the volume the listener chose for that user (0–200 %), summed into the
// output with saturation, so two voices overlap instead of waiting in turn.

#include <cstddef>
#include <cstdint>

namespace voice_mix {

inline constexpr int kMaxVolume = 200;
inline constexpr int kDefaultVolume = 100;

// out[i] += in[i] × volume / 100 for the first `samples` samples, clipped to
// 16 bits. Volumes outside 0–200 are taken as their nearest bound.
void AddInto(std::int16_t* out, const std::int16_t* in, std::size_t samples, int volumePercent);

}  // namespace voice_mix
