#pragma once
// The downloads of a catalogue sync, one file at a time on the sync's
// worker, with the bytes received so far for the progress display and a
// cancel that another thread may give at any moment: it aborts the request
// in flight, so a stop never waits for a slow server.
//
// A request reports until the connection library releases it, possibly
// after Fetch has given up on it (time-out, cancel): each request's state
// is kept alive by the request itself until then.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace catalogue {

class CFileFetch {
public:
    // Bytes received of the current file, and its announced length (0
    // while unknown).
    using ProgressFn = std::function<void(std::uint64_t bytes, std::uint64_t length)>;

    // Waits this long for one file, then aborts it.
    static constexpr unsigned kTimeoutSeconds = 300;
    // After an abort, how long the request may take to close.
    static constexpr unsigned kGraceSeconds = 20;
    // How often `progress` is offered the current figures while waiting.
    static constexpr unsigned kProgressMs = 100;

    CFileFetch() = default;
    ~CFileFetch();
    CFileFetch(const CFileFetch&) = delete;
    CFileFetch& operator=(const CFileFetch&) = delete;

    enum class Result {
        Saved,        // `path` holds the whole body (it takes its name only then)
        Failed,       // refused, cut, timed out or cancelled
        Unreachable,  // no connection to the server
    };
    // Worker thread.
    Result Fetch(const std::string& url, const std::string& path, const ProgressFn& progress = {});

    // Any thread: aborts the fetch in flight and refuses later ones until
    // Reset.
    void Cancel();
    bool Cancelled() const;
    void Reset();

    struct Job;  // one request's state, shared with the request

private:
    mutable std::mutex m_;
    bool cancelled_ = false;
    std::shared_ptr<Job> current_;
};

}  // namespace catalogue
