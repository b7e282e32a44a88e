// What the computer plays, sent in the microphone's place: the loopback
// library's PCM is queued as it comes, and the worker converts it to
// 22050 Hz mono in 2048-byte chunks once 100 ms of it is there.
#include <algorithm>

#include "audio/engine/vcast.h"
#include "core/log.h"
#include "platform/sonic/sonic.h"
#include "platform/tapout/tapout.h"

namespace {
// The largest piece the loopback's callback queues at a time.
constexpr int kLoopbackPiece = 16384;
// About two seconds of 44100 Hz stereo; the oldest goes past it.
constexpr std::size_t kLoopbackLimitBytes = 352800;
}  // namespace

std::size_t CVcast::LoopbackBlock(int rate, int channels) {
    if (rate <= 0 || channels <= 0) return kBlockBytes;
    // 20 ms of 16-bit audio (882 bytes per channel at 22050 Hz…), five times.
    const std::size_t twentyMs = static_cast<std::size_t>(rate) / 50 * 2;
    return 5 * twentyMs * static_cast<std::size_t>(channels);
}

void CVcast::ReleaseLoopback() {
    if (loopbackHandle_) {
        TAPOUT_Close(loopbackHandle_);
        TAPOUT_Release(loopbackHandle_);
        loopbackHandle_ = nullptr;
    }
    sonic_pcm_release(loopbackConverter_);
    loopbackConverter_ = nullptr;
    loopbackBlock_ = kBlockBytes;
}

bool CVcast::OpenLoopback() {
    CloseLoopback();
    std::lock_guard<std::mutex> g(loopbackLock_);
    loopbackHandle_ = TAPOUT_Init(&CVcast::OnLoopbackPcm, this);
    int rate = 0, channels = 0, bits = 0;
    if (!loopbackHandle_ || TAPOUT_Open(loopbackHandle_, 0, &rate, &channels, &bits) != 0 ||
        bits != 16 || rate <= 0 || channels <= 0) {
        ReleaseLoopback();
        return false;
    }
    // Rates outside the usual eight get the same 100 ms, derived.
    loopbackBlock_ = LoopbackBlock(rate, channels);
    loopbackConverter_ = sonic_pcm_create_convert(channels, 1, rate, 22050);
    if (!loopbackConverter_) {
        ReleaseLoopback();
        return false;
    }
    loopbackOn_ = true;
    log_msg("loopback open: %d Hz, %d channels\r\n", rate, channels);
    return true;
}

void CVcast::CloseLoopback() {
    // The handle is closed outside the lock: its thread may be waiting for
    // the lock with data in hand.
    tapout_t* handle = nullptr;
    {
        std::lock_guard<std::mutex> g(loopbackLock_);
        loopbackOn_ = false;
        handle = loopbackHandle_;
        loopbackHandle_ = nullptr;
    }
    if (handle) {
        TAPOUT_Close(handle);
        TAPOUT_Release(handle);
    }
    std::lock_guard<std::mutex> g(loopbackLock_);
    ReleaseLoopback();
    loopbackQueue_.Clear();
}

void CVcast::OnLoopbackPcm(const void* data, int length, void* context) {
    auto* self = static_cast<CVcast*>(context);
    if (!self || !data || length <= 0) return;
    {
        std::lock_guard<std::mutex> g(self->loopbackLock_);
        if (!self->loopbackOn_.load()) return;
        const auto* bytes = static_cast<const unsigned char*>(data);
        for (int at = 0; at < length; at += kLoopbackPiece)
            self->loopbackQueue_.Append(bytes + at, std::min(kLoopbackPiece, length - at));
        if (self->loopbackQueue_.Size() > kLoopbackLimitBytes) {
            const std::size_t over = self->loopbackQueue_.Size() - kLoopbackLimitBytes;
            self->loopbackQueue_.Consume(over & ~std::size_t{3});
            std::lock_guard<std::mutex> c(self->countLock_);
            self->counters_.loopbackDropped += over;
        }
    }
    self->wake_.Set();
}

void CVcast::LoopbackStep() {
    std::lock_guard<std::mutex> g(loopbackLock_);
    if (!loopbackConverter_ || loopbackQueue_.Size() < loopbackBlock_) return;
    const std::size_t chunk = std::min(loopbackBlock_, kBlockBytes);
    const int piece = std::max(sonic_pcm_samples_size(loopbackConverter_), 4) & ~3;
    // One chunk stays for the next pass, so a frame is never cut short.
    while (loopbackQueue_.Size() > chunk) {
        const unsigned char* p = loopbackQueue_.Peek(chunk);
        if (!p) break;
        for (std::size_t at = 0; at < chunk; at += static_cast<std::size_t>(piece)) {
            const int n = static_cast<int>(std::min<std::size_t>(piece, chunk - at));
            unsigned char* out = nullptr;
            const int made = sonic_pcm_convert(loopbackConverter_, p + at, n, &out);
            if (made > 0 && out) {
                std::lock_guard<std::mutex> c(captureLock_);
                AppendCapture(out, static_cast<std::size_t>(made));
            }
        }
        loopbackQueue_.Consume(chunk);
    }
}
