#pragma once
// The process-wide context: the room window's handle, the signed-in user, the
// two speaking-user slots and the audio/video connection. Connection threads
// reach the room window only through it.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <shared_mutex>

#include "core/clock.h"
#include "core/message.h"
#include "core/singleton.h"

class IAVProxy;

// Where decoded media goes; the audio engine and the video wrapper register
// themselves. Called on connection threads: implementations lock for themselves.
class IAudioPacketSink {
public:
    virtual ~IAudioPacketSink() = default;
    // kind 1 = AAC, 0 = AMR; the speaker whose voice it is (streams are
    // decoded per speaker); stamp from the packet.
    virtual void OnAudioPacket(int kind, std::uint32_t speaker, std::uint32_t stamp,
                               const unsigned char* bytes, std::size_t length) = 0;
};

struct VideoFrameHeader {
    std::uint8_t f0 = 0, f1 = 0, f2 = 0, f3 = 0, f4 = 0;
    std::uint32_t extra = 0;  // the value that travels beside the header word
    std::uint32_t source = 0;
};

class IVideoFrameSink {
public:
    virtual ~IVideoFrameSink() = default;
    virtual void PlayFrame(const VideoFrameHeader& header, const unsigned char* bytes,
                           std::size_t length) = 0;
};

class AppContext : public c_leaky_singleton<AppContext> {
    friend class c_leaky_singleton<AppContext>;

public:
    HWND GetHwnd() const { return hwnd_.load(); }
    void SetHwnd(HWND h) { hwnd_ = h; }
    void* GetRoom() const { return room_.load(); }
    void SetRoom(void* room) { room_ = room; }
    std::uint32_t GetUserId() const { return userId_.load(); }
    void SetUserId(std::uint32_t id) { userId_ = id; }
    std::uint32_t GetVipLevel() const { return vipLevel_.load(); }
    void SetVipLevel(std::uint32_t v) { vipLevel_ = v; }
    std::uint32_t GetMediaState();
    void SetMediaState(std::uint32_t s);
    IAVProxy* GetAVProxy() const { return avProxy_.load(); }
    void SetAVProxy(IAVProxy* p) { avProxy_ = p; }

    // Speaker bookkeeping (UM_SPEAKER_STATE to the room window).
    // Voice packets name up to two speakers; 0xFFFFFFFF counts as none.
    void updateSpeakers(std::uint32_t a, std::uint32_t b);
    // Clears both slots when no voice packet came for more than two seconds.
    void expireSpeakers();
    // Stores the slots without announcing anything (the mic queue list).
    void setSpeakers(std::uint32_t a, std::uint32_t b);
    void GetSpeakers(std::uint32_t& a, std::uint32_t& b);

    // Media entry points of the sinks. Without a registered engine the data is
    // counted and dropped.
    // Registers the audio engine, or none; returns only when no call to the
    // previous one is still running, so that engine may then be destroyed.
    void SetAudioSink(IAudioPacketSink* s);
    // The same for the video sink.
    void SetVideoSink(IVideoFrameSink* s);
    void OnAudioPacket(int kind, std::uint32_t speaker, std::uint32_t stamp,
                       const unsigned char* bytes, std::size_t length);
    void PlayFrame(const VideoFrameHeader& h, const unsigned char* bytes, std::size_t length);
    std::uint64_t UnplayedAudio() const { return unplayedAudio_; }
    std::uint64_t UnplayedVideo() const { return unplayedVideo_; }

    // Tests use a manual clock; nullptr restores the system clock.
    void SetClock(IClock* clock);
    // Back to the state at construction (tests).
    void Reset();

private:
    AppContext() = default;
    std::uint32_t Tick();

    std::atomic<HWND> hwnd_{0};
    std::atomic<void*> room_{nullptr};
    std::atomic<std::uint32_t> userId_{0};
    std::atomic<std::uint32_t> vipLevel_{0};
    std::atomic<IAVProxy*> avProxy_{nullptr};
    std::shared_mutex audioSinkLock_;  // held shared by each call into the sink
    IAudioPacketSink* audioSink_ = nullptr;
    std::shared_mutex videoSinkLock_;  // held shared by each call into the sink
    IVideoFrameSink* videoSink_ = nullptr;
    std::atomic<std::uint64_t> unplayedAudio_{0};
    std::atomic<std::uint64_t> unplayedVideo_{0};

    std::mutex lock_;  // the speaker slots, the tick and mediaState
    std::uint32_t speaker_[2] = {0, 0};
    std::uint32_t mediaState_ = 0;
    std::uint32_t lastSpeakerTick_ = 0;
    IClock* clock_ = nullptr;
};
