#pragma once
// Slows down whoever keeps failing a secret check (passwords, the admin
// secret). Each key (an account with the caller's address, or an address)
// has a few free failures; after them every further attempt must wait, one
// second doubling with each failure up to a ceiling. Attempts in flight are
// counted when they begin, under the lock, so parallel guesses cannot get
// more checks than sequential ones. Thread-safe.

#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>

namespace server {

class CFailureThrottle {
public:
    struct Policy {
        unsigned freeFailures = 5;
        std::int64_t firstDelaySeconds = 2;
        std::int64_t maxDelaySeconds = 300;
        // A key that has not failed for this long starts afresh.
        std::int64_t forgetSeconds = 900;
    };

    explicit CFailureThrottle(Policy policy);

    // Reserves one attempt for `key` at `now` (seconds). False when the key
    // must wait; `waitSeconds` then says how long.
    bool Begin(const std::string& key, std::int64_t now, std::int64_t* waitSeconds = nullptr);
    // Ends an attempt that Begin allowed: a failure counts, a success clears
    // the key's history.
    void End(const std::string& key, std::int64_t now, bool failed);

    std::size_t size();

    // Keys beyond this are pruned of the forgotten ones first.
    static constexpr std::size_t kPruneAbove = 4096;

private:
    struct Entry {
        unsigned failures = 0;
        unsigned inFlight = 0;
        std::int64_t lastFailure = 0;
        std::int64_t nextAllowed = 0;
    };

    const Policy policy_;
    std::mutex lock_;
    std::unordered_map<std::string, Entry> entries_;
};

}  // namespace server
