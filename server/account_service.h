#pragma once
// The account service: HTTP with JSON bodies (docs/account-api.md). Sign-in
// checks the password against the users table and issues the token the room
// relay checks; every other call needs that token. Answers are read from
// the users table (CServerDb) and the account tables (CAccountStore).
//
// Its routes are mounted on the server's HTTP port (server/http/), beside
// the room service's.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "core/clock.h"
#include "server/account_store.h"
#include "server/database.h"
#include "server/failure_throttle.h"
#include "server/http/http_server.h"

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
inline constexpr int no_room = 1008;  // the same number as the room service uses
}  // namespace account_error

struct AccountOptions {
    std::int64_t tokenSeconds = 7 * 86400;
    // How long a kept sign-in ("remember password") lasts.
    std::int64_t keepSeconds = 30 * 86400;
    // Wrong passwords for one account from one address before each further
    // attempt must wait (docs/account-api.md).
    CFailureThrottle::Policy perAccount{5, 2, 300, 900};
    // Wrong passwords from one address, whatever the account.
    CFailureThrottle::Policy perAddress{50, 2, 300, 900};
    // Told of every sign-out, so that the sessions opened with the token end.
    std::function<void(std::uint32_t user)> onSignOut;
};

class CAccountService {
public:
    CAccountService(CServerDb& db, CAccountStore& store, IClock& clock, AccountOptions options);
    CAccountService(const CAccountService&) = delete;
    CAccountService& operator=(const CAccountService&) = delete;

    // Adds the account routes; the object must outlive the serving.
    void Mount(CHttpServer& http);
    // The port that serves the wealth medals (/wealth/N.png), once it is
    // listening: the medal links of the answers name it.
    void SetMedalPort(std::uint16_t port) { medalPort_ = port; }

private:
    void Login(const HttpRequest& req, HttpResponse& res);
    void LoginKept(const HttpRequest& req, HttpResponse& res);
    void SignedIn(std::uint32_t id, std::int64_t now, bool keep, HttpResponse& res);

    CServerDb& db_;
    CAccountStore& store_;
    IClock& clock_;
    AccountOptions options_;
    CFailureThrottle accountFailures_;
    CFailureThrottle addressFailures_;
    std::atomic<std::uint16_t> medalPort_{5000};
};

// The user whose token the request carries (X-Zeri-User and
// "Authorization: Bearer"), or 0 with the 401 answer written.
std::uint32_t AuthorisedUser(CServerDb& db, IClock& clock, const HttpRequest& req,
                             HttpResponse& res);

}  // namespace server
