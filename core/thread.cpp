#include "core/thread.h"

#include <chrono>
#include <system_error>

namespace zn {

void c_event::Set() {
    {
        std::lock_guard<std::mutex> guard(m_);
        signalled_ = true;
    }
    cv_.notify_one();
}

bool c_event::Wait(unsigned seconds) { return WaitMs(seconds * 1000u); }

bool c_event::WaitMs(unsigned milliseconds) {
    std::unique_lock<std::mutex> lock(m_);
    if (!cv_.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return signalled_; }))
        return false;
    signalled_ = false;
    return true;
}

c_thread::~c_thread() {
    if (thread_.joinable()) {
        // A finished body is joined; a live one is let go, as a closed handle would be.
        if (finished.load(std::memory_order_acquire))
            thread_.join();
        else
            thread_.detach();
    }
}

int c_thread::Start() {
    running.store(true, std::memory_order_release);
    if (thread_.joinable()) {
        if (!finished.load(std::memory_order_acquire)) return -1;  // body still running
        thread_.join();
    }
    finished.store(false, std::memory_order_release);
    try {
        thread_ = std::thread(&c_thread::Entry, this);
    } catch (const std::system_error&) {
        finished.store(true, std::memory_order_release);
        return -1;
    }
    return 0;
}

void c_thread::Stop(bool wait, unsigned seconds) {
    running.store(false, std::memory_order_release);
    if (wait && !finished.load(std::memory_order_acquire)) done.Wait(seconds);
}

void c_thread::Run() {
    while (IsRunning()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

void c_thread::Entry(c_thread* self) {
    if (!self) return;
    self->Run();
    self->running.store(false, std::memory_order_release);
    self->finished.store(true, std::memory_order_release);
    self->done.Set();
}

}  // namespace zn
