#pragma once
// One output rate of the file backend, played like a device: from its first
// stream on, a pacing thread takes the streams' buffers in real time, in
// steps of about 10 ms, mixes them and writes the result to a WAV file (or
// nowhere), with silence where the streams ran dry. Sample k of the file was
// thus heard at start() + k/rate.
//
// Threads: the pacing thread (owned here, joined by Stop) consumes, writes
// the file and calls the writable callbacks, without the lock held. Callers'
// threads write. `lock_` guards the streams, their buffers and the timeline;
// the WAV writer and the echo tape belong to the pacing thread.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/byte_queue.h"
#include "platform/wavedev/echo_tape.h"
#include "platform/wavedev/playback_level.h"
#include "platform/wavedev/wav_file.h"
#include "platform/wavedev/wavedev.h"

namespace wavedev {

class CFileSpeaker : public std::enable_shared_from_this<CFileSpeaker> {
public:
    using Clock = std::chrono::steady_clock;

    // Made with make_shared. `path` empty: what is played goes nowhere. `tape` (may be null) hears
    // what is played. The file's channel count is the first stream's.
    CFileSpeaker(int rate, int channels, std::string path, std::shared_ptr<CEchoTape> tape,
                 std::shared_ptr<const CPlaybackLevel> level);
    ~CFileSpeaker();
    CFileSpeaker(const CFileSpeaker&) = delete;
    CFileSpeaker& operator=(const CFileSpeaker&) = delete;

    // Creates the file and starts the timeline; false with the reason.
    bool Start(std::string& error);
    // Plays what is due, closes the file and joins the thread. No callback
    // runs once it returns; streams still open then fail their writes.
    void Stop();

    std::unique_ptr<IWaveOutStream> Open(int channels, std::size_t bufferBytes,
                                         WritableCallback onWritable);
    int rate() const { return rate_; }
    Clock::time_point start() const { return start_; }

private:
    friend class CFileOutStream;
    struct Slot {
        int channels = 1;
        std::size_t capacity = 0;  // bytes
        WritableCallback onWritable;
        c_byte_queue<4096> queue;
        std::vector<std::int16_t> scratch;
        bool written = false;  // has been written to: running dry counts from then on
        // Frame of the timeline before which the queue's first frame is not
        // heard: set when a write finds the queue empty, so nothing is heard
        // before it was written.
        std::uint64_t earliest = 0;
        bool dry = false;
        bool notify = true;  // call the writable callback at the next step
        std::atomic<bool> closed{false};  // set under the lock, read by Notify without it
        int calls = 0;  // callbacks running now
        std::uint64_t underruns = 0;
    };

    void Run();
    // Plays everything due by `now`; called with the lock held, writes the
    // file without it.
    void PlayUntil(Clock::time_point now, std::unique_lock<std::mutex>& lock);
    void MixStep(std::size_t frames);
    void Notify(std::unique_lock<std::mutex>& lock);
    // The timeline's frame due at `t` (lock held).
    std::uint64_t FrameAt(Clock::time_point t) const;

    // For the streams (each takes the lock).
    std::size_t Writable(Slot& slot);
    long Write(Slot& slot, const void* data, std::size_t length);
    std::uint64_t QueuedUs(Slot& slot);
    void Close(Slot& slot);
    std::uint64_t Underruns(Slot& slot);

    const int rate_;
    const int channels_;
    const std::string path_;
    const std::shared_ptr<CEchoTape> tape_;
    const std::shared_ptr<const CPlaybackLevel> level_;

    std::mutex lock_;
    std::condition_variable wake_;     // the pacing thread: a stream came, or stop
    std::condition_variable callsDone_;  // Close: a slot's callbacks have returned
    std::vector<std::shared_ptr<Slot>> slots_;
    bool stopping_ = false;
    bool stopped_ = false;
    Clock::time_point start_{};
    std::uint64_t played_ = 0;  // frames heard since start_
    std::thread thread_;
    std::thread::id pacer_;  // thread_'s id, fixed before any stream exists

    // Pacing thread only.
    CWavWriter writer_;
    bool writeFailed_ = false;
    std::vector<std::int16_t> mix_;
    Clock::time_point headerAt_{};
};

}  // namespace wavedev
