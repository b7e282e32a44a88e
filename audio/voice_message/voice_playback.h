#pragma once
// One voice message playing. Its own thread reads the file, decodes every
// whole frame to the end and feeds the PCM to the narrowband output while
// room audio is muted, then waits for the output to drain. Each playback
// has its own stop flag, so one stopped late can never act for the next,
// and only the playback that took the mute releases it.

#include <atomic>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "audio/voice_message/voice_player.h"

class CPlayThread;
struct sonic_damr_t;

namespace voice {

class CVoicePlayback {
public:
    // Hears how a playback ended by itself, once, on the playback's thread;
    // never after Stop.
    using EndFn = std::function<void(VoicePlayEnd)>;

    // `decoder` is shared by the playbacks of one player, one at a time.
    CVoicePlayback(CPlayThread& output, sonic_damr_t* decoder, std::string path,
                   std::size_t maxFileBytes, EndFn onEnd);
    ~CVoicePlayback();
    CVoicePlayback(const CVoicePlayback&) = delete;
    CVoicePlayback& operator=(const CVoicePlayback&) = delete;

    // False when the thread cannot be made.
    bool Start();
    // Ends the playback at once: nothing of it is pushed after the stop flag
    // is set, what it queued is dropped, its thread is joined.
    void Stop();

private:
    void Run();
    VoicePlayEnd Play();
    // Pushes one piece, retrying every 1 ms while the queue refuses it;
    // false once stopped.
    bool Push(const unsigned char* pcm, int length);
    bool Stopped() const { return stop_.load(std::memory_order_acquire); }
    void Fail(const char* why);

    CPlayThread& output_;
    sonic_damr_t* const decoder_;
    const std::string path_;
    const std::size_t maxFileBytes_;
    EndFn onEnd_;
    std::mutex pushLock_;  // a push against the stop: after Stop nothing more goes in
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace voice
