#pragma once
// The account service's JSON answers as the library reads them, and the
// request bodies it writes: shared by the session's calls and its purchases.
// Internal to the library.

#include <cjson/cJSON.h>

#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>

#include "platform/patron/patron_records.h"
#include "platform/patron/patron_session.h"

namespace patron {

struct JsonFree {
    void operator()(cJSON* p) const { cJSON_Delete(p); }
};
using JsonPtr = std::unique_ptr<cJSON, JsonFree>;

inline const cJSON* Member(const cJSON* o, const char* name) {
    return cJSON_IsObject(o) ? cJSON_GetObjectItem(o, name) : nullptr;
}

inline std::int64_t Int(const cJSON* o, const char* name) {
    const cJSON* m = Member(o, name);
    if (!cJSON_IsNumber(m) || !std::isfinite(m->valuedouble)) return 0;
    const double d = m->valuedouble;
    if (d >= 9.2e18) return INT64_MAX;
    if (d <= -9.2e18) return INT64_MIN;
    return static_cast<std::int64_t>(d);
}

inline std::uint32_t U32(const cJSON* o, const char* name) {
    const std::int64_t v = Int(o, name);
    return v < 0 ? 0 : v > 0xFFFFFFFFll ? 0xFFFFFFFFu : static_cast<std::uint32_t>(v);
}

inline std::string Str(const cJSON* o, const char* name) {
    const cJSON* m = Member(o, name);
    return cJSON_IsString(m) && m->valuestring ? std::string(m->valuestring) : std::string();
}

template <std::size_t N>
void Put(char (&field)[N], const std::string& text) {
    PatronCopyText(field, text.data(), text.size());
}

inline std::string Body(std::initializer_list<std::pair<const char*, std::int64_t>> numbers,
                        std::initializer_list<std::pair<const char*, std::string>> texts = {}) {
    JsonPtr o(cJSON_CreateObject());
    for (auto& [k, v] : numbers) cJSON_AddNumberToObject(o.get(), k, static_cast<double>(v));
    for (auto& [k, v] : texts) cJSON_AddStringToObject(o.get(), k, v.c_str());
    char* text = cJSON_PrintUnformatted(o.get());
    std::string s = text ? text : "{}";
    cJSON_free(text);
    return s;
}

struct CSession::Reply {
    bool reached = false;  // an HTTP answer came
    int status = 0;
    JsonPtr root;
    int code = -1;
    std::string error;
    bool ok() const { return reached && status == 200 && code == 0 && root; }
};

}  // namespace patron
