#pragma once
// The URLs the HTTP client accepts: "http://host[:port]/path", at most 255
// characters after the scheme. No blanks or control characters anywhere, so
// a URL taken from a service answer cannot add lines to a request.

#include <cstdint>
#include <string>
#include <string_view>

namespace web {

struct HttpUrl {
    std::string host;
    std::uint16_t port = 80;
    std::string path;  // starts with "/"; may carry a "{name=value&...}" block
};

// 0 and `out` filled, or -1 after logging "url: <url> error!".
int ParseHttpUrl(std::string_view url, HttpUrl& out);

}  // namespace web
