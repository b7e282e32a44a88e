#include "room/catalogue/file_fetch.h"

#include <chrono>
#include <condition_variable>

#include "web/download_writer.h"
#include "web/http_base.h"

namespace catalogue {

struct CFileFetch::Job : web::IHttp_base_Respond {
    std::mutex m;
    std::condition_variable cv;
    std::string path;
    int result = -1;  // -1 pending, 0 saved, 1 failed, 2 no connection
    bool released = false;
    std::uint64_t bytes = 0, length = 0;
    web::http_base* request = nullptr;  // valid until released
    std::shared_ptr<Job> self;          // the request's hold on this state

    void on_fail(int, web::http_base*) override { Finish(2); }
    void on_body(std::uint32_t contentLength, web::ByteQueue& body, bool complete) override {
        {
            std::lock_guard<std::mutex> lock(m);
            bytes = body.Size();
            length = contentLength;
        }
        if (!complete) return;
        Finish(web::SaveBody(body, contentLength, path) ? 0 : 1);
    }
    void on_closed() override { Finish(1); }
    void on_released() override {
        std::shared_ptr<Job> keep;
        {
            std::lock_guard<std::mutex> lock(m);
            if (result < 0) result = 1;
            released = true;
            request = nullptr;
            keep = std::move(self);
        }
        cv.notify_all();
        // `keep` lets go of this state here, once nobody waits on it.
    }
    // The first outcome stands (on_closed follows a saved body).
    void Finish(int outcome) {
        {
            std::lock_guard<std::mutex> lock(m);
            if (result < 0) result = outcome;
        }
        cv.notify_all();
    }
    void Abort() {
        std::lock_guard<std::mutex> lock(m);
        if (!released && request) request->abort();
    }
};

CFileFetch::~CFileFetch() { Cancel(); }

CFileFetch::Result CFileFetch::Fetch(const std::string& url, const std::string& path,
                                     const ProgressFn& progress) {
    auto job = std::make_shared<Job>();
    job->path = path;
    {
        std::lock_guard<std::mutex> lock(m_);
        if (cancelled_) return Result::Failed;
        current_ = job;
    }
    job->self = job;
    // No lock is held here: a library may report a failed start at once.
    web::http_base* request = web::http_get(job.get(), url, web::kFileBodyLimit);
    if (!request) {
        job->self.reset();
        std::lock_guard<std::mutex> lock(m_);
        current_.reset();
        return Result::Failed;
    }
    {
        std::lock_guard<std::mutex> lock(job->m);
        if (!job->released) job->request = request;
    }
    using clock = std::chrono::steady_clock;
    clock::time_point giveUp = clock::now() + std::chrono::seconds(kTimeoutSeconds);
    bool aborted = false;
    int result = 1;
    std::uint64_t finalLength = 0;
    for (;;) {
        std::uint64_t bytes = 0, length = 0;
        {
            std::unique_lock<std::mutex> lock(job->m);
            job->cv.wait_for(lock, std::chrono::milliseconds(kProgressMs),
                             [&] { return job->result >= 0; });
            if (job->result >= 0) {
                result = job->result;
                finalLength = job->length;
                break;
            }
            bytes = job->bytes;
            length = job->length;
        }
        if (progress) progress(bytes, length);
        if (aborted) {
            // The abort's close did not come in time: the request keeps the
            // state alive until it is released.
            if (clock::now() >= giveUp) break;
            continue;
        }
        if (Cancelled() || clock::now() >= giveUp) {
            aborted = true;
            giveUp = clock::now() + std::chrono::seconds(kGraceSeconds);
            job->Abort();
        }
    }
    {
        std::lock_guard<std::mutex> lock(m_);
        if (current_ == job) current_.reset();
    }
    if (result == 0 && progress) progress(finalLength, finalLength);
    if (result == 0) return Result::Saved;
    return result == 2 && !aborted ? Result::Unreachable : Result::Failed;
}

void CFileFetch::Cancel() {
    std::shared_ptr<Job> job;
    {
        std::lock_guard<std::mutex> lock(m_);
        cancelled_ = true;
        job = current_;
    }
    if (job) job->Abort();
}

bool CFileFetch::Cancelled() const {
    std::lock_guard<std::mutex> lock(m_);
    return cancelled_;
}

void CFileFetch::Reset() {
    std::lock_guard<std::mutex> lock(m_);
    cancelled_ = false;
}

}  // namespace catalogue
