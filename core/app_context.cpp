#include "core/app_context.h"

namespace {
constexpr std::uint32_t kSpeakerTimeoutMs = 2000;
}

std::uint32_t AppContext::Tick() { return clock_ ? clock_->TickMs() : GetTickCount(); }

void AppContext::SetClock(IClock* clock) {
    std::lock_guard<std::mutex> g(lock_);
    clock_ = clock;
}

void AppContext::Reset() {
    std::lock_guard<std::mutex> g(lock_);
    hwnd_ = 0;
    room_ = nullptr;
    userId_ = 0;
    vipLevel_ = 0;
    avProxy_ = nullptr;
    {
        std::unique_lock<std::shared_mutex> s(audioSinkLock_);
        audioSink_ = nullptr;
    }
    {
        std::unique_lock<std::shared_mutex> s(videoSinkLock_);
        videoSink_ = nullptr;
    }
    unplayedAudio_ = 0;
    unplayedVideo_ = 0;
    speaker_[0] = speaker_[1] = 0;
    mediaState_ = 0;
    lastSpeakerTick_ = 0;
}

std::uint32_t AppContext::GetMediaState() {
    std::lock_guard<std::mutex> g(lock_);
    return mediaState_;
}

void AppContext::SetMediaState(std::uint32_t s) {
    std::lock_guard<std::mutex> g(lock_);
    mediaState_ = s;
}

void AppContext::updateSpeakers(std::uint32_t a, std::uint32_t b) {
    if (a == 0xFFFFFFFFu) a = 0;
    if (b == 0xFFFFFFFFu) b = 0;
    std::lock_guard<std::mutex> g(lock_);
    lastSpeakerTick_ = Tick();
    const HWND hwnd = hwnd_;
    // Speakers no longer named leave first; the newcomers are announced by
    // the next packet, so the two slots never overflow.
    bool emptied = false;
    for (auto& slot : speaker_) {
        if (slot != 0 && slot != a && slot != b) {
            PostMessage(hwnd, UM_SPEAKER_STATE, slot, 0);
            slot = 0;
            emptied = true;
        }
    }
    if (emptied) return;
    for (std::uint32_t id : {a, b}) {
        if (id == 0 || speaker_[0] == id || speaker_[1] == id) continue;
        PostMessage(hwnd, UM_SPEAKER_STATE, id, 1);
        if (speaker_[0] == 0)
            speaker_[0] = id;
        else if (speaker_[1] == 0)
            speaker_[1] = id;
    }
}

void AppContext::expireSpeakers() {
    std::lock_guard<std::mutex> g(lock_);
    const std::uint32_t now = Tick();
    if (now - lastSpeakerTick_ <= kSpeakerTimeoutMs) return;
    lastSpeakerTick_ = now;
    for (auto& slot : speaker_) {
        if (slot == 0) continue;
        PostMessage(hwnd_, UM_SPEAKER_STATE, slot, 0);
        slot = 0;
    }
}

void AppContext::setSpeakers(std::uint32_t a, std::uint32_t b) {
    std::lock_guard<std::mutex> g(lock_);
    speaker_[0] = a;
    speaker_[1] = b;
}

void AppContext::GetSpeakers(std::uint32_t& a, std::uint32_t& b) {
    std::lock_guard<std::mutex> g(lock_);
    a = speaker_[0];
    b = speaker_[1];
}

void AppContext::SetAudioSink(IAudioPacketSink* s) {
    std::unique_lock<std::shared_mutex> g(audioSinkLock_);
    audioSink_ = s;
}

void AppContext::SetVideoSink(IVideoFrameSink* s) {
    std::unique_lock<std::shared_mutex> g(videoSinkLock_);
    videoSink_ = s;
}

void AppContext::OnAudioPacket(int kind, std::uint32_t speaker, std::uint32_t stamp,
                               const unsigned char* bytes, std::size_t length) {
    std::shared_lock<std::shared_mutex> g(audioSinkLock_);
    if (audioSink_)
        audioSink_->OnAudioPacket(kind, speaker, stamp, bytes, length);
    else
        ++unplayedAudio_;
}

void AppContext::PlayFrame(const VideoFrameHeader& h, const unsigned char* bytes,
                           std::size_t length) {
    std::shared_lock<std::shared_mutex> g(videoSinkLock_);
    if (videoSink_)
        videoSink_->PlayFrame(h, bytes, length);
    else
        ++unplayedVideo_;
}
