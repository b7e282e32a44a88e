#pragma once
// Signals and measures the voice tests share: tones, levels, the strength
// of one frequency (a single DFT bin), and AAC frames made by the real
// encoder.

#include <cmath>
#include <cstdint>
#include <vector>

#include "platform/sonic/sonic.h"

namespace voicetest {

constexpr int kRate = 22050;
constexpr double kPi = 3.14159265358979323846;

inline std::vector<std::int16_t> Tone(double hz, double dbfs, std::size_t samples,
                                      int rate = kRate) {
    const double amplitude = 32767.0 * std::pow(10.0, dbfs / 20.0);
    std::vector<std::int16_t> out(samples);
    for (std::size_t i = 0; i < samples; ++i)
        out[i] = static_cast<std::int16_t>(amplitude * std::sin(2 * kPi * hz * double(i) / rate));
    return out;
}

// The level of `hz` in dBFS (a sine of amplitude A reads 20·log10(A/32767)).
inline double ToneDbfs(const std::int16_t* s, std::size_t n, double hz, int rate = kRate) {
    double re = 0, im = 0;
    for (std::size_t i = 0; i < n; ++i) {
        re += s[i] * std::cos(2 * kPi * hz * double(i) / rate);
        im += s[i] * std::sin(2 * kPi * hz * double(i) / rate);
    }
    const double amplitude = 2 * std::sqrt(re * re + im * im) / double(n);
    return 20 * std::log10(std::max(amplitude, 1e-9) / 32767.0);
}

// AAC frames (ADTS) of `pcm`, one per 2048-byte block that gave one.
inline std::vector<std::vector<unsigned char>> EncodeFrames(const std::vector<std::int16_t>& pcm,
                                                            int bitRate = 32000) {
    sonic_init();
    sonic_eaac_t* e = sonic_eaac(kRate, 1, bitRate);
    std::vector<std::vector<unsigned char>> frames;
    for (std::size_t at = 0; at + 1024 <= pcm.size(); at += 1024) {
        unsigned char* out = nullptr;
        const int n = sonic_eaac_encode(e, reinterpret_cast<const unsigned char*>(pcm.data() + at),
                                        2048, &out);
        if (n > 0 && out) frames.emplace_back(out, out + n);
    }
    sonic_eaac_release(e);
    return frames;
}

}  // namespace voicetest
