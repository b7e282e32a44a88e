#include "web/http_request.h"

#include <string>
#include <vector>

namespace web {
namespace {

bool Clean(std::string_view s) {
    return s.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

// Collects lines; the first refused one spoils the whole request.
struct Lines {
    std::string text;
    bool ok = true;

    void Line(std::string_view line) {
        if (!Clean(line) || line.size() > kMaxLine) {
            ok = false;
            return;
        }
        text.append(line).append("\r\n");
    }
    void Header(std::string_view name, std::string_view value) {
        if (name.empty() || name.find(':') != std::string_view::npos || !Clean(name) ||
            !Clean(value)) {
            ok = false;
            return;
        }
        Line(std::string(name) + ": " + std::string(value));
    }
};

std::string HostValue(const HttpUrl& url) { return url.host + ":" + std::to_string(url.port); }

}  // namespace

std::vector<std::pair<std::string, std::string>> BraceBlockPairs(std::string_view path) {
    std::vector<std::pair<std::string, std::string>> pairs;
    const std::size_t open = path.find('{');
    const std::size_t close = path.rfind('}');
    if (open == std::string_view::npos || close == std::string_view::npos || close < open)
        return pairs;
    std::string_view block = path.substr(open + 1, close - open - 1);
    while (true) {
        const std::size_t amp = block.find('&');
        const std::string_view piece = block.substr(0, amp);
        const std::size_t eq = piece.find('=');
        if (eq == std::string_view::npos) break;
        pairs.emplace_back(std::string(piece.substr(0, eq)), std::string(piece.substr(eq + 1)));
        if (amp == std::string_view::npos) break;
        block = block.substr(amp + 1);
    }
    return pairs;
}

bool WritePost(const HttpUrl& url, const HeaderMap& extra, std::optional<std::string_view> body,
               ByteQueue& out) {
    Lines l;
    l.Line("POST " + url.path.substr(0, url.path.find('{')) + " HTTP/1.1");
    l.Header("Host", HostValue(url));
    l.Header("User-Agent", "Windows Anchor");
    l.Header("Content-Type", "application/octet-stream");
    if (body) l.Header("Content-Length", std::to_string(body->size()));
    // The token form: "keep alive" with a blank is no valid token list, and
    // a strict server refuses the whole request for it.
    l.Header("Connection", "keep-alive");
    for (const auto& [name, value] : extra) l.Header(name, value);
    for (const auto& [name, value] : BraceBlockPairs(url.path)) l.Header(name, value);
    l.Line("");
    if (!l.ok) return false;
    out.Append(l.text.data(), static_cast<long>(l.text.size()));
    if (body) out.Append(body->data(), static_cast<long>(body->size()));
    return true;
}

bool WriteGet(const HttpUrl& url, ByteQueue& out) {
    Lines l;
    l.Line("GET " + url.path + " HTTP/1.1");
    l.Header("Host", HostValue(url));
    l.Line("");
    if (!l.ok) return false;
    out.Append(l.text.data(), static_cast<long>(l.text.size()));
    return true;
}

}  // namespace web
