#include "platform/jukebox/jukebox_decoder.h"

#include <algorithm>

#include "core/log.h"
#include "platform/jukebox/song_source.h"

namespace jukebox {

namespace {

constexpr int kFrameBytes = kPlayChannels * 2;
// The device-side buffer: what a pause still lets through, and a seek drops.
constexpr std::size_t kDeviceBufferBytes = kPlayRate * kFrameBytes / 5;  // 200 ms
// Decoded ahead of the device, in frames.
constexpr std::size_t kAheadFrames = kPlayRate / 4;
// How often a playing song looks at the device when it does not call back.
constexpr auto kPollStep = std::chrono::milliseconds(20);
// Grace for a device whose queue estimate never reaches 0.
constexpr auto kDrainGrace = std::chrono::milliseconds(300);

}  // namespace

CJukeboxDecoder::CJukeboxDecoder(wavedev::Options devices)
    : devices_(std::move(devices)), source_(std::make_unique<CSongSource>()) {
    source_->SetInterrupt(&interrupt_);
    thread_ = std::thread([this] { Run(); });
}

CJukeboxDecoder::~CJukeboxDecoder() {
    {
        std::lock_guard<std::mutex> lock(lock_);
        quit_ = woken_ = true;
        interrupt_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

int CJukeboxDecoder::Play(const std::string& path) {
    std::lock_guard<std::mutex> lock(lock_);
    const int song = ++nextSong_;
    request_ = Request{};
    request_.play.emplace(song, path);
    paused_ = false;
    status_ = SongStatus{};
    status_.song = song;
    status_.state = SongState::opening;
    woken_ = true;
    interrupt_ = true;
    wake_.notify_all();
    return song;
}

void CJukeboxDecoder::Pause(bool paused) {
    std::lock_guard<std::mutex> lock(lock_);
    paused_ = paused;
    woken_ = true;
    wake_.notify_all();
}

void CJukeboxDecoder::Stop() {
    std::lock_guard<std::mutex> lock(lock_);
    request_ = Request{};
    request_.stop = true;
    paused_ = false;
    woken_ = true;
    interrupt_ = true;
    wake_.notify_all();
}

void CJukeboxDecoder::Seek(int positionMs) {
    std::lock_guard<std::mutex> lock(lock_);
    request_.seek = std::max(positionMs, 0);
    woken_ = true;
    wake_.notify_all();
}

void CJukeboxDecoder::SetVolume(int percent) {
    std::lock_guard<std::mutex> lock(lock_);
    volume_ = std::clamp(percent, 0, 100);
}

SongStatus CJukeboxDecoder::Status() const {
    std::lock_guard<std::mutex> lock(lock_);
    return status_;
}

void CJukeboxDecoder::Run() {
    std::unique_lock<std::mutex> lock(lock_);
    while (!quit_) {
        Request request = std::move(request_);
        request_ = Request{};
        const bool paused = paused_;
        volumeNow_ = volume_;
        woken_ = false;
        if (!quit_) interrupt_ = false;
        lock.unlock();

        Handle(request);
        bool busy = false;
        if (active_) {
            SetState(paused ? SongState::paused : SongState::playing);
            if (paused)
                UpdatePosition();
            else
                busy = Feed();
        }

        lock.lock();
        if (busy || woken_ || quit_) continue;
        if (active_)
            wake_.wait_for(lock, kPollStep, [this] { return woken_ || quit_; });
        else
            wake_.wait(lock, [this] { return woken_ || quit_; });
    }
    lock.unlock();
    CloseStream();
    source_->Close();
    backend_.reset();  // a file device finishes its file here
}

void CJukeboxDecoder::Handle(const Request& request) {
    if (request.stop) {
        CloseStream();
        source_->Close();
        active_ = false;
        SetState(SongState::idle);
    }
    if (request.play) {
        CloseStream();
        song_ = request.play->first;
        const std::string& path = request.play->second;
        pcm_.clear();
        pcmAt_ = 0;
        sourceDone_ = false;
        drainBy_.reset();
        baseMs_ = 0;
        written_ = 0;
        streamFailedOnce_ = false;
        active_ = false;
        if (!backend_) backend_ = wavedev::MakeBackend(devices_);
        std::string error;
        if (!source_->Open(path, error)) {
            log_msg("jukebox: cannot play %s: %s", path.c_str(), error.c_str());
            SetState(SongState::failed, error);
        } else if (!OpenStream()) {
            source_->Close();
            SetState(SongState::failed, "no sound device");
        } else {
            active_ = true;
            std::lock_guard<std::mutex> lock(lock_);
            if (status_.song == song_) status_.durationMs = source_->DurationMs();
        }
    }
    if (request.seek && active_) {
        std::string error;
        if (!source_->Seek(*request.seek, error)) {
            log_msg("jukebox: %s", error.c_str());
            return;
        }
        CloseStream();  // what the device holds is from before the seek
        pcm_.clear();
        pcmAt_ = 0;
        sourceDone_ = false;
        drainBy_.reset();
        baseMs_ = *request.seek;
        written_ = 0;
        if (!OpenStream()) {
            active_ = false;
            source_->Close();
            SetState(SongState::failed, "no sound device");
            return;
        }
        UpdatePosition();
    }
}

bool CJukeboxDecoder::Feed() {
    bool did = false;
    while (!sourceDone_ && pcm_.size() - pcmAt_ < kAheadFrames * kPlayChannels) {
        std::string error;
        const CSongSource::Step step = source_->Decode(pcm_, error);
        if (step == CSongSource::Step::failed) {
            CloseStream();
            source_->Close();
            active_ = false;
            SetState(SongState::failed, error);
            return false;
        }
        if (step == CSongSource::Step::end) sourceDone_ = true;
        did = true;
    }
    if (pcmAt_ > 0 && pcmAt_ * 2 >= pcm_.size()) {
        pcm_.erase(pcm_.begin(), pcm_.begin() + std::ptrdiff_t(pcmAt_));
        pcmAt_ = 0;
    }
    const std::size_t pending = (pcm_.size() - pcmAt_) * 2;
    if (pending > 0) {
        const std::size_t take = std::min(stream_->Writable(), pending) / kFrameBytes * kFrameBytes;
        if (take > 0) {
            const std::int16_t* from = pcm_.data() + pcmAt_;
            const void* data = from;
            if (volumeNow_ < 100) {
                scaled_.resize(take / 2);
                for (std::size_t i = 0; i < scaled_.size(); ++i)
                    scaled_[i] = std::int16_t(from[i] * volumeNow_ / 100);
                data = scaled_.data();
            }
            const long n = stream_->Write(data, take);
            if (n < 0) {
                // A device that failed once is reopened once; what it held is lost.
                CloseStream();
                if (streamFailedOnce_ || !OpenStream()) {
                    source_->Close();
                    active_ = false;
                    SetState(SongState::failed, "the sound device failed");
                    return false;
                }
                streamFailedOnce_ = true;
                baseMs_ += int(written_ * 1000 / kPlayRate);
                written_ = 0;
            } else {
                pcmAt_ += std::size_t(n) / 2;
                written_ += std::uint64_t(n) / kFrameBytes;
                did = did || n > 0;
            }
        }
    }
    UpdatePosition();
    if (sourceDone_ && pcmAt_ >= pcm_.size()) {
        const auto now = std::chrono::steady_clock::now();
        const std::uint64_t queued = stream_->QueuedUs();
        if (!drainBy_) drainBy_ = now + std::chrono::microseconds(queued) + kDrainGrace;
        if (queued == 0 || now >= *drainBy_) {
            CloseStream();
            source_->Close();
            active_ = false;
            SetState(SongState::ended);
            return false;
        }
    }
    return did;
}

bool CJukeboxDecoder::OpenStream() {
    int result = wavedev::ok;
    stream_ = backend_->OpenOut(
        -1, kPlayRate, kPlayChannels, kDeviceBufferBytes,
        [this] {
            {
                std::lock_guard<std::mutex> lock(lock_);
                woken_ = true;
            }
            wake_.notify_all();
        },
        result);
    if (stream_ && result == wavedev::ok) return true;
    log_err("jukebox: cannot open the sound output (%d)", result);
    stream_.reset();
    return false;
}

void CJukeboxDecoder::CloseStream() {
    if (!stream_) return;
    stream_->Close();
    stream_.reset();
}

void CJukeboxDecoder::SetState(SongState state, const std::string& error) {
    std::lock_guard<std::mutex> lock(lock_);
    if (status_.song != song_) return;  // a newer Play owns the status
    status_.state = state;
    status_.error = error;
}

void CJukeboxDecoder::UpdatePosition() {
    const std::uint64_t queuedMs = stream_ ? stream_->QueuedUs() / 1000 : 0;
    const std::uint64_t playedMs = written_ * 1000 / kPlayRate;
    const int position = baseMs_ + int(playedMs > queuedMs ? playedMs - queuedMs : 0);
    std::lock_guard<std::mutex> lock(lock_);
    if (status_.song == song_) status_.positionMs = position;
}

}  // namespace jukebox
