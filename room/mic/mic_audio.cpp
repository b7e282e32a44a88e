#include "room/mic/mic_audio.h"

#include "core/log.h"

void CLoggedMicAudio::StartSending(bool anchor, std::uint32_t micOpenTick) {
    log_msg("voice send path not built: %s turn from tick %u is silent\r\n",
            anchor ? "anchor" : "free", micOpenTick);
}

void CLoggedMicAudio::StopSending() { log_msg("voice send path not built: stop\r\n"); }

void CLoggedMicAudio::CloseVideo() {}
