#include "server/art/chime.h"

#include <cmath>
#include <cstdint>

namespace server::art {

namespace {

constexpr std::uint32_t kRate = 16000;

void PutLe(std::string& out, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

}  // namespace

std::string EncodeChime(const std::vector<double>& notes, unsigned noteMs) {
    const std::uint32_t perNote = kRate * noteMs / 1000;
    std::string pcm;
    for (double f : notes)
        for (std::uint32_t i = 0; i < perNote; ++i) {
            const double t = static_cast<double>(i) / kRate;
            const double fade = 1.0 - static_cast<double>(i) / perNote;
            const double v = std::sin(2 * 3.14159265358979323846 * f * t) * fade * fade * 12000;
            PutLe(pcm, static_cast<std::uint32_t>(static_cast<std::int16_t>(v)) & 0xFFFF, 2);
        }
    std::string out = "RIFF";
    PutLe(out, static_cast<std::uint32_t>(36 + pcm.size()), 4);
    out += "WAVEfmt ";
    PutLe(out, 16, 4);
    PutLe(out, 1, 2);  // PCM
    PutLe(out, 1, 2);  // mono
    PutLe(out, kRate, 4);
    PutLe(out, kRate * 2, 4);
    PutLe(out, 2, 2);
    PutLe(out, 16, 2);
    out += "data";
    PutLe(out, static_cast<std::uint32_t>(pcm.size()), 4);
    return out + pcm;
}

}  // namespace server::art
