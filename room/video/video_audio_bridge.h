#pragma once
// What the voice path hands the video engine: voice for the recording,
// the anchor's voice stamps as the clock its picture follows, and the
// reset of a room change. The audio engine knows only IVcastVideo.

#include "audio/engine/vcast_video.h"
#include "video/video_engine.h"

class CVideoAudioBridge : public IVcastVideo {
public:
    explicit CVideoAudioBridge(CVideoEngine& engine) : engine_(engine) {}

    void RecordAudio(bool sent, int kind, std::uint32_t stamp, const unsigned char* data,
                     std::size_t length) override {
        if (!engine_.Recording()) return;
        MediaFrame f;
        f.f0 = kind == 1 ? media_frame::kCodecAacAdts : media_frame::kCodecAmrNb;
        f.clock = sent ? media_frame::kClockLocal : media_frame::kClockSender;
        f.stamp = stamp;
        f.length = static_cast<std::uint32_t>(length);
        engine_.RecordAudio(f, data, length);
    }
    void SignStamp(std::uint32_t stamp) override { engine_.SignStamp(stamp); }
    void PlayClear() override { engine_.PlayClear(); }

private:
    CVideoEngine& engine_;
};
