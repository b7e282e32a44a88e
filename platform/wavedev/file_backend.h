#pragma once
// The file backend: a WAV played as the microphone (or silence), and one
// WAV per output rate written in real time into a folder (or nowhere), each
// paced like a device. Its mixer only remembers what it was told, except
// this program's own playback level, which scales what is written.
//
// Threads: each input stream and each output rate has its own thread (see
// CFileMicrophone, CFileSpeaker); `lock_` guards the speakers, the mixer
// values and the times below. The backend joins every thread it started
// when destroyed.

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/wavedev/echo_tape.h"
#include "platform/wavedev/file_speaker.h"
#include "platform/wavedev/playback_level.h"
#include "platform/wavedev/wavedev.h"

namespace wavedev {

class CFileBackend : public IWaveBackend {
public:
    using Clock = std::chrono::steady_clock;

    explicit CFileBackend(const Options& options);
    ~CFileBackend() override;

    std::string Name() const override { return "file"; }
    std::vector<std::string> InputNames() override;
    std::vector<std::string> OutputNames() override;
    std::unique_ptr<IWaveInStream> OpenIn(int device, int rate, int channels,
                                          std::size_t fragmentBytes, PcmCallback onData,
                                          int& result) override;
    std::unique_ptr<IWaveOutStream> OpenOut(int device, int rate, int channels,
                                            std::size_t bufferBytes, WritableCallback onWritable,
                                            int& result) override;
    int GetVolume(int kind, int device) override;
    bool SetVolume(int kind, int percent, int device) override;
    bool GetMute(int kind, int device) override;
    bool SetMute(int kind, bool mute, int device) override;

    // When input sample 0 of the latest input stream was taken.
    std::optional<Clock::time_point> InputStart();
    // When sample 0 of the rate's output file was heard.
    std::optional<Clock::time_point> OutputStart(int rate);

    static constexpr int kEchoRate = 22050;

private:
    struct Line {
        int percent = 100;
        bool mute = false;
    };
    // The remembered line of a kind on a device; null when there is none.
    Line* LineOf(int kind, int device);

    const Options options_;
    const std::shared_ptr<CPlaybackLevel> level_ = std::make_shared<CPlaybackLevel>();
    const std::shared_ptr<CEchoTape> tape_;  // null without an echo
    std::mutex lock_;
    std::map<int, std::shared_ptr<CFileSpeaker>> speakers_;  // by rate
    Line capture_, output_;
    std::optional<Clock::time_point> inputStart_;
};

}  // namespace wavedev
