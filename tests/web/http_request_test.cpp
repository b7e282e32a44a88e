// The bytes of GET and POST requests: line order, the brace block, bodies,
// and lines that are refused rather than cut.
#include <gtest/gtest.h>

#include <string>

#include "web/http_request.h"

using namespace web;

namespace {

HttpUrl Url(const std::string& text) {
    HttpUrl u;
    EXPECT_EQ(ParseHttpUrl(text, u), 0) << text;
    return u;
}

std::string Drain(ByteQueue& q) {
    std::string out;
    q.Take(q.Size(), out);
    return out;
}

}  // namespace

TEST(HttpRequest, GetSendsTheRequestLineAndHostOnly) {
    ByteQueue q;
    ASSERT_TRUE(WriteGet(Url("http://h/p{a=1}"), q));
    EXPECT_EQ(Drain(q), "GET /p{a=1} HTTP/1.1\r\nHost: h:80\r\n\r\n");
}

TEST(HttpRequest, PostLinesComeInTheirOrderWithMapAndBraceHeadersLast) {
    ByteQueue q;
    HeaderMap extra{{"Zed", "last"}, {"Accept", "x"}};
    ASSERT_TRUE(WritePost(Url("http://h:81/x{a=1&b=2}"), extra, std::string_view("body"), q));
    EXPECT_EQ(Drain(q),
              "POST /x HTTP/1.1\r\n"
              "Host: h:81\r\n"
              "User-Agent: Windows Anchor\r\n"
              "Content-Type: application/octet-stream\r\n"
              "Content-Length: 4\r\n"
              "Connection: keep-alive\r\n"
              "Accept: x\r\n"
              "Zed: last\r\n"
              "a: 1\r\n"
              "b: 2\r\n"
              "\r\n"
              "body");
}

TEST(HttpRequest, ContentLengthOnlyWithABodyEvenAnEmptyOne) {
    ByteQueue q;
    ASSERT_TRUE(WritePost(Url("http://h/x"), {}, std::string_view(""), q));
    EXPECT_NE(Drain(q).find("Content-Length: 0\r\n"), std::string::npos);
    ASSERT_TRUE(WritePost(Url("http://h/x"), {}, std::nullopt, q));
    const std::string none = Drain(q);
    EXPECT_EQ(none.find("Content-Length"), std::string::npos);
    EXPECT_EQ(none.substr(none.size() - 5), "e\r\n\r\n");  // ends after the headers
}

TEST(HttpRequest, BodiesLongerThanABlockArriveWhole) {
    std::string body(30000, '\0');
    for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>(i * 7);
    ByteQueue q;
    ASSERT_TRUE(WritePost(Url("http://h/x"), {}, std::string_view(body), q));
    const std::string all = Drain(q);
    EXPECT_NE(all.find("Content-Length: 30000\r\n"), std::string::npos);
    EXPECT_EQ(all.substr(all.size() - body.size()), body);
}

TEST(HttpRequest, BraceBlockPairsStopAtAPieceWithoutEquals) {
    using P = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(BraceBlockPairs("/x{a=1&b=2}"), (P{{"a", "1"}, {"b", "2"}}));
    EXPECT_EQ(BraceBlockPairs("/x{a=1&junk&c=3}"), (P{{"a", "1"}}));
    EXPECT_EQ(BraceBlockPairs("/x{junk&c=3}"), P{});
    // Between the first "{" and the last "}"; the last value runs to the end.
    EXPECT_EQ(BraceBlockPairs("/x{a={b}&c=d=e}"), (P{{"a", "{b}"}, {"c", "d=e"}}));
    EXPECT_EQ(BraceBlockPairs("/x}{a=1"), P{});
    EXPECT_EQ(BraceBlockPairs("/x{}"), P{});
    EXPECT_EQ(BraceBlockPairs("/x"), P{});
}

TEST(HttpRequest, OverlongOrSplittingLinesAreRefusedAndNothingIsQueued) {
    ByteQueue q;
    // The request line "POST <path> HTTP/1.1" at exactly 1024 characters goes; one more does not.
    const std::size_t fixed = std::string("POST / HTTP/1.1").size();
    HttpUrl u;
    u.host = "h";
    u.path = "/" + std::string(1024 - fixed, 'a');
    EXPECT_TRUE(WritePost(u, {}, std::nullopt, q));
    Drain(q);
    u.path += "a";
    EXPECT_FALSE(WritePost(u, {}, std::nullopt, q));
    u.path += "a";  // "GET" is one shorter
    EXPECT_FALSE(WriteGet(u, q));
    EXPECT_EQ(q.Size(), 0u);

    const HttpUrl plain = Url("http://h/x");
    EXPECT_FALSE(WritePost(plain, {{"X", std::string(1100, 'v')}}, std::nullopt, q));
    EXPECT_FALSE(WritePost(plain, {{"X", "1\r\nInjected: 2"}}, std::nullopt, q));
    EXPECT_FALSE(WritePost(plain, {{"X\nY", "1"}}, std::nullopt, q));
    EXPECT_FALSE(WritePost(plain, {{"", "1"}}, std::nullopt, q));
    EXPECT_FALSE(WritePost(plain, {{"A:B", "1"}}, std::nullopt, q));
    HttpUrl braced = plain;
    braced.path = "/x{a=" + std::string(1030, 'v') + "}";
    EXPECT_FALSE(WritePost(braced, {}, std::nullopt, q));
    EXPECT_EQ(q.Size(), 0u);
}
