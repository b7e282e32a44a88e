// Downloads over loopback: whole files or none, failures that say so, and
// the waits — a time-out whose request calls back after Download returned,
// a cancel from another thread, and connections closed for idleness.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <future>
#include <random>
#include <string>
#include <thread>

#include "core/files.h"
#include "platform/wirely/wirely.h"
#include "tests/web/recording_respond.h"
#include "tests/web/scripted_server.h"
#include "web/http_down.h"
#include "web/http_public.h"

using namespace web;
using namespace webtest;
namespace fs = std::filesystem;
using std::chrono::milliseconds;

namespace {

class Downloads : public testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("zeri_down_" + std::to_string(::getpid()) + "_" +
                testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        http_down::SetWaitTimes(milliseconds(300000), milliseconds(20000));
        wirely_set_idle_ms(30000);
        fs::remove_all(dir_);
    }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    std::size_t Entries() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir_), {}));
    }
    fs::path dir_;
};

std::string Pattern(std::size_t n) {
    std::string s(n, '\0');
    std::mt19937 random(5);
    for (char& c : s) c = static_cast<char>(random());
    return s;
}

struct SinkRecord : down_sink {
    std::promise<bool> done;
    void on_down_fail() override { done.set_value(false); }
    void on_down_ok() override { done.set_value(true); }
};

}  // namespace

TEST_F(Downloads, ABodyOverSeveralBlocksIsWrittenInOrder) {
    const std::string body = Pattern(3 * 10240 + 123);
    std::vector<Piece> pieces{{"HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) +
                               "\r\n\r\n"}};
    for (std::size_t at = 0; at < body.size(); at += 5000) pieces.push_back({body.substr(at, 5000), 1});
    ScriptedServer server(pieces);
    ASSERT_EQ(CHttpPublic::Download(server.Url("/big.bin"), Path("big.bin")), 1);
    std::string back;
    ASSERT_TRUE(files::ReadFile(Path("big.bin"), back));
    EXPECT_EQ(back, body);
    EXPECT_EQ(Entries(), 1u);
}

TEST_F(Downloads, WithASinkTheResultComesOnceAfterTheFileIsWhole) {
    ScriptedServer server({{Answer200("picture")}});
    SinkRecord ok;
    auto okDone = ok.done.get_future();
    ASSERT_EQ(CHttpPublic::Download(server.Url("/v.bmp"), Path("v.bmp"), &ok), 1);
    ASSERT_EQ(okDone.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    EXPECT_TRUE(okDone.get());
    std::string back;
    ASSERT_TRUE(files::ReadFile(Path("v.bmp"), back));
    EXPECT_EQ(back, "picture");

    SinkRecord bad;
    auto badDone = bad.done.get_future();
    ASSERT_EQ(CHttpPublic::Download("http://127.0.0.1:" + std::to_string(ClosedPort()) + "/v.bmp",
                                    Path("w.bmp"), &bad),
              1);
    ASSERT_EQ(badDone.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    EXPECT_FALSE(badDone.get());
    EXPECT_EQ(CHttpPublic::Download("ftp://x/y", Path("w.bmp"), &bad), 0);  // never started
}

TEST_F(Downloads, FailuresLeaveTheOldFileAndNoTemporary) {
    ASSERT_TRUE(files::WriteFileAtomic(Path("keep.png"), "old"));
    const std::vector<std::string> answers = {
        "HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\n\r\nnone",
        "HTTP/1.1 200 OK\r\n\r\nno length, then the close",
        "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nshort",  // the server closes early
        "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nsurplus",
        "HTTP/1.1 200 OK\r\nContent-Length: 0\r\nContent-Length: 1\r\n\r\n",
    };
    for (const std::string& a : answers) {
        ScriptedServer server({{a}});
        EXPECT_EQ(CHttpPublic::Download(server.Url("/keep.png"), Path("keep.png")), 0) << a;
    }
    EXPECT_EQ(CHttpPublic::Download("http://127.0.0.1:" + std::to_string(ClosedPort()) + "/k.png",
                                    Path("keep.png")),
              0);
    std::string back;
    ASSERT_TRUE(files::ReadFile(Path("keep.png"), back));
    EXPECT_EQ(back, "old");
    EXPECT_EQ(Entries(), 1u);
}

TEST_F(Downloads, AFileThatCannotBeCreatedIsAFailure) {
    ScriptedServer server({{Answer200("body")}});
    EXPECT_EQ(CHttpPublic::Download(server.Url("/a.png"), Path("missing/folder/a.png")), 0);
    ScriptedServer again({{Answer200("body")}});
    EXPECT_EQ(CHttpPublic::Download(again.Url("/a.png"), dir_.string()), 0);  // a folder is in the way
}

TEST_F(Downloads, AnEmptyBodyIsSavedOnlyWhenTheServerSaidSo) {
    ScriptedServer server({{Answer200("")}});
    ASSERT_EQ(CHttpPublic::Download(server.Url("/empty"), Path("empty")), 1);
    EXPECT_TRUE(fs::exists(Path("empty")));
    EXPECT_EQ(fs::file_size(Path("empty")), 0u);
}

TEST_F(Downloads, ATimedOutWaitAbortsAndReturnsWithinItsGrace) {
    http_down::SetWaitTimes(milliseconds(300), milliseconds(20000));
    ScriptedServer server({{"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nnot all"}}, End::Hold);
    EXPECT_EQ(CHttpPublic::Download(server.Url("/slow.png"), Path("slow.png")), 0);
    EXPECT_TRUE(server.WaitClientCloses(1));  // the abort closed the connection
    EXPECT_EQ(Entries(), 0u);
}

TEST_F(Downloads, ATimedOutRequestCallingBackAfterDownloadReturnedFreesItself) {
    // A blocker holds the library's one thread inside a callback, so the
    // download can neither connect nor be aborted within its wait and grace.
    ScriptedServer blockSite({{"HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nxx"}});
    ScriptedServer slowSite({{Answer200("too late")}});
    std::promise<void> blocked, unblock;
    std::shared_future<void> gate = unblock.get_future().share();
    std::atomic<bool> first{true};
    RecordingRespond blocker;
    blocker.onBody = [&] {
        if (!first.exchange(false)) return;
        blocked.set_value();
        gate.wait();
    };
    ASSERT_NE(http_get(&blocker, blockSite.Url("/block")), nullptr);
    ASSERT_EQ(blocked.get_future().wait_for(std::chrono::seconds(20)), std::future_status::ready);

    http_down::SetWaitTimes(milliseconds(100), milliseconds(100));
    EXPECT_EQ(CHttpPublic::Download(slowSite.Url("/late.png"), Path("late.png")), 0);

    // Now the late connect, abort and release reach the abandoned download.
    unblock.set_value();
    ASSERT_TRUE(blocker.WaitReleased());
    http_down::SetWaitTimes(milliseconds(20000), milliseconds(20000));
    ScriptedServer next({{Answer200("fine")}});
    EXPECT_EQ(CHttpPublic::Download(next.Url("/next.png"), Path("next.png")), 1);
    EXPECT_FALSE(fs::exists(Path("late.png")));  // a body after the abort is not saved
}

TEST_F(Downloads, ACancelFromAnotherThreadEndsTheWaitAtOnce) {
    // With the full 300 s wait, only the cancel can end this download in time.
    ScriptedServer server({{"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nnot all"}}, End::Hold);
    DownloadCancel cancel;
    std::future<int> result = std::async(std::launch::async, [&] {
        return CHttpPublic::Download(server.Url("/c.png"), Path("c.png"), nullptr, &cancel);
    });
    ASSERT_TRUE(server.WaitRequests(1));
    cancel.Cancel();
    ASSERT_EQ(result.wait_for(std::chrono::seconds(60)), std::future_status::ready);
    EXPECT_EQ(result.get(), 0);
    EXPECT_TRUE(server.WaitClientCloses(1));

    // Tripped stays tripped: nothing more is fetched until Reset.
    ScriptedServer other({{Answer200("x")}});
    EXPECT_EQ(CHttpPublic::Download(other.Url("/d.png"), Path("d.png"), nullptr, &cancel), 0);
    EXPECT_EQ(other.Connections(), 0);
    cancel.Reset();
    EXPECT_EQ(CHttpPublic::Download(other.Url("/d.png"), Path("d.png"), nullptr, &cancel), 1);
    EXPECT_EQ(Entries(), 1u);
}

TEST_F(Downloads, AConnectionIdleTooLongIsClosed) {
    wirely_set_idle_ms(300);
    ScriptedServer server({{"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nnot all"}}, End::Hold);
    RecordingRespond r;
    ASSERT_NE(http_get(&r, server.Url("/idle")), nullptr);
    ASSERT_TRUE(r.WaitReleased());
    EXPECT_EQ(r.Events(), (std::vector<std::string>{"part", "closed", "released"}));
    EXPECT_TRUE(server.WaitClientCloses(1));
    // A slow answer that keeps coming is not idle.
    std::vector<Piece> drip{{"HTTP/1.1 200 OK\r\nContent-Length: 6\r\n\r\n"}};
    for (char c : std::string("steady")) drip.push_back({std::string(1, c), 150});
    ScriptedServer slow(drip);
    EXPECT_EQ(CHttpPublic::Download(slow.Url("/drip"), Path("drip")), 1);
}
