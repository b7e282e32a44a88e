#pragma once
// A 16-bit PCM WAV file of any rate and channel count as voice-message
// input: 8000 Hz mono samples. Files over the message's 60 s are refused
// before their samples are read.

#include <cstdint>
#include <string>
#include <vector>

namespace voice {

// False with the reason in `error` for a file that is missing, not 16-bit
// PCM WAV, empty, too long, or that the converter refuses.
bool ReadWavAsVoice(const std::string& path, std::vector<std::int16_t>& out, std::string& error);

}  // namespace voice
