#pragma once
// One client's whole voice path: the device layer, playback, the engine,
// the microphone and the send path, built together and torn down in
// reverse. The room drives it through IMicAudio (a granted turn starts the
// microphone and sending; its end stops both); voice packets from the
// media connection go to engine(). The program makes one; tests make one
// per in-process client.

#include <cstdint>
#include <memory>
#include <string>

#include "audio/capture/mixer.h"
#include "audio/capture/voice_preprocessor.h"
#include "audio/capture/wave_in.h"
#include "audio/engine/vcast.h"
#include "audio/playback/play_thread.h"
#include "platform/wavedev/wavedev.h"
#include "room/mic/mic_audio.h"
#include "room/mic/voice_sender.h"
#include "video/settings.h"

class CUserVolumes;

class CVoiceSet : public IMicAudio {
public:
    struct Options {
        wavedev::Options devices;
        int localBufferMs = 40;  // the 22050 Hz output's device buffer
    };

    CVoiceSet(IRoomLink& link, const Options& options);
    ~CVoiceSet() override;
    CVoiceSet(const CVoiceSet&) = delete;
    CVoiceSet& operator=(const CVoiceSet&) = delete;

    // The engine and the playback thread run from here until destruction.
    bool Start();
    // Devices by name, effects, and the loopback choice for the next turn.
    void ApplySettings(const DeviceSettings& settings);
    void SetVolumes(const CUserVolumes* volumes) { play_.SetVolumes(volumes); }
    // The video engine's recorder and clock hear the voice; null: nobody.
    void SetVideo(IVcastVideo* video) {
        engine_.SetVideo(video);
        play_.SetVideo(video);
    }

    // IMicAudio
    void StartSending(bool anchor, std::uint32_t micOpenTick) override;
    void StopSending() override;
    void SendingAccepted() override;
    void CloseVideo() override {}
    void ResetVoice() override;
    void AnchorChanged(std::uint32_t anchorId) override;

    CVcast& engine() { return engine_; }
    CPlayThread& playback() { return play_; }
    C_MIC_IN& microphone() { return mic_; }
    CVoiceSender& sender() { return sender_; }
    CMixer& mixer() { return mixer_; }
    wavedev::IWaveBackend& devices() { return *backend_; }
    std::shared_ptr<wavedev::IWaveBackend> backend() const { return backend_; }
    int micDevice() const { return micDevice_; }
    int speakerDevice() const { return speakerDevice_; }

private:
    std::shared_ptr<wavedev::IWaveBackend> backend_;
    CEchoReference echo_;
    CPlayThread play_;
    CVcast engine_;
    C_MIC_IN mic_;
    CMixer mixer_;
    CVoiceSender sender_;
    int micDevice_ = -1;
    int speakerDevice_ = -1;
    bool loopback_ = false;
    bool sending_ = false;
    std::uint32_t baseTick_ = 0;
};
