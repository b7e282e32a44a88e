// An answer read in pieces the fuzzer chooses. Input: one byte with the
// number of cuts (low 4 bits) and a small-limit switch (bit 4), two bytes
// per cut position, then the answer. "Complete" must mean status 200, a
// Content-Length and exactly that many body bytes queued; and the pieces must
// not change the outcome against reading the answer at once.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "web/http_response_parser.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

struct Run {
    web::ParseResult result;
    bool allFed;  // the result came with the last piece
};

Run Read(const std::string& answer, std::vector<std::size_t> cuts, std::size_t limit) {
    web::HttpResponseParser parser("/f", limit);
    web::ByteQueue q;
    cuts.push_back(answer.size());
    std::size_t from = 0;
    for (std::size_t i = 0; i < cuts.size(); ++i) {
        const std::size_t to = std::max(from, std::min(cuts[i], answer.size()));
        q.Append(answer.data() + from, static_cast<long>(to - from));
        from = to;
        const web::ParseResult r = parser.Parse(q);
        if (r == web::ParseResult::Complete) {
            Check(parser.Status() == 200);
            Check(parser.HasContentLength());
            Check(q.Size() == parser.ContentLength());
            Check(parser.ContentLength() <= limit);
            Check(parser.Headers().count("Content-Length") == 1);
        }
        if (r == web::ParseResult::Failed) Check(!parser.Error().empty());
        if (r != web::ParseResult::NeedMore) return {r, from == answer.size()};
        // Never holds more than the header budget plus the body limit.
        Check(q.Size() <= web::kMaxHeaderBytes + limit);
    }
    return {parser.Result(), true};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const unsigned cutCount = data[0] & 0x0f;
    const std::size_t limit = (data[0] & 0x10) ? 64 : web::kAnswerBodyLimit;
    std::size_t at = 1;
    std::vector<std::size_t> cuts;
    for (unsigned i = 0; i < cutCount && at + 2 <= size; ++i, at += 2)
        cuts.push_back(static_cast<std::size_t>(data[at]) | (static_cast<std::size_t>(data[at + 1]) << 8));
    std::sort(cuts.begin(), cuts.end());
    const std::string answer(reinterpret_cast<const char*>(data + at), size - at);

    static bool quiet = (std::freopen("/dev/null", "w", stdout) != nullptr);
    (void)quiet;
    const Run whole = Read(answer, {}, limit);
    const Run split = Read(answer, cuts, limit);
    if (whole.result == web::ParseResult::Complete) Check(split.result == web::ParseResult::Complete);
    if (split.result == web::ParseResult::Complete && split.allFed)
        Check(whole.result == web::ParseResult::Complete);
    if (split.result == web::ParseResult::Failed) Check(whole.result == web::ParseResult::Failed);
    return 0;
}
