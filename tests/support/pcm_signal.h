#pragma once
// Test signals and measures for 16-bit PCM: sine tones, level in dBFS, and
// pitch from rising zero crossings.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace pcm_signal {

inline constexpr double kPi = 3.14159265358979323846;

// `samples` frames of a sine at `dbfs`, the same in every channel, interleaved.
inline std::vector<std::int16_t> Tone(double hz, double dbfs, int samples, int rate,
                                      int channels = 1) {
    const double amplitude = 32767.0 * std::pow(10.0, dbfs / 20.0);
    std::vector<std::int16_t> out;
    out.reserve(std::size_t(samples) * std::size_t(channels));
    for (int i = 0; i < samples; ++i)
        for (int c = 0; c < channels; ++c)
            out.push_back(static_cast<std::int16_t>(amplitude * std::sin(2 * kPi * hz * i / rate)));
    return out;
}

inline double Dbfs(const std::int16_t* s, std::size_t n) {
    double sum = 0;
    for (std::size_t i = 0; i < n; ++i) sum += double(s[i]) * s[i];
    const double rms = std::sqrt(sum / double(std::max<std::size_t>(n, 1)));
    return 20 * std::log10(std::max(rms, 1e-9) / 32767.0);
}

// Frequency from the rising zero crossings.
inline double Pitch(const std::int16_t* s, std::size_t n, int rate) {
    int first = -1, last = -1, crossings = 0;
    for (std::size_t i = 1; i < n; ++i)
        if (s[i - 1] < 0 && s[i] >= 0) {
            if (first < 0) first = int(i);
            last = int(i);
            ++crossings;
        }
    return crossings > 1 ? (crossings - 1) * double(rate) / (last - first) : 0;
}

}  // namespace pcm_signal
