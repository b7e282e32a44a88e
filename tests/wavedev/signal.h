#pragma once
// Tones, levels, pitches and temporary folders for the device tests.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace wavetest {

inline std::vector<std::int16_t> Tone(double hz, double amplitude, std::size_t frames, int rate,
                                      int channels = 1) {
    std::vector<std::int16_t> out;
    out.reserve(frames * std::size_t(channels));
    for (std::size_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            out.push_back(std::int16_t(std::lround(amplitude * std::sin(2 * M_PI * hz * double(i) / rate))));
    return out;
}

// Channel `channel` of interleaved samples.
inline std::vector<std::int16_t> Channel(const std::vector<std::int16_t>& s, int channels, int channel) {
    std::vector<std::int16_t> out;
    for (std::size_t i = std::size_t(channel); i < s.size(); i += std::size_t(channels)) out.push_back(s[i]);
    return out;
}

inline double Rms(const std::int16_t* s, std::size_t n) {
    double sum = 0;
    for (std::size_t i = 0; i < n; ++i) sum += double(s[i]) * s[i];
    return n ? std::sqrt(sum / double(n)) : 0;
}

inline int Peak(const std::int16_t* s, std::size_t n) {
    int peak = 0;
    for (std::size_t i = 0; i < n; ++i) peak = std::max(peak, std::abs(int(s[i])));
    return peak;
}

// Frequency from the rising zero crossings (mono).
inline double Pitch(const std::int16_t* s, std::size_t n, int rate) {
    long first = -1, last = -1, crossings = 0;
    for (std::size_t i = 1; i < n; ++i)
        if (s[i - 1] < 0 && s[i] >= 0) {
            if (first < 0) first = long(i);
            last = long(i);
            ++crossings;
        }
    return crossings > 1 ? double(crossings - 1) * rate / double(last - first) : 0;
}

// Index of the first sample louder than `threshold`; -1 when none is.
inline long Onset(const std::vector<std::int16_t>& s, int threshold) {
    for (std::size_t i = 0; i < s.size(); ++i)
        if (std::abs(int(s[i])) > threshold) return long(i);
    return -1;
}

inline double Seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// A fresh folder, removed with everything in it at the end of the scope.
class CTempDir {
public:
    CTempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "zeri-wavedev-XXXXXX").string();
        path_ = mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~CTempDir() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

}  // namespace wavetest
