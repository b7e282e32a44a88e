#pragma once
// The bytes of one request, written into the send queue. Every line ends in
// CR LF; a line longer than kMaxLine characters is refused (never cut), as
// is a header name or value holding CR, LF or NUL, so nothing a caller or a
// service passes in can split the request.

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/byte_queue.h"
#include "web/http_url.h"

namespace web {

using ByteQueue = c_byte_queue<10240>;

constexpr std::size_t kMaxLine = 1024;

// Name → value, sent in byte-wise name order.
using HeaderMap = std::map<std::string, std::string>;

// The header pairs of a path's brace block: the text between the first "{"
// and the last "}" read as name=value pairs joined by "&", stopping at the
// first piece without "="; the last value runs to the end of the block.
std::vector<std::pair<std::string, std::string>> BraceBlockPairs(std::string_view path);

// POST: request line (path cut before "{"), Host, User-Agent, Content-Type,
// Content-Length only with a body, Connection, `extra` in order, the brace
// block pairs, the empty line, the body. False (queue untouched) when a line
// is refused.
bool WritePost(const HttpUrl& url, const HeaderMap& extra, std::optional<std::string_view> body,
               ByteQueue& out);

// GET: the request line with the whole path and Host only.
bool WriteGet(const HttpUrl& url, ByteQueue& out);

}  // namespace web
