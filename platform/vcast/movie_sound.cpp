#include "platform/vcast/movie_sound.h"

#include <pulse/error.h>
#include <pulse/simple.h>

#include <algorithm>
#include <chrono>

#include "core/log.h"

namespace {
// At most this much sound waits in the queue; beyond it the oldest goes.
constexpr std::size_t kMaxQueuedSamples = 2 * CMovieSound::kRate * CMovieSound::kChannels;
// Sound this far behind the picture is dropped instead of played late.
constexpr double kLateSeconds = 0.2;
// The server's buffer is kept short so the sound follows pause and seek.
constexpr std::uint32_t kTargetBytes = CMovieSound::kRate * CMovieSound::kChannels * 2 / 10;
}  // namespace

CMovieSound::CMovieSound(ClockFn clock) : clock_(std::move(clock)) {
    thread_ = std::thread(&CMovieSound::Run, this);
}

CMovieSound::~CMovieSound() {
    {
        std::lock_guard<std::mutex> g(lock_);
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void CMovieSound::Push(double t, std::vector<std::int16_t> samples) {
    if (samples.empty()) return;
    std::lock_guard<std::mutex> g(lock_);
    queuedSamples_ += samples.size();
    queue_.push_back({t, std::move(samples)});
    while (queuedSamples_ > kMaxQueuedSamples && queue_.size() > 1) {
        queuedSamples_ -= queue_.front().samples.size();
        queue_.pop_front();
    }
    wake_.notify_all();
}

void CMovieSound::Flush() {
    std::lock_guard<std::mutex> g(lock_);
    queue_.clear();
    queuedSamples_ = 0;
    flush_ = true;
}

double CMovieSound::WrittenSeconds() const {
    std::lock_guard<std::mutex> g(lock_);
    return static_cast<double>(written_) / kRate;
}

void CMovieSound::Run() {
    pa_simple* out = nullptr;
    bool tried = false;
    std::unique_lock<std::mutex> lk(lock_);
    while (!stop_) {
        if (queue_.empty()) {
            wake_.wait_for(lk, std::chrono::milliseconds(50));
            continue;
        }
        if (!tried) {  // connect on first sound, on this thread: it may take a while
            tried = true;
            lk.unlock();
            const pa_sample_spec format{PA_SAMPLE_S16LE, kRate, kChannels};
            // Playback starts at a quarter of the target: with the default (all of
            // it) a write that waits for room could wait for a start that never comes.
            pa_buffer_attr attr{static_cast<std::uint32_t>(-1), kTargetBytes, kTargetBytes / 4,
                                static_cast<std::uint32_t>(-1), static_cast<std::uint32_t>(-1)};
            int error = 0;
            out = pa_simple_new(nullptr, "zeri", PA_STREAM_PLAYBACK, nullptr, "movie", &format, nullptr,
                                &attr, &error);
            if (!out) log_msg("vcast: movie sound off, no sound server (%s)\r\n", pa_strerror(error));
            lk.lock();
        }
        if (flush_) {
            flush_ = false;
            if (out) pa_simple_flush(out, nullptr);
        }
        if (!out) {  // silent: keep the queue from growing
            queue_.clear();
            queuedSamples_ = 0;
            continue;
        }
        double position = 0;
        bool paused = false;
        lk.unlock();
        const bool clockSet = clock_(position, paused);
        lk.lock();
        if (queue_.empty()) continue;
        Chunk& front = queue_.front();
        const double length = static_cast<double>(front.samples.size()) / (kRate * kChannels);
        if (!clockSet || paused || front.t > position + 0.02) {
            const double wait = clockSet && !paused ? std::min(front.t - position, 0.01) : 0.01;
            wake_.wait_for(lk, std::chrono::duration<double>(std::max(wait, 0.001)));
            continue;
        }
        Chunk chunk = std::move(front);
        queue_.pop_front();
        queuedSamples_ -= chunk.samples.size();
        if (chunk.t + length < position - kLateSeconds) continue;
        lk.unlock();
        int error = 0;
        const bool ok = pa_simple_write(out, chunk.samples.data(), chunk.samples.size() * sizeof(std::int16_t), &error) == 0;
        lk.lock();
        if (ok) {
            written_ += chunk.samples.size() / kChannels;
        } else {  // the server went away: silent from here on
            log_msg("vcast: movie sound write failed (%s)\r\n", pa_strerror(error));
            pa_simple_free(out);
            out = nullptr;
        }
    }
    lk.unlock();
    if (out) pa_simple_free(out);
}
