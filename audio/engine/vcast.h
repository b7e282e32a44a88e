#pragma once
// The audio engine's worker: microphone (or loopback) PCM in 2048-byte
// blocks → one AAC frame each → the room's send callback; received voice
// packets → the speaker's decoder → the playback thread. Producers only
// append to bounded queues and wake the worker, so neither the capture
// thread nor a connection thread ever waits for a codec.
//
// Locks (never taken in the other order): loopback → capture; the packet
// lock stands alone. The send callback runs on the worker under the
// capture lock and must not call back into the capture path.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "audio/engine/speaker_decoders.h"
#include "audio/engine/vcast_video.h"
#include "core/app_context.h"
#include "core/byte_queue.h"
#include "core/thread.h"

class CPlayThread;
struct sonic_eaac_t;
struct sonic_convert_t;
struct tapout_t;

// callback(kind, data, length, tick, context); the engine passes kind 1224.
using VcastSendCallback = void (*)(std::uint32_t kind, const void* data, std::uint32_t length,
                                   std::uint32_t tick, void* context);

class CVcast : public zn::c_thread, public IAudioPacketSink {
public:
    static constexpr std::size_t kBlockBytes = 2048;  // 1024 samples, one AAC frame
    static constexpr std::uint32_t kSendKind = 1224;
    // About a second of microphone PCM; older blocks go first past it.
    static constexpr std::size_t kCaptureLimitBytes = 44100;
    // About a second of packets per speaker.
    static constexpr std::size_t kPacketsPerSpeaker = 24;

    struct Counters {
        std::uint64_t blocksEncoded = 0;
        std::uint64_t framesSent = 0;
        std::uint64_t captureDropped = 0;  // bytes, the oldest, past the limit
        std::uint64_t packetsQueued = 0;
        std::uint64_t packetsDropped = 0;  // the speaker's oldest, past the limit
        std::uint64_t packetsOversize = 0;
        std::uint64_t loopbackDropped = 0;
        CSpeakerDecoders::Counts decode;
    };

    explicit CVcast(CPlayThread& play);
    ~CVcast() override;
    CVcast(const CVcast&) = delete;
    CVcast& operator=(const CVcast&) = delete;

    void SetSendCallback(VcastSendCallback callback, void* context);
    void SetVideo(IVcastVideo* video);

    // Starts and stops the worker; Stop waits for it.
    bool StartEngine();
    void StopEngine();

    // Microphone blocks (capture thread).
    void OnMicPcm(const void* data, std::size_t length);
    // Voice from the media connection (its thread).
    void OnAudioPacket(int kind, std::uint32_t speaker, std::uint32_t stamp,
                       const unsigned char* bytes, std::size_t length) override;
    // Leaving, reloading or a new anchor: every queue, decoder and buffer.
    void Reset();

    // What the computer plays, sent in the microphone's place (the
    // microphone is then only heard locally).
    bool OpenLoopback();
    void CloseLoopback();
    bool LoopbackOn() const { return loopbackOn_.load(); }
    // Chunk size of the loopback's conversion: 100 ms of its source audio.
    static std::size_t LoopbackBlock(int rate, int channels);

    // One pass of the worker's loop, on the caller's thread (tests, fuzzing).
    void Pump();
    Counters counters() const;

protected:
    void Run() override;

private:
    struct Packet {
        int kind;
        std::uint32_t speaker;
        std::uint32_t stamp;
        std::vector<unsigned char> bytes;
    };
    void LoopbackStep();
    void EncodeStep();
    void ReceiveStep();
    void Encode(const unsigned char* block);
    void AppendCapture(const void* data, std::size_t length);  // capture lock held
    static void OnLoopbackPcm(const void* data, int length, void* context);
    void ReleaseLoopback();  // loopback lock held

    CPlayThread& play_;
    zn::c_event wake_;
    std::atomic<IVcastVideo*> video_{nullptr};

    mutable std::mutex captureLock_;
    c_byte_queue<16384> captureQueue_;
    sonic_eaac_t* encoder_ = nullptr;
    VcastSendCallback sendCallback_ = nullptr;
    void* sendContext_ = nullptr;

    mutable std::mutex packetLock_;
    std::deque<Packet> packets_;
    std::map<std::uint32_t, std::size_t> queuedBySpeaker_;

    mutable std::mutex decodeLock_;  // the worker, or Pump on a test's thread
    CSpeakerDecoders decoders_;

    mutable std::mutex loopbackLock_;
    c_byte_queue<16384> loopbackQueue_;
    tapout_t* loopbackHandle_ = nullptr;
    sonic_convert_t* loopbackConverter_ = nullptr;
    std::size_t loopbackBlock_ = kBlockBytes;
    std::atomic<bool> loopbackOn_{false};

    mutable std::mutex countLock_;
    Counters counters_;
};
