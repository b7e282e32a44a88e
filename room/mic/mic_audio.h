#pragma once
// What the microphone states drive: capture and the voice send path. The
// room decides when; the audio engine does the work. Until an engine is
// given, the room only logs what it would start and stop.

#include <cstdint>

class IMicAudio {
public:
    virtual ~IMicAudio() = default;
    // Capture and sending for the anchor microphone (`anchor`) or a free
    // turn; frame stamps count from `micOpenTick` (ms).
    virtual void StartSending(bool anchor, std::uint32_t micOpenTick) = 0;
    virtual void StopSending() = 0;
    // The media server took my anchor microphone: frames may go now (a
    // free turn is accepted when it starts).
    virtual void SendingAccepted() {}
    // My video broadcast closes with the anchor microphone.
    virtual void CloseVideo() = 0;
    // The room was left or reloaded: what was queued to play is dropped.
    virtual void ResetVoice() {}
    // A new anchor: old voice goes, the video clock follows the new one.
    virtual void AnchorChanged(std::uint32_t anchorId) { (void)anchorId; }
};

class CLoggedMicAudio : public IMicAudio {
public:
    void StartSending(bool anchor, std::uint32_t micOpenTick) override;
    void StopSending() override;
    void CloseVideo() override;
};
