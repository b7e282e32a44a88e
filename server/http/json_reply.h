#pragma once
// The JSON answers of the HTTP services: a body with its status, and the
// plain services' refusal {"code", "error"}.

#include "net/json.h"
#include "server/http/http_message.h"

namespace server::json_reply {

inline constexpr const char* kType = "application/json; charset=utf-8";

inline void Answer(HttpResponse& res, int status, const json::value& body) {
    res.status = status;
    res.SetContent(body.dump(), kType);
}

inline void Fail(HttpResponse& res, int status, int code, const char* text) {
    json::value v = json::value::object();
    v.set("code", static_cast<std::int64_t>(code));
    v.set("error", text);
    Answer(res, status, v);
}

}  // namespace server::json_reply
