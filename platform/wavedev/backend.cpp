// Choosing the backend: files where the user named them, PulseAudio for the
// rest when a server answers, files (silence, nowhere) when none does.
#include <algorithm>
#include <cctype>

#include "core/log.h"
#include "platform/wavedev/file_backend.h"
#include "platform/wavedev/pulse_backend.h"
#include "platform/wavedev/wavedev.h"

namespace wavedev {

namespace {

constexpr int kConnectMs = 2000;

// Input from one backend, output (and this program's own level) from the other.
class CSplitBackend : public IWaveBackend {
public:
    CSplitBackend(std::shared_ptr<IWaveBackend> input, std::shared_ptr<IWaveBackend> output)
        : input_(std::move(input)), output_(std::move(output)) {}

    std::string Name() const override { return "pulse+file"; }
    std::vector<std::string> InputNames() override { return input_->InputNames(); }
    std::vector<std::string> OutputNames() override { return output_->OutputNames(); }
    std::unique_ptr<IWaveInStream> OpenIn(int device, int rate, int channels,
                                          std::size_t fragmentBytes, PcmCallback onData,
                                          int& result) override {
        return input_->OpenIn(device, rate, channels, fragmentBytes, std::move(onData), result);
    }
    std::unique_ptr<IWaveOutStream> OpenOut(int device, int rate, int channels,
                                            std::size_t bufferBytes, WritableCallback onWritable,
                                            int& result) override {
        return output_->OpenOut(device, rate, channels, bufferBytes, std::move(onWritable), result);
    }
    int GetVolume(int kind, int device) override { return Line(kind).GetVolume(kind, device); }
    bool SetVolume(int kind, int percent, int device) override {
        return Line(kind).SetVolume(kind, percent, device);
    }
    bool GetMute(int kind, int device) override { return Line(kind).GetMute(kind, device); }
    bool SetMute(int kind, bool mute, int device) override {
        return Line(kind).SetMute(kind, mute, device);
    }

    IWaveBackend& input() { return *input_; }
    IWaveBackend& output() { return *output_; }

private:
    // Kind 2 is neutral on either side.
    IWaveBackend& Line(int kind) { return kind == mixer_capture ? *input_ : *output_; }

    std::shared_ptr<IWaveBackend> input_;
    std::shared_ptr<IWaveBackend> output_;
};

CFileBackend* FileSide(IWaveBackend& backend, bool input) {
    if (auto* file = dynamic_cast<CFileBackend*>(&backend)) return file;
    if (auto* split = dynamic_cast<CSplitBackend*>(&backend))
        return dynamic_cast<CFileBackend*>(input ? &split->input() : &split->output());
    return nullptr;
}

}  // namespace

std::string OutputFileName(int rate) { return "speaker-" + std::to_string(rate) + ".wav"; }

int FindDevice(const std::vector<std::string>& names, const std::string& wanted) {
    if (wanted.empty()) return -1;
    const auto same = [&wanted](const std::string& name) {
        return name.size() == wanted.size() &&
               std::equal(name.begin(), name.end(), wanted.begin(), [](char a, char b) {
                   return std::tolower(static_cast<unsigned char>(a)) ==
                          std::tolower(static_cast<unsigned char>(b));
               });
    };
    const auto it = std::find_if(names.begin(), names.end(), same);
    return it == names.end() ? -1 : static_cast<int>(it - names.begin());
}

std::shared_ptr<IWaveBackend> MakeBackend(const Options& options) {
    const bool fileIn = !options.inputWav.empty();
    const bool fileOut = !options.outputDir.empty();
    std::shared_ptr<IWaveBackend> pulse;
    if (!fileIn || !fileOut) {
        std::string error;
        int result = ok;
        if (auto session = CPulseSession::Connect(options.pulseServer, "zeri", kConnectMs, error, result))
            pulse = std::make_shared<CPulseBackend>(std::move(session));
        else
            log_msg("wavedev: no sound server (%s); input from %s, output %s", error.c_str(),
                    fileIn ? options.inputWav.c_str() : "silence",
                    fileOut ? ("into " + options.outputDir).c_str() : "nowhere");
    }
    if (!pulse) return std::make_shared<CFileBackend>(options);
    if (!fileIn && !fileOut) return pulse;
    auto file = std::make_shared<CFileBackend>(options);
    if (fileIn) return std::make_shared<CSplitBackend>(file, pulse);
    return std::make_shared<CSplitBackend>(pulse, file);
}

bool FileInputStart(IWaveBackend& backend, std::chrono::steady_clock::time_point& at) {
    CFileBackend* file = FileSide(backend, true);
    const auto start = file ? file->InputStart() : std::nullopt;
    if (start) at = *start;
    return start.has_value();
}

bool FileOutputStart(IWaveBackend& backend, int rate, std::chrono::steady_clock::time_point& at) {
    CFileBackend* file = FileSide(backend, false);
    const auto start = file ? file->OutputStart(rate) : std::nullopt;
    if (start) at = *start;
    return start.has_value();
}

}  // namespace wavedev
