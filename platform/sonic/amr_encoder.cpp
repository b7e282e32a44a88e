// The AMR-NB encoder of voice messages, on libopencore-amrnb. Decoding stays
// with the FFmpeg decoder in sonic.cpp; the two meet in the storage format.
#include <opencore-amrnb/interf_enc.h>

#include <cstdint>
#include <cstring>

#include "core/log.h"
#include "platform/sonic/sonic.h"

namespace {

constexpr int kFrameSamples = 160;
constexpr int kFrameBytes = kFrameSamples * 2;
// Longest storage frame (12.2 kbit/s: ToC and 31 bytes) with room to spare,
// since the library writes without being told the buffer's size.
constexpr int kOutBytes = 64;

}  // namespace

struct sonic_eamr_t {
    void* state = nullptr;
    Mode mode = MR122;
    unsigned char out[kOutBytes] = {};
};

sonic_eamr_t* sonic_eamr(int mode) {
    if (mode < MR475 || mode > MR122) return nullptr;
    auto* h = new sonic_eamr_t;
    h->mode = static_cast<Mode>(mode);
    h->state = Encoder_Interface_init(0);  // no discontinuous transmission
    if (h->state) return h;
    log_err("sonic: no AMR-NB encoder");
    delete h;
    return nullptr;
}

int sonic_eamr_encode(sonic_eamr_t* h, const unsigned char* pcm, int length, unsigned char** out) {
    if (out) *out = nullptr;
    if (!h || !pcm || !out || length != kFrameBytes) return -1;
    // The bytes may sit at any address; the library wants aligned shorts.
    std::int16_t speech[kFrameSamples];
    std::memcpy(speech, pcm, kFrameBytes);
    const int made = Encoder_Interface_Encode(h->state, h->mode, speech, h->out, 0);
    if (made <= 0 || made > kOutBytes) return -1;
    *out = h->out;
    return made;
}

void sonic_eamr_release(sonic_eamr_t* h) {
    if (!h) return;
    Encoder_Interface_exit(h->state);
    delete h;
}
