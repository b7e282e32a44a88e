// Voice packets as a listener receives them, into the real decoders: the
// first byte picks AAC (ADTS frames, as the relay passes them) or AMR-NB
// (storage frames), the rest is offered the way the engine offers it. No
// input may crash, hang or make the wrapper claim bytes it was not given.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "net/adts.h"
#include "platform/sonic/sonic.h"

namespace {

struct Decoders {
    Decoders() {
        sonic_init();
        aac = sonic_daac();
        amr = sonic_damr();
        if (!aac || !amr) std::abort();
    }
    sonic_daac_t* aac;
    sonic_damr_t* amr;
};

void Check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Decoders d;
    if (size < 1) return 0;
    const bool aac = (data[0] & 1) == 0;
    const unsigned char* p = data + 1;
    std::size_t left = size - 1;
    if (aac) {
        // What the relay would let through at all.
        adts::CountFrames(p, left, adts::kProfileLc, adts::kSampling22050, adts::kMono, 4);
    }
    while (left > 0) {
        unsigned char* out = nullptr;
        int outLength = 0;
        int used;
        if (aac) {
            int offered = static_cast<int>(left < 2048 ? left : 2048);
            used = sonic_daac_decode(d.aac, p, &offered, &out, &outLength);
            Check(used >= 0 && used <= offered);
        } else {
            const int offered = static_cast<int>(left < 32 ? left : 32);
            used = sonic_damr_decode(d.amr, p, offered, &out, &outLength);
            Check(used >= 0 && used <= offered);
            if (out) Check(outLength == 320);
        }
        Check((out == nullptr) == (outLength == 0));
        Check(outLength >= 0 && outLength % 2 == 0 && outLength <= 8 * 2048 * 2);
        if (used == 0) break;  // a frame not whole yet: the engine waits for more
        p += used;
        left -= static_cast<std::size_t>(used);
    }
    return 0;
}
