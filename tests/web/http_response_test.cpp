// The answer parser fed the same answers in every split: line endings of
// each kind, lines and CR LF pairs across reads and blocks, and hostile
// answers that must fail at once instead of completing or hanging.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "web/http_response_parser.h"

using namespace web;

namespace {

struct Outcome {
    ParseResult result;
    int status;
    std::string body;  // what is queued at the end
    HeaderMap headers;
};

// Feeds `answer` in the pieces cut at `cuts` (ascending), parsing after each.
Outcome Feed(const std::string& answer, const std::vector<std::size_t>& cuts,
             std::size_t limit = kAnswerBodyLimit) {
    HttpResponseParser parser("/p", limit);
    ByteQueue q;
    std::size_t from = 0;
    std::vector<std::size_t> ends = cuts;
    ends.push_back(answer.size());
    for (std::size_t to : ends) {
        q.Append(answer.data() + from, static_cast<long>(to - from));
        from = to;
        if (parser.Parse(q) != ParseResult::NeedMore) break;
    }
    Outcome o{parser.Result(), parser.Status(), {}, parser.Headers()};
    q.Take(q.Size(), o.body);
    return o;
}

Outcome Whole(const std::string& answer, std::size_t limit = kAnswerBodyLimit) {
    return Feed(answer, {}, limit);
}

// The outcome of one read must be the outcome of every two-piece split and
// of byte-by-byte reads.
void ExpectSameInEverySplit(const std::string& answer, ParseResult expected) {
    // Status messages are kept off the test output; failures are reported after.
    testing::internal::CaptureStdout();
    const Outcome whole = Whole(answer);
    std::vector<Outcome> splits;
    for (std::size_t cut = 1; cut < answer.size(); ++cut) splits.push_back(Feed(answer, {cut}));
    std::vector<std::size_t> every;
    for (std::size_t i = 1; i < answer.size(); ++i) every.push_back(i);
    splits.push_back(Feed(answer, every));
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(whole.result, expected) << answer;
    for (std::size_t i = 0; i < splits.size(); ++i) {
        const Outcome& split = splits[i];
        const std::string where = i + 1 < splits.size() ? "cut at " + std::to_string(i + 1) : "drip";
        EXPECT_EQ(split.result, whole.result) << where << " of " << answer;
        EXPECT_EQ(split.headers, whole.headers) << where;
        if (whole.result == ParseResult::Complete) {
            EXPECT_EQ(split.body, whole.body) << where;
        }
    }
}

std::string Answer(const std::string& eol, const std::string& body) {
    return "HTTP/1.1 200 OK" + eol + "Server: t" + eol + "Content-Length: " +
           std::to_string(body.size()) + eol + "X-Pad:  \tv \t" + eol + eol + body;
}

}  // namespace

TEST(HttpResponse, EveryLineEndingAndEverySplitParseTheSame) {
    for (const std::string eol : {"\r\n", "\n", "\n\r"}) {
        for (const std::string body : {"", "hello", "\nstarts with an ending"}) {
            SCOPED_TRACE(testing::PrintToString(eol) + testing::PrintToString(body));
            const std::string answer = Answer(eol, body);
            ExpectSameInEverySplit(answer, ParseResult::Complete);
            const Outcome o = Whole(answer);
            EXPECT_EQ(o.body, body);
            EXPECT_EQ(o.headers.at("X-Pad"), "v");
            EXPECT_EQ(o.headers.at("Content-Length"), std::to_string(body.size()));
        }
    }
}

TEST(HttpResponse, HeadersLongerThanABlockAndBodiesOverManyBlocks) {
    // A header line straddling the 10240-byte block boundary, and a CR LF split across it.
    for (std::size_t pad : {10200u, 10216u, 10217u, 10218u, 10219u}) {
        std::string body(25000, 'b');
        std::string answer = "HTTP/1.1 200 OK\r\nX-Long: " + std::string(pad - 25, 'x') +
                             "\r\nContent-Length: 25000\r\n\r\n" + body;
        const Outcome o = Whole(answer);
        ASSERT_EQ(o.result, ParseResult::Complete) << pad;
        EXPECT_EQ(o.body, body);
        EXPECT_EQ(o.headers.at("X-Long").size(), pad - 25);
        EXPECT_EQ(Feed(answer, {pad - 1, pad, pad + 1, 10240, 20480}).result,
                  ParseResult::Complete);
    }
}

TEST(HttpResponse, RepeatedHeadersKeepTheFirstValueAndNamesAreCaseSensitive) {
    const Outcome o = Whole("HTTP/1.1 200 OK\r\nA: 1\r\nA: 2\r\nContent-Length: 0\r\n\r\n");
    EXPECT_EQ(o.result, ParseResult::Complete);
    EXPECT_EQ(o.headers.at("A"), "1");
    // A content-length in other letter case is no Content-Length: never complete.
    const Outcome lower = Whole("HTTP/1.1 200 OK\r\ncontent-length: 2\r\n\r\nab");
    EXPECT_EQ(lower.result, ParseResult::NeedMore);
    EXPECT_EQ(lower.headers.at("content-length"), "2");
}

TEST(HttpResponse, AnswerWithoutContentLengthNeverCompletesNotEvenWhenEmpty) {
    // Headers read to the end with nothing after them is not an empty body.
    ExpectSameInEverySplit("HTTP/1.1 200 OK\r\nServer: t\r\n\r\n", ParseResult::NeedMore);
    ExpectSameInEverySplit("HTTP/1.1 200 OK\r\n\r\nsome body", ParseResult::NeedMore);
    // ...and gives up once more than the limit is queued.
    EXPECT_EQ(Whole("HTTP/1.1 200 OK\r\n\r\n" + std::string(101, 'x'), 100).result,
              ParseResult::Failed);
    EXPECT_EQ(Whole("HTTP/1.1 200 OK\r\n\r\n" + std::string(100, 'x'), 100).result,
              ParseResult::NeedMore);
}

TEST(HttpResponse, OtherStatusesFailAndLogTheCode) {
    for (const std::string code : {"404", "301", "302", "304", "500", "100", "201"}) {
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        const Outcome o = Whole("HTTP/1.1 " + code +
                                " X\r\nLocation: http://h/loop\r\nContent-Length: 0\r\n\r\n");
        const std::string logged = testing::internal::GetCapturedStderr();
        // Standard output is the headless client's, for its documented lines.
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
        EXPECT_EQ(o.result, ParseResult::Failed) << code;
        EXPECT_EQ(o.status, std::stoi(code));
        EXPECT_NE(logged.find("http base url=/p, code=" + code + "\n"), std::string::npos) << logged;
        EXPECT_TRUE(o.headers.empty());  // a redirect's Location is never even read
    }
}

TEST(HttpResponse, MalformedStatusLinesCountAsStatusZero) {
    for (const std::string line : {"HTTP/1.1 200", "HTTP/1.1 200\t OK", "HTTP/1.1  200 OK",
                                   "HTTP/1.1 2000 OK", "HTTP/1.1 20x OK", "garbage",
                                   "HTTP/1.1 -20 OK"}) {
        testing::internal::CaptureStderr();
        const Outcome o = Whole(line + "\r\nContent-Length: 0\r\n\r\n");
        EXPECT_NE(testing::internal::GetCapturedStderr().find("http base url=/p, code=0\n"),
                  std::string::npos)
            << line;
        EXPECT_EQ(o.result, ParseResult::Failed) << line;
        EXPECT_EQ(o.status, 0);
    }
    EXPECT_EQ(Whole("\r\nHTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n").result,
              ParseResult::Failed);
}

TEST(HttpResponse, HostileContentLengthsFailAtOnce) {
    const std::string head = "HTTP/1.1 200 OK\r\n";
    const char* bad[] = {
        "Content-Length: 5\r\nContent-Length: 6\r\n",  // conflicting
        "Content-Length: -1\r\n",
        "Content-Length: +5\r\n",
        "Content-Length: 5 5\r\n",
        "Content-Length: 0x10\r\n",
        "Content-Length: \r\n",
        "Content-Length: 4294967301\r\n",  // wraps to 5 in 32 bits
        "Content-Length: 99999999999999999999\r\n",
        "Content-Length: 8388609\r\n",  // one over the answer limit
        "Transfer-Encoding: chunked\r\n",
        "transfer-encoding: Chunked\r\nContent-Length: 5\r\n",
        "No colon here\r\nContent-Length: 5\r\n",
    };
    for (const char* headers : bad) {
        // Failing before the body arrives: no wait for a body that would never be complete.
        EXPECT_EQ(Whole(head + headers + "\r\n").result, ParseResult::Failed) << headers;
        ExpectSameInEverySplit(head + headers + "\r\nhello", ParseResult::Failed);
    }
    EXPECT_EQ(Whole(head + "Content-Length: 8388608\r\n\r\n").result, ParseResult::NeedMore);
    EXPECT_EQ(Whole(head + "Content-Length: 3\r\nContent-Length: 3\r\n\r\nabc").result,
              ParseResult::Complete);
    // The file limit is higher than the answer limit.
    EXPECT_EQ(Whole(head + "Content-Length: 33554432\r\n\r\n", kFileBodyLimit).result,
              ParseResult::NeedMore);
    EXPECT_EQ(Whole(head + "Content-Length: 33554433\r\n\r\n", kFileBodyLimit).result,
              ParseResult::Failed);
}

TEST(HttpResponse, SurplusBytesFailInsteadOfWaitingForever) {
    const std::string answer = "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nabcd";
    // Whenever the surplus byte comes with the body's last byte, at once.
    for (std::size_t cut = 1; cut < 41; ++cut)
        EXPECT_EQ(Feed(answer, {cut}).result, ParseResult::Failed) << cut;
    // A byte after a complete body is never read: the answer was complete.
    EXPECT_EQ(Feed(answer, {41}).result, ParseResult::Complete);
}

TEST(HttpResponse, TruncatedAnswersNeverComplete) {
    const std::string full = "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n0123456789";
    for (std::size_t n = 0; n < full.size(); ++n) {
        const Outcome o = Whole(full.substr(0, n));
        EXPECT_EQ(o.result, ParseResult::NeedMore) << n;
    }
}

TEST(HttpResponse, HeaderFloodsFailAt16KiB) {
    std::string flood = "HTTP/1.1 200 OK\r\n";
    while (flood.size() < 17000) flood += "X-Flood: aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\r\n";
    EXPECT_EQ(Whole(flood + "Content-Length: 0\r\n\r\n").result, ParseResult::Failed);
    EXPECT_EQ(Feed(flood, {100, 5000, 10240, 16000}).result, ParseResult::Failed);
    // One endless line with no ending fails too, without waiting for its end.
    EXPECT_EQ(Whole("HTTP/1.1 200 OK\r\nX: " + std::string(20000, 'y')).result,
              ParseResult::Failed);
    EXPECT_EQ(Whole("HTTP/1.1 200 OK\r\nX: " + std::string(16000, 'y')).result,
              ParseResult::NeedMore);
    // Just under the budget is fine.
    std::string fits = "HTTP/1.1 200 OK\r\nContent-Length: 0\r\nX: ";
    fits += std::string(kMaxHeaderBytes - fits.size() - 4, 'z') + "\r\n\r\n";
    ASSERT_EQ(fits.size(), kMaxHeaderBytes);
    EXPECT_EQ(Whole(fits).result, ParseResult::Complete);
    EXPECT_EQ(Whole(fits.substr(0, fits.size() - 4) + "z\r\n\r\n").result, ParseResult::Failed);
}
