#pragma once
// A request as the services' handlers see it, and the answer they fill in.
// Plain data with no networking in it: the HTTP server (http_server.h)
// parses into it and writes from it, and the fuzzers feed handlers with it
// directly.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace server {

struct HttpRequest {
    std::string method;  // "GET", "POST", …
    std::string target;  // as sent: path and query
    std::string path;    // the target up to '?', percent-decoded
    std::vector<std::pair<std::string, std::string>> params;   // query, decoded
    std::vector<std::pair<std::string, std::string>> headers;  // names as sent
    std::string body;
    std::string remoteAddress;  // the peer's IP address as text
    std::uint16_t localPort = 0;

    // The first header of that name (any case); empty when absent.
    std::string Header(std::string_view name) const;
    bool HasHeader(std::string_view name) const;
    // The first query parameter of that name; empty when absent.
    std::string Param(std::string_view name) const;

    // Splits `target` into path and params. False for a target that is not
    // an origin form ("/…") or whose escapes are malformed.
    bool ParseTarget();
};

struct HttpResponse {
    int status = 200;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    std::string contentType;
    // When set, the body is this file's bytes, streamed from disk as they
    // are written, never read into memory as a whole.
    std::string file;
    // The connection closes after this answer (a refusal before the body
    // was read leaves the rest of the request unread on the socket).
    bool close = false;

    void SetContent(std::string bytes, std::string type) {
        body = std::move(bytes);
        contentType = std::move(type);
    }
    void SetHeader(std::string name, std::string value) {
        headers.emplace_back(std::move(name), std::move(value));
    }
};

// The Host header when it looks like a host (and port), else this server's
// loopback address and the port the request came to: links in answers point
// back to where the client reached us, never to text it made up.
std::string RequestHostPort(const HttpRequest& req);

// "%41b+c" -> "Ab c" for queries (plus as blank), false on a bad escape.
bool PercentDecode(std::string_view in, std::string& out, bool plusIsBlank);

}  // namespace server
