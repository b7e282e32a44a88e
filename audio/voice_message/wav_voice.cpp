#include "audio/voice_message/wav_voice.h"

#include <algorithm>
#include <memory>

#include "audio/voice_message/voice_writer.h"
#include "platform/sonic/sonic.h"
#include "platform/wavedev/wav_file.h"

namespace voice {

namespace {

constexpr std::uint64_t kMaxSeconds = 60;

struct ConvertRelease {
    void operator()(sonic_convert_t* c) const { sonic_pcm_release(c); }
};

}  // namespace

bool ReadWavAsVoice(const std::string& path, std::vector<std::int16_t>& out, std::string& error) {
    out.clear();
    wavedev::CWavReader reader;
    if (!reader.Open(path, error)) return false;
    const int rate = reader.format().rate, channels = reader.format().channels;
    const std::uint64_t frames = reader.frames();
    if (frames == 0) {
        error = "no samples";
        return false;
    }
    if (frames > kMaxSeconds * std::uint64_t(rate)) {
        error = "longer than 60 s";
        return false;
    }
    std::vector<std::int16_t> source(std::size_t(frames) * std::size_t(channels));
    source.resize(reader.Read(source.data(), std::size_t(frames)) * std::size_t(channels));
    if (rate == kMessageRate && channels == 1) {
        out = std::move(source);
        return true;
    }

    std::unique_ptr<sonic_convert_t, ConvertRelease> converter(
        sonic_pcm_create_convert(channels, 1, rate, kMessageRate));
    if (!converter) {
        error = "cannot convert this rate or channel count";
        return false;
    }
    const std::uint64_t read = source.size() / std::size_t(channels);
    // The converter holds back its filter's length; silence pushes it out,
    // and the output is cut to the input's duration.
    source.resize(source.size() + std::size_t(rate / 10) * std::size_t(channels), 0);
    const std::size_t want = std::size_t(read * kMessageRate / std::uint64_t(rate));
    const std::size_t frameBytes = std::size_t(channels) * 2;
    const std::size_t piece =
        std::size_t(sonic_pcm_samples_size(converter.get())) / frameBytes * frameBytes;
    const auto* bytes = reinterpret_cast<const unsigned char*>(source.data());
    std::size_t left = source.size() * 2;
    out.reserve(want);
    while (left > 0 && out.size() < want) {
        const std::size_t n = std::min(left, piece);
        unsigned char* converted = nullptr;
        const int made = sonic_pcm_convert(converter.get(), bytes, int(n), &converted);
        if (made < 0) {
            out.clear();
            error = "conversion failed";
            return false;
        }
        const auto* samples = reinterpret_cast<const std::int16_t*>(converted);
        out.insert(out.end(), samples, samples + made / 2);
        bytes += n;
        left -= n;
    }
    out.resize(std::min(out.size(), want));
    return true;
}

}  // namespace voice
