// The HTTP helper against a local HTTP server: answers come back as messages.
#include <gtest/gtest.h>

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include "core/files.h"
#include "core/service_hosts.h"
#include "platform/kitlib/kitlib.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

struct Got {
    unsigned msg;
    std::uintptr_t w;
    std::unique_ptr<CMessageData> data;
    std::intptr_t tag = 0;  // lParam
    KitlibAnswer* answer() const {
        auto* d = dynamic_cast<TMessageData<KitlibAnswer>*>(data.get());
        return d ? &d->value : nullptr;
    }
};

class Router : public IMessageRouter {
public:
    std::mutex m;
    std::condition_variable cv;
    std::vector<Got> got;
    bool Post(HWND, WindowMessage msg, std::unique_ptr<CMessageData> data) override {
        std::lock_guard<std::mutex> g(m);
        got.push_back({msg.msg, msg.wParam, std::move(data), msg.lParam});
        cv.notify_all();
        return true;
    }
    std::intptr_t Send(HWND, const WindowMessage&) override { return 0; }
    bool IsWindow(HWND) override { return true; }
    bool WaitFor(std::size_t n) {
        std::unique_lock<std::mutex> l(m);
        return cv.wait_for(l, 20s, [&] { return got.size() >= n; });
    }
};

class Kitlib : public ::testing::Test {
protected:
    void SetUp() override {
        SetMessageRouter(&router);
        server.Post("/echo", [](const httplib::Request& req, httplib::Response& res) {
            res.set_content("got:" + req.body, "application/octet-stream");
        });
        server.Post("/who", [this](const httplib::Request& req, httplib::Response& res) {
            std::lock_guard<std::mutex> g(seenLock);
            seen.push_back(req.get_header_value("X-Zeri-User") + "|" +
                           req.get_header_value("Authorization"));
            res.set_content("ok", "text/plain");
        });
        server.Post("/refuse", [](const httplib::Request&, httplib::Response& res) {
            res.status = 415;
            res.set_content(R"({"code":1035,"error":"not voice"})", "application/json");
        });
        server.Post("/moved", [this](const httplib::Request&, httplib::Response& res) {
            res.set_redirect(Url("/who"), 302);
        });
        server.Get("/pic.png", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(std::string("\x89PNG fake", 9), "image/png");
        });
        port = server.bind_to_any_port("127.0.0.1");
        thread = std::thread([this] { server.listen_after_bind(); });
        // A stop before the server listens would leave it listening for ever.
        while (!server.is_running()) std::this_thread::sleep_for(1ms);
        KITLIB_Init(1);
        dir = fs::temp_directory_path() / ("zeri-kitlib-" + std::to_string(::getpid()));
        fs::remove_all(dir);
    }
    void TearDown() override {
        KITLIB_Release();
        server.stop();
        thread.join();
        SetMessageRouter(nullptr);
        fs::remove_all(dir);
    }
    std::string Url(const std::string& path) {
        return "http://127.0.0.1:" + std::to_string(port) + path;
    }
    Router router;
    std::mutex seenLock;
    std::vector<std::string> seen;  // "user|authorization" of each /who
    httplib::Server server;
    int port = 0;
    std::thread thread;
    fs::path dir;
};

}  // namespace

TEST_F(Kitlib, PostAnswersWithTheBytesAndTheirLength) {
    const std::string body("\x02\x01\x00\x00jpeg", 8);
    ASSERT_EQ(KITLIB_PostHttpUrl(7, 2819, Url("/echo"), body.data(), body.size()), 1);
    ASSERT_TRUE(router.WaitFor(1));
    const Got& g = router.got[0];
    EXPECT_EQ(g.msg, 2819u);
    ASSERT_NE(g.answer(), nullptr);
    const std::string expected = "got:" + body;
    EXPECT_EQ(g.w, expected.size());
    EXPECT_EQ(g.answer()->length, expected.size());
    EXPECT_EQ(std::string(g.answer()->bytes.begin(), g.answer()->bytes.end()), expected);
}

TEST_F(Kitlib, AGetAnswersInMemoryWithItsTagAndAFailureKeepsTheTag) {
    ASSERT_EQ(KITLIB_GetHttpUrl(7, 2101, Url("/pic.png"), 41), 1);
    ASSERT_TRUE(router.WaitFor(1));
    ASSERT_EQ(KITLIB_GetHttpUrl(7, 2101, Url("/missing"), 42), 1);
    ASSERT_TRUE(router.WaitFor(2));
    const Got& ok = router.got[0];
    ASSERT_NE(ok.answer(), nullptr);
    EXPECT_EQ(ok.tag, 41);
    EXPECT_EQ(std::string(ok.answer()->bytes.begin(), ok.answer()->bytes.end()), std::string("\x89PNG fake", 9));
    EXPECT_TRUE(ok.answer()->file.empty());
    EXPECT_EQ(router.got[1].answer(), nullptr);
    EXPECT_EQ(router.got[1].tag, 42);
}

TEST_F(Kitlib, DownloadWritesTheFileAndCreatesItsFolder) {
    const std::string dest = (dir / "res" / "gift" / "a.png").string();
    ASSERT_EQ(KITLIB_DownHttpUrl(7, 1766, Url("/pic.png"), dest), 1);
    ASSERT_TRUE(router.WaitFor(1));
    ASSERT_NE(router.got[0].answer(), nullptr);
    EXPECT_EQ(router.got[0].answer()->file, dest);
    std::string bytes;
    ASSERT_TRUE(files::ReadFile(dest, bytes));
    EXPECT_EQ(bytes, std::string("\x89PNG fake", 9));
}

TEST_F(Kitlib, FailuresArriveAsMessagesWithoutAnAnswer) {
    ASSERT_EQ(KITLIB_DownHttpUrl(7, 1771, Url("/missing.png"), (dir / "m.png").string()), 1);
    ASSERT_EQ(KITLIB_PostHttpUrl(7, 1748, "http://127.0.0.1:1/nothing", nullptr, 0), 1);
    ASSERT_TRUE(router.WaitFor(2));
    for (const Got& g : router.got) {
        EXPECT_EQ(g.answer(), nullptr);
        EXPECT_EQ(g.w, 0u);
    }
    EXPECT_FALSE(fs::exists(dir / "m.png"));
    // Requests that cannot even start say so at once.
    EXPECT_EQ(KITLIB_PostHttpUrl(7, 1, "not a url", nullptr, 0), 0);
    EXPECT_EQ(KITLIB_PostHttpUrl(7, 1, "ftp://host/x", nullptr, 0), 0);
    EXPECT_EQ(KITLIB_UploadHttpUrl(7, 1, Url("/echo"), (dir / "none.jpg").string()), 0);
}

// An upload's refusal says why; a post's stays a plain failure.
TEST_F(Kitlib, UploadRefusalsComeWithTheirStatusAndBody) {
    const fs::path file = dir / "v.amr";
    fs::create_directories(dir);
    ASSERT_TRUE(files::WriteFileAtomic(file.string(), "#!AMR\n"));
    ASSERT_EQ(KITLIB_UploadHttpUrl(7, 1793, Url("/refuse"), file.string()), 1);
    ASSERT_TRUE(router.WaitFor(1));
    ASSERT_NE(router.got[0].answer(), nullptr);
    EXPECT_EQ(router.got[0].answer()->status, 415);
    const auto& b = router.got[0].answer()->bytes;
    EXPECT_EQ(std::string(b.begin(), b.end()), R"({"code":1035,"error":"not voice"})");
    ASSERT_EQ(KITLIB_PostHttpUrl(7, 1727, Url("/refuse"), "x", 1), 1);
    ASSERT_TRUE(router.WaitFor(2));
    EXPECT_EQ(router.got[1].answer(), nullptr);
    // No answer at all is still a failure without payload.
    ASSERT_EQ(KITLIB_UploadHttpUrl(7, 1793, "http://127.0.0.1:1/up", file.string()), 1);
    ASSERT_TRUE(router.WaitFor(3));
    EXPECT_EQ(router.got[2].answer(), nullptr);
}

TEST_F(Kitlib, HostsAndMessageBoxes) {
    KITLIB_SetHosts("pics.local", "checkin.local");
    EXPECT_EQ(KITLIB_GetIppaddr(0), "pics.local");
    EXPECT_EQ(KITLIB_GetIppaddr(1), "checkin.local");
    EXPECT_EQ(KITLIB_GetIppaddr(2), "");
    std::string shown;
    KITLIB_SetMessageBoxHandler([&](const std::string& t, const std::string& c, int) {
        shown = c + ":" + t;
        return 1;
    });
    EXPECT_EQ(KITLIB_ShowMessageBox("登陆接入失败！", "提示", KITLIB_MB_OK), 1);
    EXPECT_EQ(shown, "提示:登陆接入失败！");
    KITLIB_SetMessageBoxHandler(nullptr);
}

// The session's id and token reach the picture host and the check-in port,
// and no other host, even one on the same machine under another name.
TEST_F(Kitlib, CredentialsGoToTheServiceHostsOnly) {
    const ServiceHosts saved = GetServiceHosts();
    const std::string here = "127.0.0.1:" + std::to_string(port);
    const auto post = [&](const std::string& url) {
        const std::size_t before = router.got.size();
        std::size_t asked = 0;
        {
            std::lock_guard<std::mutex> g(seenLock);
            asked = seen.size();
        }
        EXPECT_EQ(KITLIB_PostHttpUrl(7, 1748, url, nullptr, 0), 1);
        EXPECT_TRUE(router.WaitFor(before + 1));
        std::lock_guard<std::mutex> g(seenLock);
        return seen.size() > asked ? seen.back() : std::string("(not asked)");
    };
    KITLIB_SetCredentials(1001, "tok");
    KITLIB_SetHosts("127.0.0.1:1", "127.0.0.1:1");
    SetServiceHosts({"127.0.0.1", 8000, static_cast<std::uint16_t>(port)});
    EXPECT_EQ(post("http://" + here + "/who"), "1001|Bearer tok");  // the check-in port
    SetServiceHosts({"127.0.0.1", static_cast<std::uint16_t>(port), 1});
    EXPECT_EQ(post("http://" + here + "/who"), "|");  // the catalogue's port is not it
    KITLIB_SetHosts(here, "127.0.0.1:1");
    EXPECT_EQ(post("http://" + here + "/who"), "1001|Bearer tok");  // the picture host
    EXPECT_EQ(post("http://localhost:" + std::to_string(port) + "/who"), "|");
    KITLIB_SetCredentials(0, std::string());
    EXPECT_EQ(post("http://" + here + "/who"), "|");
    SetServiceHosts(saved);
}

// A 3xx answer fails the request: the target is never asked, so neither
// credentials nor a loop follow a redirect.
TEST_F(Kitlib, RedirectsAreNeverFollowed) {
    const ServiceHosts saved = GetServiceHosts();
    KITLIB_SetCredentials(1001, "tok");
    SetServiceHosts({"127.0.0.1", 8000, static_cast<std::uint16_t>(port)});
    ASSERT_EQ(KITLIB_PostHttpUrl(7, 2818, Url("/moved"), nullptr, 0), 1);
    ASSERT_TRUE(router.WaitFor(1));
    EXPECT_EQ(router.got[0].answer(), nullptr);
    EXPECT_EQ(router.got[0].w, 0u);
    {
        std::lock_guard<std::mutex> g(seenLock);
        EXPECT_TRUE(seen.empty());
    }
    KITLIB_SetCredentials(0, std::string());
    SetServiceHosts(saved);
}
