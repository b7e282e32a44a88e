#include "audio/voice_message/voice_recorder.h"

#include "audio/capture/wave_in.h"
#include "core/log.h"

namespace voice {
namespace {
// 20 ms of capture a delivery: the seconds shown move smoothly.
constexpr std::size_t kFragmentBytes = 882;
}  // namespace

CVoiceRecorder::CVoiceRecorder(std::shared_ptr<wavedev::IWaveBackend> backend)
    : backend_(std::move(backend)) {}

CVoiceRecorder::~CVoiceRecorder() { Discard(); }

bool CVoiceRecorder::Start(int device, std::string& error) {
    Discard();
    if (!backend_) {
        error = CWaveIn::ErrorText(wavedev::no_driver);
        return false;
    }
    {
        std::lock_guard<std::mutex> g(lock_);
        failed_ = false;
        if (!writer_.Start()) {
            error = "语音编码器不可用";
            return false;
        }
    }
    int result = wavedev::ok;
    auto stream = backend_->OpenIn(
        device, kCaptureRate, 1, kFragmentBytes,
        [this](const std::int16_t* samples, std::size_t count) { OnSamples(samples, count); },
        result);
    std::lock_guard<std::mutex> g(lock_);
    if (!stream) {
        error = CWaveIn::ErrorText(result == wavedev::ok ? wavedev::other : result);
        writer_.Discard();
        return false;
    }
    stream_ = std::move(stream);
    return true;
}

void CVoiceRecorder::OnSamples(const std::int16_t* samples, std::size_t count) {
    std::lock_guard<std::mutex> g(lock_);
    if (!stream_ || failed_ || writer_.full()) return;
    if (!writer_.Push22k(samples, count) && !writer_.full()) {
        failed_ = true;
        log_err("voice message: the encoder refused a block; the message ends there\r\n");
    }
}

bool CVoiceRecorder::recording() const {
    std::lock_guard<std::mutex> g(lock_);
    return stream_ != nullptr;
}

std::int64_t CVoiceRecorder::DurationMs() const {
    std::lock_guard<std::mutex> g(lock_);
    return writer_.DurationMs();
}

bool CVoiceRecorder::full() const {
    std::lock_guard<std::mutex> g(lock_);
    return writer_.full();
}

std::unique_ptr<wavedev::IWaveInStream> CVoiceRecorder::CloseStream() {
    std::unique_ptr<wavedev::IWaveInStream> s;
    {
        std::lock_guard<std::mutex> g(lock_);
        s = std::move(stream_);
    }
    // Closed outside the lock: the device's thread may be waiting for it
    // with a block; once Close returns no block arrives.
    if (s) s->Close();
    return s;
}

std::string CVoiceRecorder::Finish(const std::string& folder, std::string& error) {
    if (!CloseStream()) {
        error = "没有正在录制的语音";
        return {};
    }
    std::lock_guard<std::mutex> g(lock_);
    return writer_.FinishInto(folder, error);
}

void CVoiceRecorder::Discard() {
    CloseStream();
    std::lock_guard<std::mutex> g(lock_);
    if (writer_.started()) writer_.Discard();
}

}  // namespace voice
