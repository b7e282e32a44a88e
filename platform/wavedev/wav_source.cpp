#include "platform/wavedev/wav_source.h"

#include <algorithm>
#include <cstring>

#include "core/log.h"
#include "platform/sonic/sonic.h"

namespace wavedev {

namespace {
constexpr std::size_t kPieceFrames = 4096;
}

CWavSource::~CWavSource() { sonic_pcm_release(convert_); }

bool CWavSource::Open(const std::string& path, int rate, int channels, std::string& error) {
    channels_ = channels;
    ended_ = true;
    pending_.clear();
    at_ = 0;
    if (path.empty()) return true;
    if (!reader_.Open(path, error)) return false;
    const WavFormat& f = reader_.format();
    if (f.rate != rate || f.channels != channels) {
        convert_ = sonic_pcm_create_convert(f.channels, channels, f.rate, rate);
        if (!convert_) {
            error = "cannot convert " + std::to_string(f.rate) + " Hz " + std::to_string(f.channels) +
                    " ch to " + std::to_string(rate) + " Hz " + std::to_string(channels) + " ch";
            reader_.Close();
            return false;
        }
    }
    ended_ = false;
    return true;
}

bool CWavSource::Refill() {
    const auto inChannels = std::size_t(reader_.format().channels);
    std::size_t frames = kPieceFrames;
    if (convert_) frames = std::max<std::size_t>(1, std::size_t(sonic_pcm_samples_size(convert_)) / (2 * inChannels));
    raw_.resize(frames * inChannels);
    const std::size_t got = reader_.Read(raw_.data(), frames);
    if (got == 0) {
        ended_ = true;
        return false;
    }
    if (!convert_) {
        pending_.insert(pending_.end(), raw_.begin(), raw_.begin() + long(got * inChannels));
        return true;
    }
    unsigned char* out = nullptr;
    const int bytes = sonic_pcm_convert(convert_, reinterpret_cast<const unsigned char*>(raw_.data()),
                                        int(got * inChannels * 2), &out);
    if (bytes < 0) {
        log_err("wavedev: the microphone file cannot be converted; silence from here");
        ended_ = true;
        return false;
    }
    const std::size_t samples = std::size_t(bytes) / 2;
    const std::size_t old = pending_.size();
    pending_.resize(old + samples);
    if (samples) std::memcpy(pending_.data() + old, out, samples * 2);
    return true;
}

void CWavSource::Take(std::int16_t* out, std::size_t frames) {
    std::size_t need = frames * std::size_t(channels_);
    while (need > 0) {
        if (at_ == pending_.size()) {
            pending_.clear();
            at_ = 0;
            if (ended_ || !Refill()) break;
            continue;
        }
        const std::size_t n = std::min(need, pending_.size() - at_);
        std::memcpy(out, pending_.data() + at_, n * 2);
        out += n, at_ += n, need -= n;
    }
    std::fill(out, out + need, std::int16_t(0));
}

}  // namespace wavedev
