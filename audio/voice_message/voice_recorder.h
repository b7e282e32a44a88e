#pragma once
// A voice message recorded from a microphone: a capture stream of its own
// in the system's fixed format (22050 Hz mono), open only while recording
// and independent of any microphone turn, fed to a CVoiceWriter on the
// device's thread. The room window drives it from its button; it never
// blocks the caller on the device.

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "audio/voice_message/voice_writer.h"
#include "platform/wavedev/wavedev.h"

namespace voice {

class CVoiceRecorder {
public:
    static constexpr int kCaptureRate = 22050;

    explicit CVoiceRecorder(std::shared_ptr<wavedev::IWaveBackend> backend);
    ~CVoiceRecorder();
    CVoiceRecorder(const CVoiceRecorder&) = delete;
    CVoiceRecorder& operator=(const CVoiceRecorder&) = delete;

    // Opens `device` (−1 the default) and starts a new message; false with
    // the reason in `error` (nothing is left open then).
    bool Start(int device, std::string& error);
    bool recording() const;
    // Milliseconds recorded so far, and whether the message holds its 60 s.
    std::int64_t DurationMs() const;
    bool full() const;
    // Closes the device and writes the message into `folder` under a
    // temporary name: its path, or empty with `error` set.
    std::string Finish(const std::string& folder, std::string& error);
    // Closes the device and drops what was recorded.
    void Discard();

private:
    std::unique_ptr<wavedev::IWaveInStream> CloseStream();
    void OnSamples(const std::int16_t* samples, std::size_t count);  // device thread

    std::shared_ptr<wavedev::IWaveBackend> backend_;
    mutable std::mutex lock_;  // the writer and the stream
    CVoiceWriter writer_;
    std::unique_ptr<wavedev::IWaveInStream> stream_;
    bool failed_ = false;  // the codec refused a block: the message is cut there
};

}  // namespace voice
