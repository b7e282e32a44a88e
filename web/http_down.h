#pragma once
// One download into a file: an IHttp_base_Respond that saves a complete
// body whole (temporary file, then rename) and reports success only when
// the file took its name. Synchronous, waiting on its caller's thread, or
// finished through a down_sink on the connection library's thread.
//
// A synchronous wait that runs out aborts the request and returns; the
// request may still call the http_down after that, so it then frees itself
// when on_released finally comes instead of being deleted by its caller.

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "core/thread.h"
#include "web/http_base.h"
#include "web/http_public.h"

namespace web {

// Trips waiting downloads from another thread: each aborts its request and
// returns 0 at once, and downloads begun after the trip do not start. Stays
// tripped until Reset. Must outlive every download given it.
class DownloadCancel {
public:
    void Cancel();
    void Reset();
    bool Cancelled() const { return cancelled_.load(); }

private:
    friend class http_down;
    void Attach(zn::c_event* waiter);
    void Detach(zn::c_event* waiter);

    std::atomic<bool> cancelled_{false};
    std::mutex lock_;  // guards waiters_
    std::vector<zn::c_event*> waiters_;
};

class http_down : public IHttp_base_Respond {
public:
    // Starts `url` into `path`. Without a sink: waits (see SetWaitTimes),
    // returns 1 when the file was saved whole, else 0. With a sink: 1 when
    // started (the sink then hears exactly once), 0 when not.
    static int Fetch(const std::string& url, const std::string& path, down_sink* sink,
                     DownloadCancel* cancel);

    // Test hook: the synchronous wait (300 s) and the grace after its abort (20 s).
    static void SetWaitTimes(std::chrono::milliseconds wait, std::chrono::milliseconds grace);

    void on_fail(int error, http_base* request) override;
    void on_body(std::uint32_t contentLength, ByteQueue& body, bool complete) override;
    void on_closed() override;
    void on_released() override;

private:
    http_down(std::string path, down_sink* sink) : path_(std::move(path)), sink_(sink) {}
    ~http_down() override = default;
    bool Start(const std::string& url);
    // True when the caller deletes this afterwards; false once it frees itself.
    bool Wait(DownloadCancel* cancel);
    bool WaitReleased(std::chrono::steady_clock::time_point until, DownloadCancel* cancel);

    const std::string path_;
    down_sink* const sink_;
    std::atomic<int> result_{-1};  // -1 pending, 0 saved, 1 failed
    zn::c_event event_;            // set by on_released (and by a cancel)
    std::mutex lock_;              // guards request_, released_, abandoned_
    http_base* request_ = nullptr;
    bool released_ = false;
    bool abandoned_ = false;  // the waiter left: on_released deletes
};

}  // namespace web
