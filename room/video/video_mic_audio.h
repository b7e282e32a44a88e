#pragma once
// The microphone drives voice and video together: my broadcast may start
// once the media server accepts my anchor microphone, and ends with it.

#include "room/mic/mic_audio.h"
#include "room/video/room_video.h"

class CVideoMicAudio : public IMicAudio {
public:
    // `voice` may be null (no voice path: the microphone only logs).
    explicit CVideoMicAudio(IMicAudio* voice) : voice_(voice ? voice : &logged_) {}
    void SetVideo(CRoomVideo* video) { video_ = video; }

    void StartSending(bool anchor, std::uint32_t micOpenTick) override {
        voice_->StartSending(anchor, micOpenTick);
    }
    void StopSending() override { voice_->StopSending(); }
    void SendingAccepted() override {
        voice_->SendingAccepted();
        if (video_) video_->OnSendingAccepted();
    }
    void CloseVideo() override {
        voice_->CloseVideo();
        if (video_) video_->OnMicClosed();
    }
    void ResetVoice() override { voice_->ResetVoice(); }
    void AnchorChanged(std::uint32_t anchorId) override { voice_->AnchorChanged(anchorId); }

private:
    CLoggedMicAudio logged_;
    IMicAudio* voice_;
    CRoomVideo* video_ = nullptr;
};
