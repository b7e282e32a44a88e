#pragma once
// Reads one HTTP/1.1 answer out of the receive queue as bytes arrive, in
// whatever pieces they come: lines are found across the queue's chunks and a
// CR or LF at the very end waits for the byte that may pair with it, so
// every split of the same answer parses the same.
//
// The answer is complete only with status 200, a valid Content-Length and
// exactly that many body bytes queued. Everything else fails at once and for
// good: another status (3xx is never followed), a status line without a
// second space, headers over kMaxHeaderBytes, a header line without ":",
// any Transfer-Encoding (chunked bodies are not read), a Content-Length that
// is not plain digits, overflows, is over the body limit or disagrees with
// an earlier one, and bytes beyond the announced length. Without a
// Content-Length the answer never completes; it fails once more than the
// limit is queued. The body stays queued for the caller.

#include <cstddef>
#include <cstdint>
#include <string>

#include "web/http_request.h"

namespace web {

constexpr std::size_t kMaxHeaderBytes = 16 * 1024;
constexpr std::size_t kAnswerBodyLimit = 8u << 20;  // service answers
constexpr std::size_t kFileBodyLimit = 32u << 20;   // downloaded files

enum class ParseResult { NeedMore, Complete, Failed };

class HttpResponseParser {
public:
    // `path` only names the request in the status message.
    explicit HttpResponseParser(std::string path, std::size_t bodyLimit = kAnswerBodyLimit);

    // Runs after every read. Header bytes are consumed; body bytes are not.
    ParseResult Parse(ByteQueue& queue);

    ParseResult Result() const { return result_; }
    int Status() const { return status_; }
    // 0 status line, 1 headers, 2 headers done.
    int State() const { return state_; }
    bool HasContentLength() const { return hasLength_; }
    std::uint32_t ContentLength() const { return length_; }
    // Names and values trimmed of blanks, CR, LF and TAB; a repeated name
    // keeps its first value.
    const HeaderMap& Headers() const { return headers_; }
    const std::string& Error() const { return error_; }

private:
    ParseResult Fail(std::string why);
    bool StatusLine(const std::string& line);
    bool HeaderLine(const std::string& line);
    bool TakeLength(const std::string& value);
    ParseResult CheckBody(const ByteQueue& queue);

    std::string path_;
    std::size_t bodyLimit_;
    ParseResult result_ = ParseResult::NeedMore;
    int state_ = 0;
    int status_ = 0;
    bool hasLength_ = false;
    std::uint32_t length_ = 0;
    std::size_t headerBytes_ = 0;
    bool skipCr_ = false;  // the last line ended in an LF that was the last byte read
    HeaderMap headers_;
    std::string error_;
};

}  // namespace web
