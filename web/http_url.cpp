#include "web/http_url.h"

#include <algorithm>
#include <string>

#include "core/log.h"

namespace web {
namespace {

constexpr std::string_view kScheme = "http://";
constexpr std::size_t kMaxRest = 255;

bool Printable(std::string_view s) {
    for (unsigned char c : s)
        if (c <= 0x20 || c == 0x7f) return false;
    return true;
}

bool SplitHostPort(std::string_view hostPort, HttpUrl& out) {
    const std::size_t colon = hostPort.find(':');
    out.host = std::string(hostPort.substr(0, colon));
    out.port = 80;
    if (out.host.empty()) return false;
    if (colon == std::string_view::npos) return true;
    const std::string_view digits = hostPort.substr(colon + 1);
    if (digits.empty() || digits.size() > 5) return false;
    unsigned value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value == 0 || value > 65535) return false;
    out.port = static_cast<std::uint16_t>(value);
    return true;
}

}  // namespace

int ParseHttpUrl(std::string_view url, HttpUrl& out) {
    HttpUrl parsed;
    bool ok = url.substr(0, kScheme.size()) == kScheme && Printable(url);
    if (ok) {
        const std::string_view rest = url.substr(kScheme.size());
        const std::size_t slash = rest.find('/');
        ok = rest.size() <= kMaxRest && slash != std::string_view::npos &&
             SplitHostPort(rest.substr(0, slash), parsed);
        if (ok) parsed.path = std::string(rest.substr(slash));
    }
    if (!ok) {
        // Printed with %.*s: the URL may be long or hold anything.
        log_err("url: %.*s error!\r\n", static_cast<int>(std::min<std::size_t>(url.size(), 512)),
                url.data());
        return -1;
    }
    out = std::move(parsed);
    return 0;
}

}  // namespace web
