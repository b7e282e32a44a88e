#pragma once
// The answers of the check-in port: TLV service answers (net/service_answer.h),
// sealed for the routes that encrypt. A refusal the user should read is a
// 200 with the reason in tag 209: the client shows that text, while a
// failed HTTP status would reach it as a bare failure.

#include <cstdint>
#include <string>
#include <string_view>

#include "core/log.h"
#include "core/clock.h"
#include "net/json.h"
#include "net/service_answer.h"
#include "server/account_service.h"
#include "server/database.h"
#include "server/http/http_message.h"

namespace server::service_reply {

inline constexpr const char* kType = "application/octet-stream";

inline void Send(HttpResponse& res, const msg::ServiceAnswer& answer, bool encrypt,
                 int status = 200) {
    std::string bytes = msg::EncodeServiceAnswer(answer, encrypt);
    // Only sealing fails (a plain answer with nothing in it is empty).
    if (encrypt && bytes.empty()) {
        log_err("check-in: cannot seal an answer");
        res.status = 500;
        res.SetContent(std::string(), kType);
        return;
    }
    res.status = status;
    res.SetHeader("Cache-Control", "no-store");
    res.SetContent(std::move(bytes), kType);
}

inline void Refuse(HttpResponse& res, const std::string& why, bool encrypt, int status = 200) {
    msg::ServiceAnswer a;
    a.error = why;
    Send(res, a, encrypt, status);
}

// One item: tag 2 (a result or an id) and tag 4 (a name or URL).
inline msg::ServiceItem Item(std::uint32_t result, std::string text = {}) {
    msg::ServiceItem it;
    it.hasResult = true;
    it.result = result;
    it.text = std::move(text);
    return it;
}

// The caller whose token the request carries; 0 with the refusal written
// (the account service's words for why).
inline std::uint32_t Caller(CServerDb& db, IClock& clock, const HttpRequest& req,
                            HttpResponse& res, bool encrypt) {
    HttpResponse refused;
    const std::uint32_t user = AuthorisedUser(db, clock, req, refused);
    if (user) return user;
    const std::string why = json::value::parse(refused.body).get_string("error");
    Refuse(res, why.empty() ? "登录已失效，请重新登录" : why, encrypt);
    return 0;
}

// A positive 32-bit id from a query value of decimal digits; 0 otherwise.
inline std::uint32_t QueryId(std::string_view text) {
    if (text.empty() || text.size() > 10) return 0;
    std::uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return 0;
        v = v * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return v <= 0xFFFFFFFFull ? static_cast<std::uint32_t>(v) : 0;
}

}  // namespace server::service_reply
