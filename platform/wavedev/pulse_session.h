#pragma once
// One connection to a PulseAudio server on its own threaded mainloop, with
// bounded waits: a server that never answers costs seconds, not a hang.
//
// Threads: the mainloop thread runs every pulse callback. Every pulse object
// of the session (context, streams, operations) is touched only with the
// mainloop lock held (CPulseLock) or on that thread, where it is held already.

#include <pulse/pulseaudio.h>

#include <functional>
#include <memory>
#include <string>

namespace wavedev {

class CPulseSession {
public:
    // Connects within `timeoutMs`. Null when no server answers, with the
    // reason in `error` and the Result code in `result`.
    static std::shared_ptr<CPulseSession> Connect(const std::string& server, const char* clientName,
                                                  int timeoutMs, std::string& error, int& result);
    ~CPulseSession();
    CPulseSession(const CPulseSession&) = delete;
    CPulseSession& operator=(const CPulseSession&) = delete;

    pa_context* context() const { return context_; }
    pa_threaded_mainloop* loop() const { return loop_; }
    bool InLoopThread() const;
    bool Alive() const;  // lock held

    // Lock held, off the loop thread: waits until `done()` holds, the
    // context fails or `timeoutMs` passes; true when done() held.
    bool WaitFor(const std::function<bool()>& done, int timeoutMs = kOperationMs);
    // Waits for `op` likewise, cancels it when unfinished (its callback then
    // never runs) and unrefs it. Null `op` is a failure.
    bool Wait(pa_operation* op, int timeoutMs = kOperationMs);

    // The context's last error as a Result code.
    int LastResult() const;
    std::string LastError() const;

    // From callbacks on the loop thread: wakes the waiters.
    void Signal() { pa_threaded_mainloop_signal(loop_, 0); }

    static constexpr int kOperationMs = 5000;

private:
    CPulseSession() = default;
    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
};

// Holds the mainloop lock for a scope, except on the loop thread itself.
class CPulseLock {
public:
    explicit CPulseLock(const CPulseSession& s)
        : loop_(s.InLoopThread() ? nullptr : s.loop()) {
        if (loop_) pa_threaded_mainloop_lock(loop_);
    }
    ~CPulseLock() {
        if (loop_) pa_threaded_mainloop_unlock(loop_);
    }
    CPulseLock(const CPulseLock&) = delete;
    CPulseLock& operator=(const CPulseLock&) = delete;

private:
    pa_threaded_mainloop* loop_;
};

// A pulse error number as a Result code.
int ResultOfPulseError(int error);

// Volume percent (0…100) and pulse volume: rounded both ways so that a
// percent set is the percent read back.
pa_volume_t PulseVolumeOfPercent(int percent);
int PercentOfPulseVolume(pa_volume_t volume);

}  // namespace wavedev
