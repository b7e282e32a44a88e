#pragma once
// The file input's samples: a WAV converted to the rate and channels asked
// for, then silence for ever (no file: silence from the start). Used by one
// input thread at a time.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/wavedev/wav_file.h"

struct sonic_convert_t;

namespace wavedev {

class CWavSource {
public:
    CWavSource() = default;
    ~CWavSource();
    CWavSource(const CWavSource&) = delete;
    CWavSource& operator=(const CWavSource&) = delete;

    // False with the reason when the file cannot be played; an empty path
    // is silence.
    bool Open(const std::string& path, int rate, int channels, std::string& error);
    // Fills `frames` whole frames.
    void Take(std::int16_t* out, std::size_t frames);
    bool ended() const { return ended_ && at_ == pending_.size(); }

private:
    // Reads and converts the next piece of the file; false at its end.
    bool Refill();

    CWavReader reader_;
    sonic_convert_t* convert_ = nullptr;  // null when the file is already in the format
    int channels_ = 1;
    std::vector<std::int16_t> raw_;
    std::vector<std::int16_t> pending_;  // converted, not yet taken
    std::size_t at_ = 0;
    bool ended_ = true;
};

}  // namespace wavedev
