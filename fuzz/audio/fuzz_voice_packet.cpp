// Voice notifications as the media connection hands them over, through the
// client's whole receive path: the notification's fields, the engine's
// bounded queues, the per-speaker decoders (real FFmpeg) and playback with
// no device. The first byte picks the notification and whether the rest is
// a TLV body as sent, or a payload wrapped in a well-formed body (so frame
// seeds reach the decoders). Also the relay's frame check. No input may
// crash, hang or grow memory without bound.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "audio/engine/vcast.h"
#include "audio/playback/play_thread.h"
#include "net/adts.h"
#include "net/catalogue_media.h"
#include "net/commands.h"
#include "net/fields.h"
#include "net/proxy_sinks.h"
#include "net/tlv.h"

namespace {

struct Receiver {
    CPlayThread play{nullptr};
    CVcast engine{play};
};

constexpr std::uint32_t kCommands[4] = {cmd::Mix_Aac_Notify, cmd::Mix_Amr_Notify,
                                        cmd::Audio_Aac_Notify, cmd::Audio_Amr_Notify};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Receiver r;
    if (size < 1) return 0;
    const std::uint32_t command = kCommands[data[0] & 3];
    const unsigned char* rest = data + 1;
    const std::size_t left = size - 1;
    std::vector<unsigned char> body;
    if (data[0] & 0x80) {
        body.assign(rest, rest + left);
    } else {
        msg::Mix_Aac_Notify m;
        m.audio = wire::bytes(rest, left);
        m.speaker1 = 10000u + (data[0] >> 2 & 0x0F);  // a few speakers
        m.stamp = static_cast<std::uint32_t>(size) * 46u;
        TLV::body b;
        wire::write_fields(b, m);
        body = TLV::encode(b);
    }
    // What the relay lets through at all.
    adts::CountFrames(rest, left, adts::kProfileLc, adts::kSampling22050, adts::kMono, 4);
    VoicePacket v;
    if (DecodeVoicePacket(command, body.data(), body.size(), v) && v.audioLength)
        r.engine.OnAudioPacket(v.kind, v.speaker1, v.stamp, v.audio, v.audioLength);
    r.engine.Pump();
    r.play.Pump(0);
    return 0;
}
