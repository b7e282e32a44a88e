// Which URLs the HTTP client takes, and how they split into host, port and path.
#include <gtest/gtest.h>

#include <string>

#include "web/http_url.h"

using web::HttpUrl;
using web::ParseHttpUrl;

TEST(HttpUrl, HostPortAndPathSplitWithPort80ByDefault) {
    HttpUrl u;
    ASSERT_EQ(ParseHttpUrl("http://h/p", u), 0);
    EXPECT_EQ(u.host, "h");
    EXPECT_EQ(u.port, 80);
    EXPECT_EQ(u.path, "/p");
    ASSERT_EQ(ParseHttpUrl("http://10.0.0.7:8000/getgiftinfo?itemType=1&x={y}", u), 0);
    EXPECT_EQ(u.host, "10.0.0.7");
    EXPECT_EQ(u.port, 8000);
    EXPECT_EQ(u.path, "/getgiftinfo?itemType=1&x={y}");
    ASSERT_EQ(ParseHttpUrl("http://h:65535/", u), 0);
    EXPECT_EQ(u.port, 65535);
    EXPECT_EQ(u.path, "/");
}

TEST(HttpUrl, RefusedUrlsAreLoggedAndLeaveTheOutputAlone) {
    const std::string longRest = "h/" + std::string(254, 'a');  // 256 after the scheme
    const char* bad[] = {
        "http://h:8000",        // no "/" after the host
        "http://h",             //
        "https://h/p",          // other schemes
        "HTTP://h/p",           //
        "ftp://h/p",            //
        "http:///p",            // no host
        "http://:80/p",         //
        "http://h:/p",          // empty, zero, huge or non-decimal ports
        "http://h:0/p",         //
        "http://h:65536/p",     //
        "http://h:8o/p",        //
        "http://h:-1/p",        //
        "http://h:123456/p",    //
        "",                     //
        "http://",              //
    };
    for (const char* url : bad) {
        HttpUrl u;
        u.host = "keep";
        testing::internal::CaptureStderr();
        EXPECT_EQ(ParseHttpUrl(url, u), -1) << url;
        const std::string logged = testing::internal::GetCapturedStderr();
        EXPECT_NE(logged.find(std::string("url: ") + url + " error!"), std::string::npos) << logged;
        EXPECT_EQ(u.host, "keep");
    }
    HttpUrl u;
    testing::internal::CaptureStderr();
    EXPECT_EQ(ParseHttpUrl("http://" + longRest, u), -1);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(ParseHttpUrl("http://h/" + std::string(253, 'a'), u), 0);  // exactly 255
}

TEST(HttpUrl, BlanksAndControlCharactersCannotSplitARequest) {
    const std::string bad[] = {
        "http://h/p q",
        "http://h/p\r\nX-Injected: 1",
        "http://h/p\nHost: evil",
        "http://h/p\t",
        std::string("http://h/p\0x", 12),
        "http://h/p\x7f",
        "http://h /p",
    };
    for (const std::string& url : bad) {
        HttpUrl u;
        testing::internal::CaptureStderr();
        EXPECT_EQ(ParseHttpUrl(url, u), -1) << url;
        testing::internal::GetCapturedStderr();
    }
}
