#pragma once
// Anchor clock-in and sign-in on the check-in port:
//   POST /userclockin?kampoId=U&roomId=R&nickname=N
//   POST /usersignin?kampoId=U&roomId=R&nickname=N
// Both need the caller's token (X-Zeri-User + Authorization: Bearer), U the
// token's own user, R an existing room where that user is an anchor (role 7).
// The nickname recorded is the account's: the query's is accepted (any
// percent-encoded text) and not used. Answers are sealed service answers:
// one item with result 0, or the reason in tag 209. The cycle rules are in
// checkin_cycle.h; docs/server.md has the whole exchange.

#include "core/clock.h"
#include "server/database.h"
#include "server/http/http_server.h"

namespace server {

class CCheckinService {
public:
    CCheckinService(CServerDb& db, IClock& clock) : db_(db), clock_(clock) {}
    CCheckinService(const CCheckinService&) = delete;
    CCheckinService& operator=(const CCheckinService&) = delete;

    void Mount(CHttpServer& http);

private:
    void Check(const HttpRequest& req, HttpResponse& res, CheckinKind kind);

    CServerDb& db_;
    IClock& clock_;
};

}  // namespace server
