#include "web/http_response_parser.h"

#include "core/log.h"

#include <cstdio>
#include <string_view>
#include <utility>

namespace web {
namespace {

std::string_view Trim(std::string_view s) {
    constexpr std::string_view blanks = " \n\r\t";
    const std::size_t first = s.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(blanks) - first + 1);
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

}  // namespace

HttpResponseParser::HttpResponseParser(std::string path, std::size_t bodyLimit)
    : path_(std::move(path)), bodyLimit_(bodyLimit) {}

ParseResult HttpResponseParser::Fail(std::string why) {
    error_ = std::move(why);
    result_ = ParseResult::Failed;
    return result_;
}

ParseResult HttpResponseParser::Parse(ByteQueue& queue) {
    if (result_ != ParseResult::NeedMore) return result_;
    if (skipCr_ && queue.Size() > 0) {
        skipCr_ = false;
        if (queue.At(0) == '\r') {
            // The CR of an LF CR ending split across reads counts as it would unsplit.
            queue.Consume(1);
            if (++headerBytes_ > kMaxHeaderBytes) return Fail("headers over 16 KiB");
        }
    }
    while (state_ != 2) {
        const std::size_t budget = kMaxHeaderBytes - headerBytes_;
        const std::size_t window = std::min(budget, queue.Size());
        const std::size_t end = queue.FindEither('\r', '\n', window);
        if (end == window) {
            if (queue.Size() > budget) return Fail("headers over 16 KiB");
            return result_;
        }
        const unsigned char ending = queue.At(end);
        std::size_t endingSize = 1;
        if (end + 1 < queue.Size()) {
            if (queue.At(end + 1) == (ending == '\r' ? '\n' : '\r')) endingSize = 2;
        } else if (ending == '\r') {
            return result_;  // its LF may come with the next read
        }
        if (end + endingSize > budget) return Fail("headers over 16 KiB");
        skipCr_ = ending == '\n' && end + 1 == queue.Size();
        std::string line;
        queue.Take(end, line);
        queue.Consume(endingSize);
        headerBytes_ += end + endingSize;
        if (line.empty()) {
            if (state_ == 0) return Fail("no status line");
            state_ = 2;
        } else if (state_ == 0) {
            if (!StatusLine(line)) return result_;
        } else if (!HeaderLine(line)) {
            return result_;
        }
    }
    return CheckBody(queue);
}

bool HttpResponseParser::StatusLine(const std::string& line) {
    // The code is the number after the first space; a second space must follow it.
    const std::size_t space = line.find(' ');
    const std::size_t second =
        space == std::string::npos ? std::string::npos : line.find(' ', space + 1);
    int code = 0;
    if (second != std::string::npos && second - space - 1 == 3) {
        for (std::size_t i = space + 1; i < second; ++i) {
            if (line[i] < '0' || line[i] > '9') {
                code = 0;
                break;
            }
            code = code * 10 + (line[i] - '0');
        }
    }
    status_ = code;
    if (code != 200) {
        // The log, not standard output: a headless client's output carries
        // only its documented lines.
        log_msg("http base url=%s, code=%d\n", path_.c_str(), code);
        Fail("status " + std::to_string(code));
        return false;
    }
    state_ = 1;
    return true;
}

bool HttpResponseParser::HeaderLine(const std::string& line) {
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos) {
        Fail("header line without ':'");
        return false;
    }
    const std::string name(Trim(std::string_view(line).substr(0, colon)));
    const std::string value(Trim(std::string_view(line).substr(colon + 1)));
    if (EqualsNoCase(name, "Transfer-Encoding")) {
        Fail("transfer encoding refused");
        return false;
    }
    if (name == "Content-Length" && !TakeLength(value)) return false;
    headers_.emplace(name, value);
    return true;
}

bool HttpResponseParser::TakeLength(const std::string& value) {
    if (value.empty() || value.size() > 10) {
        Fail("bad Content-Length");
        return false;
    }
    std::uint64_t n = 0;
    for (char c : value) {
        if (c < '0' || c > '9') {
            Fail("bad Content-Length");
            return false;
        }
        n = n * 10 + static_cast<unsigned>(c - '0');
    }
    if (n > bodyLimit_) {
        Fail("Content-Length over the limit");
        return false;
    }
    if (hasLength_ && n != length_) {
        Fail("conflicting Content-Length");
        return false;
    }
    hasLength_ = true;
    length_ = static_cast<std::uint32_t>(n);
    return true;
}

ParseResult HttpResponseParser::CheckBody(const ByteQueue& queue) {
    const std::size_t have = queue.Size();
    if (!hasLength_) {
        if (have > bodyLimit_) return Fail("body without Content-Length over the limit");
        return result_;
    }
    if (have > length_) return Fail("bytes beyond Content-Length");
    if (have == length_) result_ = ParseResult::Complete;
    return result_;
}

}  // namespace web
