#include "web/http_down.h"

#include <algorithm>

#include "web/download_writer.h"

namespace web {
namespace {

std::atomic<std::chrono::milliseconds::rep> gWaitMs{300 * 1000};
std::atomic<std::chrono::milliseconds::rep> gGraceMs{20 * 1000};

}  // namespace

void DownloadCancel::Cancel() {
    std::lock_guard<std::mutex> g(lock_);
    cancelled_ = true;
    for (zn::c_event* w : waiters_) w->Set();
}

void DownloadCancel::Reset() { cancelled_ = false; }

void DownloadCancel::Attach(zn::c_event* waiter) {
    std::lock_guard<std::mutex> g(lock_);
    waiters_.push_back(waiter);
    if (cancelled_) waiter->Set();
}

void DownloadCancel::Detach(zn::c_event* waiter) {
    std::lock_guard<std::mutex> g(lock_);
    waiters_.erase(std::remove(waiters_.begin(), waiters_.end(), waiter), waiters_.end());
}

void http_down::SetWaitTimes(std::chrono::milliseconds wait, std::chrono::milliseconds grace) {
    gWaitMs = wait.count();
    gGraceMs = grace.count();
}

int http_down::Fetch(const std::string& url, const std::string& path, down_sink* sink,
                     DownloadCancel* cancel) {
    if (cancel && cancel->Cancelled()) return 0;
    auto* down = new http_down(path, sink);
    if (!down->Start(url)) {
        delete down;
        return 0;
    }
    if (sink) return 1;  // it deletes itself after telling the sink
    if (!down->Wait(cancel)) return 0;  // it is no longer ours to read or delete
    const int saved = down->result_.load() == 0 ? 1 : 0;
    delete down;
    return saved;
}

bool http_down::Start(const std::string& url) {
    // Held across the start so that an early on_released cannot pass the
    // pointer being stored.
    std::lock_guard<std::mutex> g(lock_);
    http_base* request = http_get(this, url, kFileBodyLimit);
    if (!request) return false;
    if (!released_) request_ = request;
    return true;
}

bool http_down::WaitReleased(std::chrono::steady_clock::time_point until, DownloadCancel* cancel) {
    for (;;) {
        {
            std::lock_guard<std::mutex> g(lock_);
            if (released_) return true;
        }
        if (cancel && cancel->Cancelled()) return false;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            until - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        event_.WaitMs(static_cast<unsigned>(std::min<std::chrono::milliseconds::rep>(
            left.count() + 1, 24 * 3600 * 1000)));
    }
}

bool http_down::Wait(DownloadCancel* cancel) {
    using Clock = std::chrono::steady_clock;
    if (cancel) cancel->Attach(&event_);
    bool released = WaitReleased(Clock::now() + std::chrono::milliseconds(gWaitMs.load()), cancel);
    if (!released) {
        {
            std::lock_guard<std::mutex> g(lock_);
            if (request_) request_->abort();
        }
        // A cancelled caller leaves at once; a timed-out one grants the abort its grace.
        if (!(cancel && cancel->Cancelled()))
            released =
                WaitReleased(Clock::now() + std::chrono::milliseconds(gGraceMs.load()), nullptr);
    }
    if (cancel) cancel->Detach(&event_);
    std::lock_guard<std::mutex> g(lock_);
    if (released_) return true;
    abandoned_ = true;
    int pending = -1;
    result_.compare_exchange_strong(pending, 1);  // a late body is no longer saved
    return false;
}

void http_down::on_fail(int, http_base*) { result_ = 1; }

void http_down::on_body(std::uint32_t contentLength, ByteQueue& body, bool complete) {
    if (!complete || result_.load() != -1) return;
    // A file that cannot be made or renamed is a failed download.
    result_ = SaveBody(body, contentLength, path_) ? 0 : 1;
}

void http_down::on_closed() {
    int pending = -1;
    result_.compare_exchange_strong(pending, 1);
}

void http_down::on_released() {
    std::unique_lock<std::mutex> g(lock_);  // Start may still be storing the request
    released_ = true;
    request_ = nullptr;
    if (sink_ || abandoned_) {
        g.unlock();
        if (sink_ && result_.load() == 0)
            sink_->on_down_ok();
        else if (sink_)
            sink_->on_down_fail();
        delete this;
        return;
    }
    event_.Set();
}

}  // namespace web
