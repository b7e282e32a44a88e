#include "room/mic/voice_sender.h"

#include "core/log.h"
#include "net/catalogue_media.h"

void CVoiceSender::OnEncoded(std::uint32_t, const void* data, std::uint32_t length,
                             std::uint32_t tick, void* context) {
    if (context) static_cast<CVoiceSender*>(context)->Send(data, length, tick);
}

void CVoiceSender::Start(std::uint32_t baseTick) {
    base_ = baseTick;
    printed_ = 0;
    on_ = true;
}

void CVoiceSender::Stop() { on_ = false; }

void CVoiceSender::Send(const void* data, std::uint32_t length, std::uint32_t tick) {
    if (!on_.load() || !data || length == 0) return;
    // The first frame of a turn and one in a hundred after: 22 lines a
    // second would bury the rest of the log.
    if (printed_.fetch_add(1) % 100 == 0)
        log_debug("aduio data len = %d, stamp=%d\n", static_cast<int>(length), static_cast<int>(tick));
    if (link_.MediaPending() > kBacklogPackets) {
        ++skipped_;
        return;
    }
    msg::Mix_Audio_Data m;
    m.audio = wire::bytes(static_cast<const unsigned char*>(data), length);
    m.stamp_diff = tick - base_.load();
    if (link_.Send(m))
        ++sent_;
    else
        ++failed_;
}
