// The daily log: naming, appending, the UTC-day switch, cuts and concurrency.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/files.h"
#include "core/log.h"
#include "core/paths.h"

namespace fs = std::filesystem;

namespace {

std::time_t g_now = 0;
std::time_t FakeNow() { return g_now; }

class LogTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("zeri-log-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        paths::SetDataFolderOverride(dir_.string());
        oldTz_ = std::getenv("TZ") ? std::getenv("TZ") : "";
        log_reset();
    }
    void TearDown() override {
        log_set_time_source(nullptr);
        log_reset();
        paths::SetDataFolderOverride("");
        SetTz(oldTz_);
        fs::remove_all(dir_);
    }
    static void SetTz(const std::string& tz) {
        if (tz.empty())
            ::unsetenv("TZ");
        else
            ::setenv("TZ", tz.c_str(), 1);
        ::tzset();
    }
    std::string Read(const std::string& name) {
        std::string s;
        files::ReadFile((dir_ / "log" / name).string(), s);
        return s;
    }
    std::vector<std::string> LogFiles() {
        std::vector<std::string> out;
        if (!fs::exists(dir_ / "log")) return out;
        for (auto& e : fs::directory_iterator(dir_ / "log")) out.push_back(e.path().filename());
        std::sort(out.begin(), out.end());
        return out;
    }
    fs::path dir_;
    std::string oldTz_;
};

// 2026-12-05 12:00:00 UTC
constexpr std::time_t kDec5Noon = 1796472000;

}  // namespace

TEST_F(LogTest, FileIsNamedByLocalDateWithoutLeadingZerosAndLinesCarryTagAndThread) {
    SetTz("UTC");
    g_now = kDec5Noon;
    log_set_time_source(FakeNow);
    log_msg("hello %d", 7);
    ASSERT_EQ(LogFiles(), std::vector<std::string>{"log_2026_12_5.log"});
    const std::string text = Read("log_2026_12_5.log");
    // "HH:MM:SS TTTTTTTT [msg]->hello 7\n"
    ASSERT_EQ(text.size(), std::string("12:00:00 00000000 [msg]->hello 7\n").size());
    EXPECT_EQ(text.substr(0, 9), "12:00:00 ");
    for (int i = 9; i < 17; ++i) EXPECT_TRUE(std::isxdigit(text[i]) && !std::islower(text[i]));
    EXPECT_EQ(text.substr(17), " [msg]->hello 7\n");
}

TEST_F(LogTest, LevelsCarryTheirTags) {
    SetTz("UTC");
    g_now = kDec5Noon;
    log_set_time_source(FakeNow);
    log_write(0, "a\n");
    log_write(2, "b\n");
    log_write(9, "c\n");
    log_debug("d");
    const std::string text = Read("log_2026_12_5.log");
    EXPECT_NE(text.find("[dbg]->a\n"), std::string::npos);
    EXPECT_NE(text.find("[wan]->b\n"), std::string::npos);
    EXPECT_NE(text.find("[???]->c\n"), std::string::npos);
    EXPECT_NE(text.find("[]->d\n"), std::string::npos);
}

TEST_F(LogTest, FirstLineOfARunAppendsToAnExistingFile) {
    SetTz("UTC");
    g_now = kDec5Noon;
    log_set_time_source(FakeNow);
    fs::create_directories(dir_ / "log");
    std::ofstream(dir_ / "log" / "log_2026_12_5.log") << "earlier run\n";
    log_msg("later run");
    const std::string text = Read("log_2026_12_5.log");
    EXPECT_EQ(text.rfind("earlier run\n", 0), 0u);
    EXPECT_NE(text.find("later run"), std::string::npos);
}

TEST_F(LogTest, SwitchFollowsUtcDayWhileNameFollowsLocalDateAtOpening) {
    // Nine hours east of UTC: local midnight comes at 15:00 UTC.
    SetTz("XST-9");
    log_set_time_source(FakeNow);
    g_now = kDec5Noon;  // 21:00 local on the 5th
    log_msg("one");
    g_now = kDec5Noon + 4 * 3600;  // 01:00 local on the 6th, still 5 Dec in UTC
    log_msg("two");
    EXPECT_EQ(LogFiles(), std::vector<std::string>{"log_2026_12_5.log"});
    g_now = kDec5Noon + 13 * 3600;  // 01:00 UTC on the 6th, 10:00 local on the 6th
    log_msg("three");
    EXPECT_EQ(LogFiles(), (std::vector<std::string>{"log_2026_12_5.log", "log_2026_12_6.log"}));
    EXPECT_NE(Read("log_2026_12_5.log").find("two"), std::string::npos);
    EXPECT_NE(Read("log_2026_12_6.log").find("three"), std::string::npos);
    EXPECT_EQ(Read("log_2026_12_6.log").find("two"), std::string::npos);
}

TEST_F(LogTest, LongMessageIsCutTo1022CharactersPlusNewline) {
    SetTz("UTC");
    g_now = kDec5Noon;
    log_set_time_source(FakeNow);
    log_msg("%s", std::string(2000, 'x').c_str());
    const std::string text = Read("log_2026_12_5.log");
    const auto arrow = text.find("->");
    ASSERT_NE(arrow, std::string::npos);
    EXPECT_EQ(text.substr(arrow + 2), std::string(1022, 'x') + "\n");
}

TEST_F(LogTest, ErrorLineCarriesTheLabelAndTheSystemText) {
    SetTz("UTC");
    g_now = kDec5Noon;
    log_set_time_source(FakeNow);
    errno = ECONNREFUSED;
    log_err("connect fail %d", 3);
    const std::string text = Read("log_2026_12_5.log");
    EXPECT_NE(text.find("[err]->connect fail 3\n\t\t\t当前系统错误码: " +
                        std::string(std::strerror(ECONNREFUSED)) + "\r\n"),
              std::string::npos);
    // A text ending in CR LF keeps it and gains one more line feed.
    log_msg("proxy connect\r\n");
    EXPECT_NE(Read("log_2026_12_5.log").find("proxy connect\r\n\n"), std::string::npos);
}

TEST_F(LogTest, StandardErrorGetsEachLineOnceWithoutAnEmptyLineAfterIt) {
    SetTz("UTC");
    g_now = kDec5Noon;
    log_set_time_source(FakeNow);
    testing::internal::CaptureStderr();
    log_msg("proxy connect\r\n");
    log_msg("plain");
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("[msg]->proxy connect\n"), std::string::npos) << err;
    EXPECT_NE(err.find("[msg]->plain\n"), std::string::npos) << err;
    EXPECT_EQ(err.find("\r"), std::string::npos);
    EXPECT_EQ(err.find("\n\n"), std::string::npos);
}

TEST_F(LogTest, UncreatableFolderSkipsTheLineAndTheNextLineTriesAgain) {
    SetTz("UTC");
    g_now = kDec5Noon;
    log_set_time_source(FakeNow);
    fs::create_directories(dir_);
    std::ofstream(dir_ / "log") << "a file where the folder should be";
    log_msg("lost");
    fs::remove(dir_ / "log");
    log_msg("kept");
    const std::string text = Read("log_2026_12_5.log");
    EXPECT_EQ(text.find("lost"), std::string::npos);
    EXPECT_NE(text.find("kept"), std::string::npos);
}

TEST_F(LogTest, ConcurrentWritersNeverInterleaveLines) {
    SetTz("UTC");
    constexpr int kThreads = 4, kLines = 300;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < kLines; ++i)
                log_msg("writer %d line %d %s", t, i, std::string(100, char('a' + t)).c_str());
        });
    for (auto& th : threads) th.join();
    auto names = LogFiles();
    ASSERT_FALSE(names.empty());
    std::string all;
    for (auto& n : names) all += Read(n);
    std::istringstream in(all);
    std::string line;
    std::set<std::string> seen;
    int count = 0;
    while (std::getline(in, line)) {
        ++count;
        const auto arrow = line.find("]->writer ");
        ASSERT_NE(arrow, std::string::npos) << line;
        int t = -1, i = -1;
        ASSERT_EQ(std::sscanf(line.c_str() + arrow + 3, "writer %d line %d", &t, &i), 2);
        EXPECT_EQ(line.substr(line.size() - 100), std::string(100, char('a' + t)));
        seen.insert(line.substr(arrow));
    }
    EXPECT_EQ(count, kThreads * kLines);
    EXPECT_EQ(seen.size(), size_t(kThreads * kLines));
}
