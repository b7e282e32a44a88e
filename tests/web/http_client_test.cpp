// The HTTP client over real loopback connections: the bytes a request puts
// on the wire, answers in every kind of piece and line ending, and answers
// that must fail at once instead of completing or hanging.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/web/recording_respond.h"
#include "tests/web/scripted_server.h"
#include "web/http_base.h"

using namespace web;
using namespace webtest;

namespace {

using Events = std::vector<std::string>;

std::string Head(const ScriptedServer& s) { return "Host: 127.0.0.1:" + std::to_string(s.port()); }

}  // namespace

TEST(HttpOnTheWire, GetSendsTheRequestLineAndHostOnlyAndReadsTheBody) {
    ScriptedServer server({{Answer200("hello")}});
    RecordingRespond r;
    ASSERT_NE(http_get(&r, server.Url("/p/q.txt{a=1}")), nullptr);
    ASSERT_TRUE(r.WaitReleased());
    EXPECT_EQ(server.Requests().at(0), "GET /p/q.txt{a=1} HTTP/1.1\r\n" + Head(server) + "\r\n\r\n");
    EXPECT_EQ(r.Body(), "hello");
    EXPECT_EQ(r.Events(), (Events{"body", "closed", "released"}));
}

TEST(HttpOnTheWire, PostSendsFixedHeadersThenMapThenBraceBlockThenTheBody) {
    ScriptedServer server({{Answer200("{}")}});
    RecordingRespond r;
    auto* request = new http_base(&r);
    request->set_header("X-Zeta", "z");
    request->set_header("X-Alpha", "a");
    const std::string body = "{\"CMD\":30012}";
    ASSERT_EQ(request->post(server.Url("/x{a=1&b=2}"), body.data(), body.size()), 0);
    ASSERT_TRUE(r.WaitReleased());
    EXPECT_EQ(server.Requests().at(0),
              "POST /x HTTP/1.1\r\n" + Head(server) +
                  "\r\nUser-Agent: Windows Anchor\r\nContent-Type: application/octet-stream\r\n"
                  "Content-Length: 13\r\nConnection: keep-alive\r\nX-Alpha: a\r\nX-Zeta: z\r\n"
                  "a: 1\r\nb: 2\r\n\r\n" + body);
    EXPECT_EQ(r.Body(), "{}");
}

TEST(HttpOnTheWire, PostWithoutABodyCarriesItsQueryAsTheBody) {
    ScriptedServer server({{Answer200("ok")}});
    RecordingRespond r;
    ASSERT_NE(http_post(&r, server.Url("/kampo?m=LB&x=1"), nullptr, 0), nullptr);
    ASSERT_TRUE(r.WaitReleased());
    const std::string sent = server.Requests().at(0);
    EXPECT_EQ(sent.rfind("POST /kampo HTTP/1.1\r\n", 0), 0u);
    EXPECT_NE(sent.find("\r\nContent-Length: 8\r\n"), std::string::npos);
    EXPECT_EQ(sent.substr(sent.size() - 12), "\r\n\r\nm=LB&x=1");

    // Neither a body nor a query: still a Content-Length, of 0.
    ScriptedServer bare({{Answer200("ok")}});
    RecordingRespond r2;
    ASSERT_NE(http_post(&r2, bare.Url("/x"), nullptr, 0), nullptr);
    ASSERT_TRUE(r2.WaitReleased());
    EXPECT_NE(bare.Requests().at(0).find("\r\nContent-Length: 0\r\n"), std::string::npos);
}

TEST(HttpOnTheWire, ABodyLargerThanTheSendBoundArrivesWhole) {
    ScriptedServer server({{Answer200("ok")}});
    RecordingRespond r;
    std::string body(1 << 20, '\0');
    for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>(i * 7 + i / 1000);
    ASSERT_NE(http_post(&r, server.Url("/up"), body.data(), body.size()), nullptr);
    ASSERT_TRUE(r.WaitReleased());
    const std::string sent = server.Requests().at(0);
    ASSERT_GE(sent.size(), body.size());
    EXPECT_TRUE(sent.compare(sent.size() - body.size(), body.size(), body) == 0);
    EXPECT_EQ(r.Body(), "ok");
}

TEST(HttpOnTheWire, AHostNameIsLookedUpAndNamedInTheHostHeader) {
    ScriptedServer server({{Answer200("named")}});
    RecordingRespond r;
    const std::string url = "http://localhost:" + std::to_string(server.port()) + "/n";
    ASSERT_NE(http_get(&r, url), nullptr);
    ASSERT_TRUE(r.WaitReleased());
    ASSERT_EQ(r.Body(), "named");
    EXPECT_NE(server.Requests().at(0).find("\r\nHost: localhost:" + std::to_string(server.port())),
              std::string::npos);
}

TEST(HttpOnTheWire, WithoutAPortTheRequestGoesToPort80) {
    std::unique_ptr<ScriptedServer> server;
    try {
        server = std::make_unique<ScriptedServer>(std::vector<Piece>{{Answer200("eighty")}},
                                                  End::Close, 80);
    } catch (const std::exception&) {
        GTEST_SKIP() << "port 80 cannot be bound here";
    }
    RecordingRespond r;
    ASSERT_NE(http_get(&r, "http://127.0.0.1/p"), nullptr);
    ASSERT_TRUE(r.WaitReleased());
    EXPECT_EQ(server->Requests().at(0), "GET /p HTTP/1.1\r\nHost: 127.0.0.1:80\r\n\r\n");
    EXPECT_EQ(r.Body(), "eighty");
}

TEST(HttpOnTheWire, BadUrlsAndRequestsThatCannotBeWrittenStartNothing) {
    RecordingRespond r;
    EXPECT_EQ(http_get(&r, "http://127.0.0.1:8"), nullptr);  // no "/" after the host
    EXPECT_EQ(http_get(&r, "https://127.0.0.1/p"), nullptr);
    EXPECT_EQ(http_get(&r, "http://127.0.0.1/" + std::string(1100, 'a')), nullptr);
    EXPECT_EQ(http_post(&r, "http://127.0.0.1/x{a=1\r\nEvil: 1}", "b", 1), nullptr);
    EXPECT_TRUE(r.Events().empty());
}

// One answer, three line endings, cut in pieces that split lines, endings
// and the body; pauses make each piece its own read.
class SplitAnswer : public testing::TestWithParam<std::string> {};

TEST_P(SplitAnswer, ParsesTheSameInEveryPiece) {
    const std::string e = GetParam();
    const std::string answer = "HTTP/1.1 200 OK" + e + "Server: scripted" + e +
                               "Content-Length: 11" + e + "X-Other:  v " + e + e + "hello world";
    std::vector<Piece> pieces;
    for (std::size_t at = 0; at < answer.size(); at += 3) pieces.push_back({answer.substr(at, 3), 2});
    ScriptedServer server(pieces);
    RecordingRespond r;
    ASSERT_NE(http_get(&r, server.Url("/s")), nullptr);
    ASSERT_TRUE(r.WaitReleased());
    EXPECT_EQ(r.Body(), "hello world");
    EXPECT_EQ(r.contentLength, 11u);
    const Events events = r.Events();
    EXPECT_EQ(events.back(), "released");
    EXPECT_NE(std::find(events.begin(), events.end(), "body"), events.end());
}

INSTANTIATE_TEST_SUITE_P(Endings, SplitAnswer, testing::Values("\r\n", "\n", "\n\r"));

// Answers that end the request without a body, each closing the connection
// from the client's side even though the server would hold it open.
struct Refused {
    const char* name;
    std::string answer;
};

void PrintTo(const Refused& r, std::ostream* os) { *os << r.name; }

class RefusedAnswer : public testing::TestWithParam<Refused> {};

TEST_P(RefusedAnswer, FailsAtOnceWithoutABody) {
    ScriptedServer server({{GetParam().answer}}, End::Hold);
    RecordingRespond r;
    ASSERT_NE(http_get(&r, server.Url("/r")), nullptr);
    ASSERT_TRUE(r.WaitReleased());
    EXPECT_EQ(r.Events(), (Events{"closed", "released"}));
    EXPECT_EQ(r.Body(), "");
    EXPECT_TRUE(server.WaitClientCloses(1));
    EXPECT_EQ(server.Connections(), 1);  // nothing followed, nothing retried
}

INSTANTIATE_TEST_SUITE_P(
    Answers, RefusedAnswer,
    testing::Values(
        Refused{"NotFound", "HTTP/1.1 404 Not Found\r\nContent-Length: 3\r\n\r\nno!"},
        Refused{"Redirect", "HTTP/1.1 302 Found\r\nLocation: /r\r\nContent-Length: 0\r\n\r\n"},
        Refused{"NoReasonPhrase", "HTTP/1.1 200\r\nContent-Length: 2\r\n\r\nok"},
        Refused{"SurplusBytes", "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nokay"},
        Refused{"OverTheLimit", "HTTP/1.1 200 OK\r\nContent-Length: 8388609\r\n\r\n"},
        Refused{"Chunked", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nok\r\n0\r\n\r\n"},
        Refused{"Conflicting", "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nContent-Length: 3\r\n\r\nok"},
        Refused{"HeaderFlood", "HTTP/1.1 200 OK\r\n" + std::string(20000, 'X') + ": y\r\n\r\n"}),
    [](const testing::TestParamInfo<Refused>& i) { return std::string(i.param.name); });

TEST(HttpAnswer, WithoutContentLengthTheBodyNeverCompletesAndEndsWithTheServersClose) {
    ScriptedServer server({{"HTTP/1.1 200 OK\r\ncontent-length: 5\r\n\r\nhello", 0}});
    RecordingRespond r;
    ASSERT_NE(http_get(&r, server.Url("/n")), nullptr);
    ASSERT_TRUE(r.WaitReleased());
    // The lower-case name is not the header: parts seen, never a body.
    EXPECT_EQ(r.Events(), (Events{"part", "closed", "released"}));
}

TEST(HttpAnswer, ARefusedConnectionIsReportedAsAFailure) {
    RecordingRespond r;
    ASSERT_NE(http_get(&r, "http://127.0.0.1:" + std::to_string(ClosedPort()) + "/x"), nullptr);
    ASSERT_TRUE(r.WaitReleased());
    EXPECT_EQ(r.Events(), (Events{"fail", "released"}));
    EXPECT_NE(r.failError, 0);
}

TEST(HttpAnswer, AnAbortWhileTheBodyArrivesClosesWithoutAFailure) {
    // Headers and part of the body, then the server waits for ever.
    ScriptedServer server({{"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\npartial"}}, End::Hold);
    RecordingRespond r;
    http_base* request = http_get(&r, server.Url("/slow"));
    ASSERT_NE(request, nullptr);
    ASSERT_TRUE(r.WaitFor("part"));
    request->abort();
    ASSERT_TRUE(r.WaitReleased());
    EXPECT_EQ(r.Events(), (Events{"part", "closed", "released"}));
    EXPECT_TRUE(server.WaitClientCloses(1));
}

TEST(HttpAnswer, AnAbortBeforeTheConnectionIsUpEndsItQuietly) {
    // The server never answers: only the abort can end these requests.
    ScriptedServer server({}, End::Hold);
    for (int i = 0; i < 20; ++i) {
        RecordingRespond r;
        http_base* request = http_get(&r, server.Url("/a"));
        ASSERT_NE(request, nullptr);
        request->abort();
        ASSERT_TRUE(r.WaitReleased());
        const Events events = r.Events();
        EXPECT_EQ(std::count(events.begin(), events.end(), "fail"), 0);
        EXPECT_EQ(events.back(), "released");
    }
}

TEST(HttpAnswer, AbortsFromAnotherThreadEachEndTheirRequestOnceWithNothingAfter) {
    ScriptedServer server({}, End::Hold);  // never answers
    constexpr int kRequests = 24;
    std::vector<std::unique_ptr<RecordingRespond>> responds;
    std::vector<http_base*> requests;
    for (int i = 0; i < kRequests; ++i) {
        responds.push_back(std::make_unique<RecordingRespond>());
        requests.push_back(http_get(responds.back().get(), server.Url("/hold")));
        ASSERT_NE(requests.back(), nullptr);
    }
    // Aborted from another thread at staggered moments: while connecting,
    // connected, or with the request written.
    std::thread aborter([&] {
        for (int i = 0; i < kRequests; ++i) {
            requests[static_cast<std::size_t>(i)]->abort();
            std::this_thread::sleep_for(std::chrono::milliseconds(i % 4));
        }
    });
    aborter.join();
    for (auto& r : responds) {
        ASSERT_TRUE(r->WaitReleased());
        const Events events = r->Events();
        EXPECT_EQ(std::count(events.begin(), events.end(), "released"), 1);
        EXPECT_EQ(events.back(), "released");
        EXPECT_EQ(std::count(events.begin(), events.end(), "fail"), 0);
    }
}
