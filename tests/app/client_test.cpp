// The whole client in-process, headless, against an in-process zeri-server:
// the start-up order through the log, a failed account connection, and a
// sign-in from the flags into a room with the room session.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "app/client.h"
#include "core/files.h"
#include "core/log.h"
#include "core/paths.h"
#include "tests/support/account_server.h"

using namespace std::chrono_literals;
using testsupport::AccountServer;

namespace {

class Client : public ::testing::Test {
protected:
    void SetUp() override {
        cwd_ = std::filesystem::current_path();
        paths::SetDataFolderOverride(data.path());
        log_reset();
        opt.server = "127.0.0.1";
        opt.headless = true;
        opt.user = "alice";
        opt.password = "alice-demo";
        ports.relay = srv.relayPort();
        ports.account = srv.accountPort();
        ports.services = srv.accountPort();
        ports.pictures = testsupport::ClosedPort();
    }
    void TearDown() override {
        log_reset();
        paths::SetDataFolderOverride("");
        std::filesystem::current_path(cwd_);
    }

    int Run(const ClientIo& io) {
        static char name[] = "zeri";
        static char* argv[] = {name, nullptr};
        return RunClient(1, argv, opt, ports, io);
    }

    // Every line the log holds, in order.
    std::vector<std::string> LogLines() {
        log_reset();
        std::vector<std::string> out;
        for (const auto& f : std::filesystem::directory_iterator(data.path() + "log")) {
            std::ifstream in(f.path());
            for (std::string line; std::getline(in, line);) out.push_back(line);
        }
        return out;
    }
    // Index of the first line after `from` that contains `text`; -1 if none.
    static int Find(const std::vector<std::string>& lines, const std::string& text, int from = 0) {
        for (int i = from; i < static_cast<int>(lines.size()); ++i)
            if (lines[i].find(text) != std::string::npos) return i;
        return -1;
    }
    static int Count(const std::vector<std::string>& lines, const std::string& text) {
        int n = 0;
        for (const auto& l : lines) n += l.find(text) != std::string::npos;
        return n;
    }
    // The steps appear in this order, each once.
    static void ExpectInOrder(const std::vector<std::string>& lines,
                              const std::vector<std::string>& steps) {
        int at = 0;
        for (const std::string& s : steps) {
            EXPECT_EQ(Count(lines, s), 1) << s;
            const int i = Find(lines, s, at);
            EXPECT_GE(i, at) << s << " out of order";
            if (i >= 0) at = i;
        }
    }

    AccountServer srv;
    testsupport::TempFolder data;
    ClientOptions opt;
    ClientPorts ports;
    std::filesystem::path cwd_;
};

std::string ReadAll(FILE* f) {
    std::fflush(f);
    std::rewind(f);
    std::string s;
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) s.append(buf, n);
    return s;
}

}  // namespace

TEST_F(Client, AnUnreachableAccountServiceGivesOneNoticeAndOneLogLineAndEndsInOrder) {
    ports.account = testsupport::ClosedPort();
    FILE* err = std::tmpfile();
    FILE* out = std::tmpfile();
    ClientIo io;
    io.out = out;
    io.err = err;
    io.in = -1;
    EXPECT_EQ(Run(io), client_exit::account_unreachable);
    EXPECT_EQ(ReadAll(err), "提示: 登陆接入失败！\n");
    EXPECT_EQ(ReadAll(out), "");
    std::fclose(err);
    std::fclose(out);

    const auto lines = LogLines();
    EXPECT_EQ(Count(lines, "PATRON_Connect fail ExitProcess"), 1);
    ExpectInOrder(lines, {"startup 1 application", "startup 2 image formats", "startup 3 resource path",
                          "startup 4 conf folder", "startup 5 current directory",
                          "startup 6 connection library", "startup 7 av connection",
                          "startup 8 video library", "PATRON_Connect fail ExitProcess",
                          "startup 9 not signed in", "startup teardown room window",
                          "startup teardown account", "startup teardown video library",
                          "startup teardown connections", "startup teardown application"});
    EXPECT_EQ(Find(lines, "event loop"), -1);
    EXPECT_TRUE(paths::DirExists(data.path() + "conf/"));
    EXPECT_EQ(std::filesystem::current_path().string() + "/", paths::ExeFolder());
}

TEST_F(Client, HeadlessSignInFromTheFlagsEntersTheRoomAndTypedLinesGoToTheChat) {
    opt.room = 1001;
    int outPipe[2], inPipe[2];
    ASSERT_EQ(::pipe(outPipe), 0);
    ASSERT_EQ(::pipe(inPipe), 0);
    FILE* out = ::fdopen(outPipe[1], "w");
    FILE* err = std::tmpfile();

    // Reads what the client prints; types a line once the room is entered,
    // then ends the input, which ends the client.
    std::vector<std::string> printed;
    std::atomic<bool> typed{false};
    std::atomic<int> inFd{inPipe[1]};
    auto endInput = [&] {
        const int fd = inFd.exchange(-1);
        if (fd >= 0) ::close(fd);
    };
    std::thread reader([&] {
        FILE* in = ::fdopen(outPipe[0], "r");
        char line[4096];
        while (std::fgets(line, sizeof line, in)) {
            std::string s(line);
            if (!s.empty() && s.back() == '\n') s.pop_back();
            printed.push_back(s);
            if (s == "tip: 登录频道成功！" && !typed.exchange(true)) {
                // Blank: the chat refuses it before powers or the network.
                const char text[] = "   \n";
                EXPECT_EQ(::write(inFd.load(), text, sizeof text - 1), ssize_t(sizeof text - 1));
            }
            if (s == "tip: 发送内容不能为空") endInput();
        }
        std::fclose(in);
    });
    // Whatever happens, the input ends within the limit.
    std::atomic<bool> finished{false};
    std::thread watchdog([&] {
        for (int i = 0; i < 300 && !finished; ++i) std::this_thread::sleep_for(100ms);
        endInput();
    });

    ClientIo io;
    io.out = out;
    io.err = err;
    io.in = inPipe[0];
    EXPECT_EQ(Run(io), 0);
    finished = true;
    std::fclose(out);  // the reader sees the end
    reader.join();
    watchdog.join();
    ::close(inPipe[0]);

    ASSERT_TRUE(typed) << "never entered the room; printed " << printed.size() << " lines";
    EXPECT_NE(std::find(printed.begin(), printed.end(), "tip: 发送内容不能为空"), printed.end());
    EXPECT_EQ(std::count(printed.begin(), printed.end(), "tip: 登录频道成功！"), 1);
    EXPECT_EQ(ReadAll(err), "");
    std::fclose(err);

    const auto lines = LogLines();
    ExpectInOrder(lines, {"startup 1 application", "startup 4 conf folder", "startup 6 connection library",
                          "startup 7 av connection", "startup 8 video library",
                          "patron sign-in ok user=10001", "startup 9 signed in",
                          "startup 10 event loop", "control login succeed", "app  exit",
                          "startup 11 event loop ended", "startup teardown room window",
                          "startup teardown account", "startup teardown video library",
                          "startup teardown connections", "startup teardown application"});
    // The exit path signed out: the token is dead on the server.
    EXPECT_EQ(srv.db().CheckToken(10001, std::string(64, '0'), std::time(nullptr)),
              server::TokenCheck::no_token);
    std::string last;
    ASSERT_TRUE(files::ReadFile(data.path() + "conf/last_user", last));
    EXPECT_EQ(last, "alice\n");
}

TEST_F(Client, AWrongPasswordEndsWithItsCodeAfterTheServiceSaysWhy) {
    opt.password = "wrong";
    FILE* err = std::tmpfile();
    ClientIo io;
    io.out = nullptr;
    io.err = err;
    io.in = -1;
    EXPECT_EQ(Run(io), client_exit::sign_in_refused);
    std::fclose(err);
    const auto lines = LogLines();
    EXPECT_EQ(Count(lines, "PATRON_Connect fail"), 0);
    ExpectInOrder(lines, {"startup 8 video library", "startup 9 not signed in",
                          "startup teardown application"});
}

TEST_F(Client, AHeadlessRunForARoomThatIsNotThereEndsWithItsCodeAndTheServersWords) {
    opt.room = 9999;
    FILE* err = std::tmpfile();
    FILE* out = std::tmpfile();
    ClientIo io;
    io.out = out;
    io.err = err;
    io.in = -1;
    EXPECT_EQ(Run(io), client_exit::room_refused);
    EXPECT_EQ(ReadAll(err), "zeri: room 9999 refused: 房间不存在\n");
    std::fclose(err);
    std::fclose(out);
    // Still an orderly end: signed out, torn down.
    // The log names the refused answer, not its number.
    ExpectInOrder(LogLines(), {"startup 10 event loop", "Control_Login_Resp error=房间不存在",
                               "app  exit", "startup teardown application"});
}

TEST_F(Client, ADataFolderThatCannotBeMadeEndsBeforeAnythingStarts) {
    const std::string file = data.path() + "a-file";
    ASSERT_TRUE(files::WriteFileAtomic(file, "x"));
    paths::SetDataFolderOverride(file);
    FILE* err = std::tmpfile();
    ClientIo io;
    io.out = nullptr;
    io.err = err;
    io.in = -1;
    EXPECT_EQ(Run(io), client_exit::data_folder);
    EXPECT_NE(ReadAll(err).find("zeri: cannot use the data folder"), std::string::npos);
    std::fclose(err);
}
