#include "audio/playback/play_thread.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "audio/capture/voice_preprocessor.h"
#include "audio/engine/vcast_video.h"
#include "audio/user_volumes.h"
#include "audio/voice_mix.h"
#include "core/clock.h"

namespace {
constexpr unsigned kIdleWaitMs = 65535;
// While voice is on its way the loop looks again this soon (a frame falls
// due, or the device drains); an output saying it can take more wakes it sooner.
constexpr unsigned kBusyWaitMs = 5;
// The most one pass mixes: 100 ms.
constexpr std::size_t kMaxMixSamples = 2205;
constexpr int kNarrowBufferMs = 100;
// Below this much left in the device, a late speaker is no longer waited for.
constexpr std::uint64_t kStarvingUs = 15000;

std::uint32_t ReadU32(const unsigned char* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
}  // namespace

CPlayThread::CPlayThread(std::shared_ptr<wavedev::IWaveBackend> backend, int localBufferMs,
                         IClock* clock)
    : clock_(clock ? *clock : systemClock_),
      local_(backend, 22050, localBufferMs, "local"), remote_(backend, 8000, kNarrowBufferMs, "remote") {
    local_.SetOnWritable([this] { wake_.Set(); });
    remote_.SetOnWritable([this] { wake_.Set(); });
}

CPlayThread::~CPlayThread() {
    StopPlayback();
    CloseOutputs();
}

bool CPlayThread::StartPlayback() {
    if (IsRunning()) return true;
    return Start() == 0;
}

void CPlayThread::StopPlayback() {
    if (IsFinished()) return;
    running.store(false);
    wake_.Set();
    Stop(true, 10);
}

void CPlayThread::Run() {
    while (IsRunning()) wake_.WaitMs(Pump(clock_.TickMs()));
}

// --- producers ------------------------------------------------------------------------

bool CPlayThread::PushVoice(std::uint32_t speaker, std::uint32_t stamp, const std::int16_t* pcm,
                            std::size_t samples) {
    if (!pcm || samples == 0) return false;
    const std::uint32_t now = clock_.TickMs();
    {
        std::lock_guard<std::mutex> g(lock_);
        auto it = streams_.find(speaker);
        if (it == streams_.end()) {
            if (streams_.size() >= kMaxSpeakers) {
                ++counters_.speakersRefused;
                ++counters_.refused[kRecord];
                return false;
            }
            it = streams_.emplace(speaker, Stream{}).first;
        }
        it->second.lastPushMs = now;
        it->second.jitter.Push(stamp, std::vector<std::int16_t>(pcm, pcm + samples), now);
    }
    wake_.Set();
    return true;
}

bool CPlayThread::PushRecord(std::uint32_t stamp, const void* pcm, std::size_t length) {
    if (!pcm || length == 0 || length > kRecordPcmBytes) return false;
    const auto* samples = static_cast<const std::int16_t*>(pcm);
    const std::size_t n = length / 2;
    {
        std::lock_guard<std::mutex> g(lock_);
        // My own voice is not late or early: it is played as it comes.
        Stream& s = streams_[kMonitorSpeaker];
        s.lastPushMs = clock_.TickMs();
        s.fifo.insert(s.fifo.end(), samples, samples + n);
        if (s.fifo.size() > kFifoLimitSamples) {
            const std::size_t over = s.fifo.size() - kFifoLimitSamples;
            s.fifo.erase(s.fifo.begin(), s.fifo.begin() + static_cast<long>(over));
            counters_.samplesDropped += over;
        }
    }
    (void)stamp;
    wake_.Set();
    return true;
}

bool CPlayThread::Push(const void* data, std::size_t length, int kind) {
    if (!data || length == 0) return false;
    if (kind == kRecord) {
        if (length < 8) return false;
        const auto* p = static_cast<const unsigned char*>(data);
        const std::uint32_t pcmLength = ReadU32(p + 4);
        if (pcmLength > kRecordPcmBytes || pcmLength + 8 > length) return false;
        return PushRecord(ReadU32(p), p + 8, pcmLength);
    }
    if (kind != kNarrow && kind != kVoiceMessage) return false;
    {
        std::lock_guard<std::mutex> g(lock_);
        auto& q = kind == kNarrow ? narrowQueue_ : voiceQueue_;
        const std::size_t limit = kind == kNarrow ? kNarrowLimitBytes : kVoiceLimitBytes;
        // Checked before appending: a queue may pass its limit by one push.
        if (q.Size() >= limit) {
            ++counters_.refused[kind];
            return false;
        }
        q.Append(data, static_cast<long>(length & ~std::size_t{1}));
    }
    wake_.Set();
    return true;
}

void CPlayThread::Clear(int kind) {
    std::lock_guard<std::mutex> g(lock_);
    switch (kind) {
        case kRecord:
            for (auto& [id, s] : streams_) AddJitterCounts(s.jitter.counts());
            streams_.clear();
            break;
        case kNarrow: narrowQueue_.Clear(); break;
        case kVoiceMessage: voiceQueue_.Clear(); break;
        default: break;
    }
}

void CPlayThread::SetMuted(bool muted) {
    std::lock_guard<std::mutex> g(lock_);
    muted_ = muted;
}

bool CPlayThread::VoiceQueueEmpty() {
    std::lock_guard<std::mutex> g(lock_);
    return voiceQueue_.Size() == 0;
}

void CPlayThread::SetDevice(int index) {
    local_.SetDevice(index);
    remote_.SetDevice(index);
}

void CPlayThread::CloseOutputs() {
    local_.Close();
    remote_.Close();
}

void CPlayThread::SetVolumes(const CUserVolumes* volumes) { volumes_ = volumes; }
void CPlayThread::SetEchoReference(CEchoReference* reference) { echo_ = reference; }

// --- the loop -------------------------------------------------------------------------

void CPlayThread::AddJitterCounts(const CJitterBuffer::Counts& c) {
    freedJitter_.played += c.played;
    freedJitter_.late += c.late;
    freedJitter_.duplicate += c.duplicate;
    freedJitter_.overflow += c.overflow;
    freedJitter_.stale += c.stale;
    freedJitter_.restarts += c.restarts;
}

void CPlayThread::ReleaseDue(std::uint32_t nowMs, std::vector<std::uint32_t>& stamps) {
    const std::uint32_t anchor = anchor_.load();
    for (auto it = streams_.begin(); it != streams_.end();) {
        Stream& s = it->second;
        std::uint32_t stamp = 0;
        while (auto pcm = s.jitter.Pop(nowMs, &stamp)) {
            if (anchor != 0 && it->first == anchor) stamps.push_back(stamp);
            s.fifo.insert(s.fifo.end(), pcm->begin(), pcm->end());
        }
        if (s.fifo.size() > kFifoLimitSamples) {
            const std::size_t over = s.fifo.size() - kFifoLimitSamples;
            s.fifo.erase(s.fifo.begin(), s.fifo.begin() + static_cast<long>(over));
            counters_.samplesDropped += over;
        }
        // A speaker silent this long is gone; a new spurt starts a new stream.
        if (s.fifo.empty() && s.jitter.QueuedFrames() == 0 && nowMs - s.lastPushMs > kIdleMs) {
            AddJitterCounts(s.jitter.counts());
            it = streams_.erase(it);
        } else {
            ++it;
        }
    }
}

bool CPlayThread::MixOut(std::uint32_t nowMs, std::vector<std::uint32_t>& stamps) {
    std::size_t longest = 0;
    // What every speaker still talking has ready: mixing only that keeps
    // their voices in step. A speaker whose next frame is late is waited
    // for only while the device has enough left to play.
    std::size_t common = SIZE_MAX;
    bool muted;
    {
        std::lock_guard<std::mutex> g(lock_);
        muted = muted_;
        for (const auto& [id, s] : streams_) {
            longest = std::max(longest, s.fifo.size());
            if (!s.fifo.empty() || s.jitter.QueuedFrames() > 0) common = std::min(common, s.fifo.size());
        }
        if (longest == 0) return false;
        if (muted) {
            // Room audio is silenced: dropped, its stamps already reported.
            for (auto& [id, s] : streams_) {
                counters_.mutedSamples += s.fifo.size();
                s.fifo.clear();
            }
            return false;
        }
    }
    const bool open = local_.EnsureOpen(nowMs);
    if (common == 0 && open && local_.QueuedUs() > kStarvingUs) return true;
    if (common == 0) {
        // The device is running dry: a speaker whose next frame is here but
        // not yet due plays it now rather than leaving a gap in its voice.
        std::lock_guard<std::mutex> g(lock_);
        const std::uint32_t anchor = anchor_.load();
        common = SIZE_MAX;
        for (auto& [id, s] : streams_) {
            std::uint32_t stamp = 0;
            if (s.fifo.empty())
                if (auto pcm = s.jitter.PopNext(&stamp)) {
                    if (anchor != 0 && id == anchor) stamps.push_back(stamp);
                    s.fifo.insert(s.fifo.end(), pcm->begin(), pcm->end());
                }
            if (!s.fifo.empty()) common = std::min(common, s.fifo.size());
        }
    }
    if (common == SIZE_MAX) common = longest;
    std::size_t n = std::min(common, kMaxMixSamples);
    if (open) n = std::min(n, local_.Writable() / 2);
    if (n == 0) return true;  // the device is full: its writable call wakes us
    std::vector<std::int16_t> mixed(n, 0);
    const CUserVolumes* volumes = volumes_.load();
    {
        std::lock_guard<std::mutex> g(lock_);
        for (auto& [id, s] : streams_) {
            const std::size_t take = std::min(n, s.fifo.size());
            if (take == 0) continue;
            std::vector<std::int16_t> piece(s.fifo.begin(), s.fifo.begin() + static_cast<long>(take));
            s.fifo.erase(s.fifo.begin(), s.fifo.begin() + static_cast<long>(take));
            const int volume = (volumes && id != kMonitorSpeaker) ? volumes->Volume(id)
                                                                  : voice_mix::kDefaultVolume;
            voice_mix::AddInto(mixed.data(), piece.data(), take, volume);
        }
        counters_.samplesPlayed += n;
    }
    local_.Write(mixed.data(), n * 2);
    if (CEchoReference* echo = echo_.load()) echo->Played(mixed.data(), n);
    std::lock_guard<std::mutex> g(lock_);
    for (const auto& [id, s] : streams_)
        if (!s.fifo.empty()) return true;
    return false;
}

bool CPlayThread::NarrowOut(std::uint32_t nowMs) {
    std::vector<unsigned char> piece;
    {
        std::lock_guard<std::mutex> g(lock_);
        if (narrowQueue_.Size() > 0 && muted_) narrowQueue_.Clear();  // room audio silenced
        if (narrowQueue_.Size() == 0 && voiceQueue_.Size() == 0) return false;
    }
    if (!remote_.EnsureOpen(nowMs)) {
        // No device: let what is due go, as a closed output takes it.
        std::lock_guard<std::mutex> g(lock_);
        narrowQueue_.Clear();
        voiceQueue_.Clear();
        return false;
    }
    std::size_t room = remote_.Writable() & ~std::size_t{1};
    if (room == 0) return true;
    {
        std::lock_guard<std::mutex> g(lock_);
        // Narrowband voice first; a voice message only when it is done.
        auto& q = narrowQueue_.Size() > 0 ? narrowQueue_ : voiceQueue_;
        const std::size_t n = std::min({room, q.Size(), std::size_t{16384}});
        const unsigned char* p = q.Peek(n);
        if (!p) return false;
        piece.assign(p, p + n);
        q.Consume(n);
    }
    remote_.Write(piece.data(), piece.size());
    std::lock_guard<std::mutex> g(lock_);
    return narrowQueue_.Size() > 0 || voiceQueue_.Size() > 0;
}

unsigned CPlayThread::Pump(std::uint32_t nowMs) {
    std::vector<std::uint32_t> stamps;
    bool waiting = false;
    {
        std::lock_guard<std::mutex> g(lock_);
        ReleaseDue(nowMs, stamps);
        for (const auto& [id, s] : streams_)
            if (s.jitter.QueuedFrames() > 0) waiting = true;
    }
    const bool wideLeft = MixOut(nowMs, stamps);
    // Muted or not, the video clock follows the anchor's voice.
    if (IVcastVideo* v = video_.load())
        for (std::uint32_t stamp : stamps) v->SignStamp(stamp);
    const bool narrowLeft = NarrowOut(nowMs);
    return (waiting || wideLeft || narrowLeft) ? kBusyWaitMs : kIdleWaitMs;
}

CPlayThread::Counters CPlayThread::counters() const {
    std::lock_guard<std::mutex> g(lock_);
    Counters out = counters_;
    out.jitter = freedJitter_;
    for (const auto& [id, s] : streams_) {
        const auto& c = s.jitter.counts();
        out.jitter.played += c.played;
        out.jitter.late += c.late;
        out.jitter.duplicate += c.duplicate;
        out.jitter.overflow += c.overflow;
        out.jitter.stale += c.stale;
        out.jitter.restarts += c.restarts;
    }
    return out;
}

std::size_t CPlayThread::Speakers() const {
    std::lock_guard<std::mutex> g(lock_);
    return streams_.size();
}

std::size_t CPlayThread::QueuedBytes(int kind) const {
    std::lock_guard<std::mutex> g(lock_);
    if (kind == kNarrow) return narrowQueue_.Size();
    if (kind == kVoiceMessage) return voiceQueue_.Size();
    return 0;
}
