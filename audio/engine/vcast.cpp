#include "audio/engine/vcast.h"

#include <cstdio>

#include "audio/playback/play_thread.h"
#include "core/clock.h"
#include "platform/sonic/sonic.h"

namespace {
// The worker sleeps this long at most when nobody wakes it.
constexpr unsigned kIdleWaitMs = 65535;
}  // namespace

CVcast::CVcast(CPlayThread& play)
    : play_(play),
      decoders_(
          [this](std::uint32_t speaker, std::uint32_t stamp, const std::int16_t* pcm,
                 std::size_t samples) { play_.PushVoice(speaker, stamp, pcm, samples); },
          [this](std::uint32_t, const std::int16_t* pcm, std::size_t samples) {
              play_.Push(pcm, samples * 2, CPlayThread::kNarrow);
          }) {
    sonic_init();
    encoder_ = sonic_eaac(22050, 1, 32000);
}

CVcast::~CVcast() {
    StopEngine();
    CloseLoopback();
    sonic_eaac_release(encoder_);
}

void CVcast::SetSendCallback(VcastSendCallback callback, void* context) {
    std::lock_guard<std::mutex> g(captureLock_);
    sendCallback_ = callback;
    sendContext_ = context;
}

void CVcast::SetVideo(IVcastVideo* video) { video_ = video; }

bool CVcast::StartEngine() {
    if (IsRunning()) return true;
    return Start() == 0;
}

void CVcast::StopEngine() {
    if (IsFinished()) return;
    running.store(false);
    wake_.Set();
    Stop(true, 10);
}

void CVcast::Run() {
    while (IsRunning()) {
        Pump();
        wake_.WaitMs(kIdleWaitMs);
    }
}

void CVcast::Pump() {
    LoopbackStep();
    EncodeStep();
    ReceiveStep();
}

// --- sending --------------------------------------------------------------------------

void CVcast::OnMicPcm(const void* data, std::size_t length) {
    if (!data || length == 0) return;
    if (loopbackOn_.load()) {
        // The loopback is what is sent; the microphone is only heard here.
        std::size_t at = 0;
        const auto* bytes = static_cast<const unsigned char*>(data);
        while (at < length) {
            const std::size_t n = std::min<std::size_t>(length - at, CPlayThread::kRecordPcmBytes);
            play_.PushRecord(GetTickCount(), bytes + at, n);
            at += n;
        }
        return;
    }
    {
        std::lock_guard<std::mutex> g(captureLock_);
        AppendCapture(data, length);
    }
    wake_.Set();
}

void CVcast::AppendCapture(const void* data, std::size_t length) {
    captureQueue_.Append(data, static_cast<long>(length));
    // A stalled worker must not turn into seconds of delay: the oldest goes,
    // in whole blocks so the frames stay aligned.
    if (captureQueue_.Size() > kCaptureLimitBytes) {
        const std::size_t over = captureQueue_.Size() - kCaptureLimitBytes;
        const std::size_t drop = (over + kBlockBytes - 1) / kBlockBytes * kBlockBytes;
        captureQueue_.Consume(std::min(drop, captureQueue_.Size()));
        std::lock_guard<std::mutex> c(countLock_);
        counters_.captureDropped += drop;
    }
}

void CVcast::EncodeStep() {
    std::lock_guard<std::mutex> g(captureLock_);
    while (captureQueue_.Size() >= kBlockBytes) {
        if (const unsigned char* block = captureQueue_.Peek(kBlockBytes)) Encode(block);
        captureQueue_.Consume(kBlockBytes);
    }
}

void CVcast::Encode(const unsigned char* block) {
    if (!encoder_ || !block) return;
    unsigned char* out = nullptr;
    const int n = sonic_eaac_encode(encoder_, block, static_cast<int>(kBlockBytes), &out);
    {
        std::lock_guard<std::mutex> c(countLock_);
        ++counters_.blocksEncoded;
        if (n >= 1 && out && sendCallback_) ++counters_.framesSent;
    }
    if (n < 1 || !out) return;
    const std::uint32_t tick = GetTickCount();
    if (sendCallback_)
        sendCallback_(kSendKind, out, static_cast<std::uint32_t>(n), tick, sendContext_);
    if (IVcastVideo* v = video_.load())
        v->RecordAudio(true, 1, tick, out, static_cast<std::size_t>(n));
}

// --- receiving ------------------------------------------------------------------------

void CVcast::OnAudioPacket(int kind, std::uint32_t speaker, std::uint32_t stamp,
                           const unsigned char* bytes, std::size_t length) {
    if (!bytes || length == 0) return;
    if (length > CSpeakerDecoders::kMaxPayloadBytes) {
        // Refused before a copy is made of it.
        std::lock_guard<std::mutex> c(countLock_);
        ++counters_.packetsOversize;
        return;
    }
    Packet p{kind, speaker, stamp, std::vector<unsigned char>(bytes, bytes + length)};
    std::uint64_t dropped = 0;
    bool refused = false;
    {
        // Counted after: the packet lock never holds another.
        std::lock_guard<std::mutex> g(packetLock_);
        auto it = queuedBySpeaker_.find(speaker);
        if (it == queuedBySpeaker_.end()) {
            // A flood of made-up speaker ids is bounded by their number.
            if (queuedBySpeaker_.size() >= CSpeakerDecoders::kMaxSpeakers * 2) {
                refused = true;
            } else {
                it = queuedBySpeaker_.emplace(speaker, 0).first;
            }
        }
        if (refused) {
            dropped = 1;
        } else {
        if (it->second >= kPacketsPerSpeaker) {
            // This speaker's oldest goes: what is late is worth least.
            for (auto p2 = packets_.begin(); p2 != packets_.end(); ++p2) {
                if (p2->speaker != speaker) continue;
                packets_.erase(p2);
                --it->second;
                ++dropped;
                break;
            }
        }
        packets_.push_back(std::move(p));
        ++it->second;
        }
    }
    {
        std::lock_guard<std::mutex> c(countLock_);
        if (!refused) ++counters_.packetsQueued;
        counters_.packetsDropped += dropped;
    }
    if (!refused) wake_.Set();
}

void CVcast::ReceiveStep() {
    std::lock_guard<std::mutex> d(decodeLock_);
    for (;;) {
        Packet p;
        {
            std::lock_guard<std::mutex> g(packetLock_);
            if (packets_.empty()) return;
            p = std::move(packets_.front());
            packets_.pop_front();
            auto it = queuedBySpeaker_.find(p.speaker);
            if (it != queuedBySpeaker_.end() && --it->second == 0) queuedBySpeaker_.erase(it);
        }
        // Decoded outside the packet lock: the connection never waits for a codec.
        decoders_.Decode(p.kind, p.speaker, p.stamp, p.bytes.data(), p.bytes.size(), GetTickCount());
        if (IVcastVideo* v = video_.load())
            v->RecordAudio(false, p.kind, p.stamp, p.bytes.data(), p.bytes.size());
    }
}

void CVcast::Reset() {
    if (IVcastVideo* v = video_.load()) v->PlayClear();
    {
        std::lock_guard<std::mutex> g(captureLock_);
        captureQueue_.Clear();
    }
    {
        std::lock_guard<std::mutex> g(packetLock_);
        packets_.clear();
        queuedBySpeaker_.clear();
    }
    {
        std::lock_guard<std::mutex> d(decodeLock_);
        decoders_.Clear();
    }
    {
        std::lock_guard<std::mutex> g(loopbackLock_);
        loopbackQueue_.Clear();
    }
    play_.Clear(CPlayThread::kVoiceMessage);
    play_.Clear(CPlayThread::kRecord);
    play_.Clear(CPlayThread::kNarrow);
}

CVcast::Counters CVcast::counters() const {
    Counters out;
    {
        std::lock_guard<std::mutex> c(countLock_);
        out = counters_;
    }
    std::lock_guard<std::mutex> d(decodeLock_);
    out.decode = decoders_.counts();
    return out;
}
