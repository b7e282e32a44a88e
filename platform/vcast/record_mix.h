#pragma once
// The recording's one audio track: every pushed voice, already at the
// file's rate and channels, summed at its place on the file's time line and
// clipped to 16 bits when the encoder takes it. Only the part not yet taken
// is kept. Pure logic.

#include <cstddef>
#include <cstdint>
#include <vector>

class CAudioMix {
public:
    explicit CAudioMix(int channels) : channels_(channels) {}

    // Adds `frames` sample frames (interleaved) starting at sample position
    // `at`; what falls before Taken() was written already and is dropped.
    // The number of frames kept.
    std::size_t Add(std::int64_t at, const std::int16_t* pcm, std::size_t frames);
    // Hands the next `frames` frames to `out` (silence where nobody spoke).
    void Take(std::size_t frames, std::int16_t* out);

    std::int64_t Taken() const { return taken_; }
    // The end of everything added (never before Taken()).
    std::int64_t End() const { return end_; }

private:
    int channels_;
    std::int64_t taken_ = 0;
    std::int64_t end_ = 0;
    std::vector<std::int32_t> sums_;  // from taken_ on, interleaved
};
