#pragma once
// The account service: HTTP with JSON bodies (docs/account-api.md). Sign-in
// checks the password against the users table and issues the token the room
// relay checks; every other call needs that token. Answers are read from
// the users table (CServerDb) and the account tables (CAccountStore).
//
// It runs its own listening thread and cpp-httplib's worker pool; Stop()
// waits for both. Other services on the same port add their routes through
// http() before Start().

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "core/clock.h"
#include "server/account_store.h"
#include "server/database.h"

namespace httplib {
class Server;
}

namespace server {

inline constexpr std::uint16_t kAccountPort = 8080;

// Error codes of the answers ("code"; 0 = success).
namespace account_error {
inline constexpr int bad_request = 1001;
inline constexpr int wrong_password = 1002;
inline constexpr int bad_token = 1003;
inline constexpr int no_user = 1004;
inline constexpr int too_many_attempts = 1005;
inline constexpr int internal = 1006;
}  // namespace account_error

struct AccountOptions {
    std::string listen = "0.0.0.0";
    std::uint16_t port = kAccountPort;  // 0 = any free port (tests)
    std::int64_t tokenSeconds = 7 * 86400;
    // Wrong passwords for one user name within the window before sign-in
    // is refused for the rest of it.
    unsigned maxFailures = 5;
    std::int64_t failureWindowSeconds = 300;
};

class CAccountService {
public:
    CAccountService(CServerDb& db, CAccountStore& store, IClock& clock, AccountOptions options);
    ~CAccountService();
    CAccountService(const CAccountService&) = delete;
    CAccountService& operator=(const CAccountService&) = delete;

    httplib::Server& http() { return *http_; }

    // Binds and starts serving. False with a reason (port taken…).
    bool Start(std::string& error);
    // Idempotent; waits for the requests in flight.
    void Stop();
    std::uint16_t port() const { return port_; }

private:
    void Routes();
    // False when the user name is locked out now.
    bool MayTry(const std::string& name, std::int64_t now);
    void CountFailure(const std::string& name, std::int64_t now);

    CServerDb& db_;
    CAccountStore& store_;
    IClock& clock_;
    AccountOptions options_;
    std::unique_ptr<httplib::Server> http_;
    std::thread thread_;
    std::atomic<bool> listenDone_{true};
    std::uint16_t port_ = 0;

    struct Failures {
        unsigned count = 0;
        std::int64_t since = 0;
    };
    std::mutex failLock_;
    std::map<std::string, Failures> failures_;
};

}  // namespace server
