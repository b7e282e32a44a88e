#include "platform/wavedev/file_backend.h"

#include <algorithm>
#include <filesystem>

#include "core/log.h"
#include "platform/wavedev/file_microphone.h"
#include "platform/wavedev/wav_file.h"

namespace wavedev {

namespace {

bool FormatOk(int rate, int channels) {
    return rate >= kWavMinRate && rate <= kWavMaxRate && channels >= 1 && channels <= kWavMaxChannels;
}

}  // namespace

CFileBackend::CFileBackend(const Options& options)
    : options_(options),
      tape_(options.echoGain > 0
                ? std::make_shared<CEchoTape>(
                      kEchoRate, std::chrono::milliseconds(std::max(options.echoDelayMs, 0) + 2000))
                : nullptr) {}

CFileBackend::~CFileBackend() {
    std::map<int, std::shared_ptr<CFileSpeaker>> speakers;
    {
        std::lock_guard<std::mutex> lock(lock_);
        speakers.swap(speakers_);
    }
    for (auto& [rate, speaker] : speakers) speaker->Stop();
}

std::vector<std::string> CFileBackend::InputNames() {
    if (options_.inputWav.empty()) return {"Silence"};
    return {"WAV file " + std::filesystem::path(options_.inputWav).filename().string()};
}

std::vector<std::string> CFileBackend::OutputNames() {
    if (options_.outputDir.empty()) return {"Nowhere"};
    return {"WAV files in " + options_.outputDir};
}

std::unique_ptr<IWaveInStream> CFileBackend::OpenIn(int device, int rate, int channels,
                                                    std::size_t fragmentBytes, PcmCallback onData,
                                                    int& result) {
    if (device != -1 && device != 0) {
        result = bad_device;
        return nullptr;
    }
    if (!FormatOk(rate, channels)) {
        result = bad_format;
        return nullptr;
    }
    CFileMicrophone::Echo echo;
    if (tape_) {
        echo.tape = tape_;
        echo.gain = options_.echoGain;
        echo.delay = std::chrono::milliseconds(std::max(options_.echoDelayMs, 0));
    }
    std::string error;
    auto mic = CFileMicrophone::Open(options_.inputWav, rate, channels, fragmentBytes,
                                     std::move(onData), std::move(echo), error);
    if (!mic) {
        log_err("wavedev: cannot play %s as the microphone: %s", options_.inputWav.c_str(),
                error.c_str());
        result = bad_device;
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(lock_);
    inputStart_ = mic->start();
    result = ok;
    return mic;
}

std::unique_ptr<IWaveOutStream> CFileBackend::OpenOut(int device, int rate, int channels,
                                                      std::size_t bufferBytes,
                                                      WritableCallback onWritable, int& result) {
    if (device != -1 && device != 0) {
        result = bad_device;
        return nullptr;
    }
    if (!FormatOk(rate, channels)) {
        result = bad_format;
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(lock_);
    std::shared_ptr<CFileSpeaker>& speaker = speakers_[rate];
    if (!speaker) {
        std::string path;
        if (!options_.outputDir.empty()) {
            std::error_code ec;
            std::filesystem::create_directories(options_.outputDir, ec);
            path = (std::filesystem::path(options_.outputDir) / OutputFileName(rate)).string();
        }
        auto made = std::make_shared<CFileSpeaker>(rate, channels, path,
                                                   rate == kEchoRate ? tape_ : nullptr, level_);
        std::string error;
        if (!made->Start(error)) {
            log_err("wavedev: cannot write %s: %s", path.c_str(), error.c_str());
            speakers_.erase(rate);
            result = other;
            return nullptr;
        }
        speaker = std::move(made);
    }
    auto stream = speaker->Open(channels, bufferBytes, std::move(onWritable));
    result = stream ? ok : other;
    return stream;
}

std::optional<CFileBackend::Clock::time_point> CFileBackend::InputStart() {
    std::lock_guard<std::mutex> lock(lock_);
    return inputStart_;
}

std::optional<CFileBackend::Clock::time_point> CFileBackend::OutputStart(int rate) {
    std::lock_guard<std::mutex> lock(lock_);
    const auto it = speakers_.find(rate);
    if (it == speakers_.end()) return std::nullopt;
    return it->second->start();
}

// --- mixer: remembered, and this program's own level applied --------------------------

CFileBackend::Line* CFileBackend::LineOf(int kind, int device) {
    if (device != -1 && device != 0) return nullptr;
    if (kind == mixer_capture) return &capture_;
    return &output_;
}

int CFileBackend::GetVolume(int kind, int device) {
    if (kind == mixer_none) return 0;
    if (kind == mixer_own_playback) return level_->Percent();
    std::lock_guard<std::mutex> lock(lock_);
    const Line* line = LineOf(kind, device);
    return line ? line->percent : 0;
}

bool CFileBackend::SetVolume(int kind, int percent, int device) {
    if (kind == mixer_none) return false;
    if (kind == mixer_own_playback) {
        level_->SetPercent(percent);
        return true;
    }
    std::lock_guard<std::mutex> lock(lock_);
    Line* line = LineOf(kind, device);
    if (line) line->percent = std::clamp(percent, 0, 100);
    return line != nullptr;
}

bool CFileBackend::GetMute(int kind, int device) {
    if (kind == mixer_none) return false;
    if (kind == mixer_own_playback) return level_->Muted();
    std::lock_guard<std::mutex> lock(lock_);
    const Line* line = LineOf(kind, device);
    return line && line->mute;
}

bool CFileBackend::SetMute(int kind, bool mute, int device) {
    if (kind == mixer_none) return false;
    if (kind == mixer_own_playback) {
        level_->SetMuted(mute);
        return true;
    }
    std::lock_guard<std::mutex> lock(lock_);
    Line* line = LineOf(kind, device);
    if (line) line->mute = mute;
    return line != nullptr;
}

}  // namespace wavedev
