#pragma once
// Short sounds the server makes for its demo gifts: a few notes one after
// another, as a WAV file (16-bit PCM, mono, 16 kHz).

#include <string>
#include <vector>

namespace server::art {

// Each note lasts `noteMs` and fades out; frequencies in hertz.
std::string EncodeChime(const std::vector<double>& notes, unsigned noteMs);

}  // namespace server::art
