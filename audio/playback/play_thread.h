#pragma once
// The stage between the decoders and the speakers. Each speaker's voice
// waits in its own jitter buffer and is mixed with the others' (saturating,
// at the volume this listener chose for that user) as the output can take
// it, so two people talking at once are heard at once, not in turn.
// Narrowband voice and voice messages share the 8000 Hz output, narrowband
// first; voice messages play even while room audio is muted.
//
// Producers (the engine's worker, the capture thread for the monitor, the
// voice-message player) only append under `lock_` and wake the thread; the
// thread writes to the outputs outside it, when they can take data, and
// otherwise sleeps until one says it can or a frame falls due.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "audio/jitter_buffer.h"
#include "audio/playback/wave_out.h"
#include "core/byte_queue.h"
#include "core/clock.h"
#include "core/thread.h"

class CUserVolumes;
class CEchoReference;
class IVcastVideo;

class CPlayThread : public zn::c_thread {
public:
    enum Kind { kRecord = 1, kNarrow = 2, kVoiceMessage = 3 };
    static constexpr std::size_t kRecordBytes = 8200;  // stamp, length, 8192 bytes of PCM
    static constexpr std::size_t kRecordPcmBytes = 8192;
    static constexpr std::size_t kNarrowLimitBytes = 16000;  // one second at 8000 Hz
    static constexpr std::size_t kVoiceLimitBytes = 16000;
    static constexpr std::size_t kMaxSpeakers = 8;
    static constexpr std::uint32_t kIdleMs = 2000;
    // What a speaker may hold past its jitter buffer before the oldest goes.
    static constexpr std::size_t kFifoLimitSamples = 22050 / 5;
    static constexpr std::uint32_t kMonitorSpeaker = 0;  // my own voice, heard locally

    struct Counters {
        std::uint64_t refused[4] = {0, 0, 0, 0};  // by kind
        std::uint64_t speakersRefused = 0;
        std::uint64_t samplesPlayed = 0;   // wideband, mixed
        std::uint64_t samplesDropped = 0;  // past a speaker's limit
        std::uint64_t mutedSamples = 0;
        CJitterBuffer::Counts jitter;      // summed over speakers, freed ones included
    };

    // `localBufferMs`: the 22050 Hz device buffer (its latency). `clock`
    // times arrivals (tests drive their own); null is the system's.
    explicit CPlayThread(std::shared_ptr<wavedev::IWaveBackend> backend, int localBufferMs = 40,
                         IClock* clock = nullptr);
    ~CPlayThread() override;
    CPlayThread(const CPlayThread&) = delete;
    CPlayThread& operator=(const CPlayThread&) = delete;

    bool StartPlayback();
    void StopPlayback();

    // One speaker's decoded wideband voice with the sender's stamp.
    bool PushVoice(std::uint32_t speaker, std::uint32_t stamp, const std::int16_t* pcm,
                   std::size_t samples);
    // Kind 1: one stamped record (my own voice, played at once); kind 2:
    // narrowband PCM; kind 3: a voice message's PCM. False when refused.
    bool Push(const void* data, std::size_t length, int kind);
    bool PushRecord(std::uint32_t stamp, const void* pcm, std::size_t length);
    void Clear(int kind);
    void SetMuted(bool muted);
    bool VoiceQueueEmpty();

    // Both outputs, at their next open.
    void SetDevice(int index);
    // The room left: the outputs close (they open again on the next voice).
    void CloseOutputs();
    // Whose stamps the video clock follows.
    void SetAnchor(std::uint32_t speaker) { anchor_ = speaker; }
    void SetVideo(IVcastVideo* video) { video_ = video; }
    void SetVolumes(const CUserVolumes* volumes);
    // What was played goes here too, for the echo canceller.
    void SetEchoReference(CEchoReference* reference);

    // One pass of the loop on the caller's thread (tests); the wait it
    // would do next, in ms.
    unsigned Pump(std::uint32_t nowMs);
    Counters counters() const;
    std::size_t Speakers() const;
    // Bytes waiting in the narrowband or voice-message queue.
    std::size_t QueuedBytes(int kind) const;

protected:
    void Run() override;

private:
    struct Stream {
        CJitterBuffer jitter;
        std::deque<std::int16_t> fifo;  // due, waiting for the output
        std::uint32_t lastPushMs = 0;
    };
    void ReleaseDue(std::uint32_t nowMs, std::vector<std::uint32_t>& stamps);  // lock_ held
    bool MixOut(std::uint32_t nowMs, std::vector<std::uint32_t>& stamps);
    bool NarrowOut(std::uint32_t nowMs);
    void AddJitterCounts(const CJitterBuffer::Counts& c);  // lock_ held

    CSystemClock systemClock_;
    IClock& clock_;
    CWaveOut local_;
    CWaveOut remote_;
    zn::c_event wake_;
    std::atomic<std::uint32_t> anchor_{0};
    std::atomic<IVcastVideo*> video_{nullptr};
    std::atomic<const CUserVolumes*> volumes_{nullptr};
    std::atomic<CEchoReference*> echo_{nullptr};

    mutable std::mutex lock_;  // everything below
    std::map<std::uint32_t, Stream> streams_;
    c_byte_queue<16384> narrowQueue_;
    c_byte_queue<16384> voiceQueue_;
    bool muted_ = false;
    Counters counters_;
    CJitterBuffer::Counts freedJitter_;
};
