#include "audio/voice_message/voice_writer.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "core/files.h"
#include "core/paths.h"
#include "platform/sonic/sonic.h"

namespace voice {

namespace {

constexpr int kCaptureRate = 22050;
constexpr int kMr122 = 7;

// A name no other recording in this or another process takes at the same time.
std::string TemporaryName() {
    static std::atomic<unsigned> counter{0};
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    char name[96];
    std::snprintf(name, sizeof name, "recording-%d-%u-%llx.amr.tmp", int(::getpid()),
                  counter.fetch_add(1), static_cast<unsigned long long>(now));
    return name;
}

}  // namespace

CVoiceWriter::~CVoiceWriter() { Release(); }

void CVoiceWriter::Release() {
    sonic_eamr_release(encoder_);
    sonic_pcm_release(converter_);
    encoder_ = nullptr;
    converter_ = nullptr;
    file_.clear();
    pendingCount_ = 0;
    frames_ = 0;
    samples_ = 0;
}

bool CVoiceWriter::Start() {
    Release();
    encoder_ = sonic_eamr(kMr122);
    converter_ = sonic_pcm_create_convert(1, 1, kCaptureRate, kMessageRate);
    if (!encoder_ || !converter_) {
        Release();
        return false;
    }
    file_.assign(kAmrMagic);
    return true;
}

std::int64_t CVoiceWriter::DurationMs() const { return samples_ * 1000 / kMessageRate; }

bool CVoiceWriter::full() const { return frames_ >= kMaxFrames; }

bool CVoiceWriter::EncodePending() {
    unsigned char* out = nullptr;
    const int n = sonic_eamr_encode(encoder_, reinterpret_cast<const unsigned char*>(pending_),
                                    int(sizeof pending_), &out);
    pendingCount_ = 0;
    if (n <= 0 || !out) return false;
    file_.append(reinterpret_cast<const char*>(out), std::size_t(n));
    ++frames_;
    return true;
}

bool CVoiceWriter::Push8k(const std::int16_t* samples, std::size_t count) {
    if (!encoder_ || (count > 0 && !samples)) return false;
    for (std::size_t at = 0; at < count;) {
        if (full()) return false;
        const std::size_t take =
            std::min<std::size_t>(count - at, std::size_t(kFrameSamples - pendingCount_));
        std::memcpy(pending_ + pendingCount_, samples + at, take * sizeof(std::int16_t));
        pendingCount_ += int(take);
        samples_ += std::int64_t(take);
        at += take;
        if (pendingCount_ == kFrameSamples && !EncodePending()) return false;
    }
    return true;
}

bool CVoiceWriter::Push22k(const std::int16_t* samples, std::size_t count) {
    if (!converter_ || (count > 0 && !samples)) return false;
    const auto* bytes = reinterpret_cast<const unsigned char*>(samples);
    std::size_t left = count * sizeof(std::int16_t);
    const std::size_t piece = std::size_t(sonic_pcm_samples_size(converter_)) & ~std::size_t(1);
    while (left > 0) {
        const std::size_t n = std::min(left, piece);
        unsigned char* out = nullptr;
        const int made = sonic_pcm_convert(converter_, bytes, int(n), &out);
        if (made < 0) return false;
        // The converter's buffer is 16-bit aligned storage of its own.
        if (made > 0 && !Push8k(reinterpret_cast<const std::int16_t*>(out), std::size_t(made) / 2))
            return false;
        bytes += n;
        left -= n;
    }
    return true;
}

std::string CVoiceWriter::Finish() {
    if (!encoder_) return {};
    if (pendingCount_ > 0 && !full()) {
        std::fill(pending_ + pendingCount_, pending_ + kFrameSamples, std::int16_t(0));
        EncodePending();
    }
    std::string bytes = std::move(file_);
    Release();
    return bytes;
}

std::string CVoiceWriter::FinishInto(const std::string& folder, std::string& error) {
    if (!encoder_) {
        error = "no recording";
        return {};
    }
    const std::string bytes = Finish();
    std::string path = folder;
    if (!path.empty() && path.back() != '/') path += '/';
    path += TemporaryName();
    // The user's folder for messages is made with the first one.
    if (!folder.empty()) paths::MakeDirs(folder);
    if (!files::WriteFileAtomic(path, bytes)) {
        error = "cannot write " + path;
        return {};
    }
    written_ = path;
    return path;
}

void CVoiceWriter::Discard() {
    Release();
    if (!written_.empty()) std::remove(written_.c_str());
    written_.clear();
}

}  // namespace voice
