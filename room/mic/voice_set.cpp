#include "room/mic/voice_set.h"

#include "core/log.h"

CVoiceSet::CVoiceSet(IRoomLink& link, const Options& options)
    : backend_(wavedev::MakeBackend(options.devices)),
      play_(backend_, options.localBufferMs),
      engine_(play_),
      mic_(backend_, engine_),
      mixer_(backend_),
      sender_(link) {
    play_.SetVideo(nullptr);
    // The echo canceller hears what the room played, as it was played.
    play_.SetEchoReference(&echo_);
    mic_.SetEchoReference(&echo_);
    engine_.SetSendCallback(&CVoiceSender::OnEncoded, &sender_);
}

CVoiceSet::~CVoiceSet() {
    // Producers stop before what they feed: the microphone, the engine, playback.
    SetVideo(nullptr);
    sender_.Stop();
    mic_.Close();
    engine_.CloseLoopback();
    engine_.StopEngine();
    engine_.SetSendCallback(nullptr, nullptr);
    play_.StopPlayback();
    play_.CloseOutputs();
}

bool CVoiceSet::Start() {
    const bool engine = engine_.StartEngine();
    const bool playback = play_.StartPlayback();
    if (!engine || !playback) log_err("voice: the engine or playback thread did not start");
    return engine && playback;
}

void CVoiceSet::ApplySettings(const DeviceSettings& s) {
    micDevice_ = wavedev::FindDevice(backend_->InputNames(), s.micname);
    const int speaker = wavedev::FindDevice(backend_->OutputNames(), s.speakername);
    if (speaker != speakerDevice_) {
        speakerDevice_ = speaker;
        play_.SetDevice(speaker);
    }
    mic_.SetEffects(s.micenhance != 0, s.micecho != 0, s.micnoise != 0);
    loopback_ = s.loopback != 0;
}

void CVoiceSet::StartSending(bool anchor, std::uint32_t micOpenTick) {
    // The anchor's frames wait for the media server's yes; a free turn has it.
    baseTick_ = micOpenTick;
    if (!anchor) sender_.Start(micOpenTick);
    sending_ = true;
    std::string error;
    if (!mic_.Open(micDevice_, 22050, error))
        log_msg("open Microphone device fail: %s\r\n", error.c_str());
    if (loopback_ && !engine_.OpenLoopback()) log_msg("loopback not opened\r\n");
    log_msg("voice: %s turn, sending\r\n", anchor ? "anchor" : "free");
}

void CVoiceSet::SendingAccepted() {
    if (sending_ && !sender_.sending()) sender_.Start(baseTick_);
}

void CVoiceSet::StopSending() {
    if (!sending_) return;
    sending_ = false;
    sender_.Stop();
    mic_.Close();
    engine_.CloseLoopback();
    log_msg("voice: turn over\r\n");
}

void CVoiceSet::ResetVoice() {
    engine_.Reset();
    play_.CloseOutputs();
}

void CVoiceSet::AnchorChanged(std::uint32_t anchorId) {
    engine_.Reset();
    play_.SetAnchor(anchorId);
}
