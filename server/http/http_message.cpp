#include "server/http/http_message.h"

#include <strings.h>

#include <algorithm>

namespace server {

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

}  // namespace

std::string RequestHostPort(const HttpRequest& req) {
    const std::string h = req.Header("Host");
    const bool plain = !h.empty() && h.size() <= 255 && std::all_of(h.begin(), h.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '.' || c == '-' || c == ':' || c == '[' || c == ']';
    });
    return plain ? h : "127.0.0.1:" + std::to_string(req.localPort);
}

bool PercentDecode(std::string_view in, std::string& out, bool plusIsBlank) {
    out.clear();
    out.reserve(in.size());
    for (std::size_t i = 0; i < in.size(); ++i) {
        const char c = in[i];
        if (c == '%') {
            if (i + 2 >= in.size()) return false;
            const int hi = HexValue(in[i + 1]), lo = HexValue(in[i + 2]);
            if (hi < 0 || lo < 0) return false;
            out += static_cast<char>(hi * 16 + lo);
            i += 2;
        } else if (c == '+' && plusIsBlank) {
            out += ' ';
        } else {
            out += c;
        }
    }
    return true;
}

std::string HttpRequest::Header(std::string_view name) const {
    for (const auto& [k, v] : headers)
        if (SameName(k, name)) return v;
    return {};
}

bool HttpRequest::HasHeader(std::string_view name) const {
    for (const auto& kv : headers)
        if (SameName(kv.first, name)) return true;
    return false;
}

std::string HttpRequest::Param(std::string_view name) const {
    for (const auto& [k, v] : params)
        if (k == name) return v;
    return {};
}

bool HttpRequest::ParseTarget() {
    params.clear();
    if (target.empty() || target.front() != '/') return false;
    const std::size_t q = target.find('?');
    const std::string_view rawPath = std::string_view(target).substr(0, q);
    if (!PercentDecode(rawPath, path, false)) return false;
    if (q == std::string::npos) return true;
    std::string_view query = std::string_view(target).substr(q + 1);
    while (!query.empty()) {
        const std::size_t amp = query.find('&');
        const std::string_view pair = query.substr(0, amp);
        query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
        if (pair.empty()) continue;
        const std::size_t eq = pair.find('=');
        std::string key, value;
        if (!PercentDecode(pair.substr(0, eq), key, true)) return false;
        if (eq != std::string_view::npos && !PercentDecode(pair.substr(eq + 1), value, true))
            return false;
        params.emplace_back(std::move(key), std::move(value));
    }
    return true;
}

}  // namespace server
