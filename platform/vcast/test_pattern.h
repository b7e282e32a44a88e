#pragma once
// The camera that every machine has: moving colour bars, a bar that sweeps
// across once a second, and the frame counter as a row of black and white
// blocks large enough to survive compression, so tests and benchmarks can
// read back which frame a picture came from.

#include <cstdint>

#include "platform/vcast/picture.h"

namespace vcast_pattern {

// The camera list's name for it.
inline constexpr const char* kName = "测试图案";

// Fills `picture` (resized to width×height) with frame `counter` at `ms`.
void Draw(VcastPicture& picture, int width, int height, std::uint32_t counter, std::uint32_t ms);

// Reads the counter back from a picture of any size the pattern was drawn
// at (or scaled to, aspect kept); false when the blocks or their check do
// not read.
bool ReadCounter(const VcastPicture& picture, std::uint32_t& counter);

}  // namespace vcast_pattern
