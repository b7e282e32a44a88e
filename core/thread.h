#pragma once
// Worker-thread base with a cooperative stop, and the auto-reset event that
// workers sleep on.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

namespace zn {

// Auto-reset event: Set wakes one waiter (or the next Wait) and resets.
class c_event {
public:
    c_event() = default;
    virtual ~c_event() = default;
    c_event(const c_event&) = delete;
    c_event& operator=(const c_event&) = delete;

    void Set();
    // True when signalled, false on timeout.
    bool Wait(unsigned seconds);
    bool WaitMs(unsigned milliseconds);

private:
    std::mutex m_;
    std::condition_variable cv_;
    bool signalled_ = false;
};

class c_thread {
public:
    c_thread() = default;
    // Does not stop or join a running body: owners stop their threads first.
    virtual ~c_thread();
    c_thread(const c_thread&) = delete;
    c_thread& operator=(const c_thread&) = delete;

    // 0 on success, -1 when the thread cannot be created (running stays set).
    int Start();
    // Clears running; with wait, waits at most `seconds` for the body to end.
    void Stop(bool wait, unsigned seconds);
    bool IsRunning() const { return running.load(std::memory_order_acquire); }
    bool IsFinished() const { return finished.load(std::memory_order_acquire); }

protected:
    // The body; loops test IsRunning(). The base version waits for Stop.
    virtual void Run();

    std::atomic<bool> running{false};
    std::atomic<bool> finished{true};
    c_event done;

private:
    static void Entry(c_thread* self);
    std::thread thread_;
    std::uint32_t threadId_ = 0;
};

}  // namespace zn
