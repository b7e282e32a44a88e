// The whole client in-process, headless, against an in-process zeri-server:
// the start-up order through the log, a failed account connection, a
// sign-in from the flags into a room with the room session, and what a
// script reading standard output sees when another member talks to it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <sstream>
#include <thread>

#include "app/client.h"
#include "core/files.h"
#include "core/log.h"
#include "core/paths.h"
#include "net/catalogue_chat.h"
#include "net/catalogue_room.h"
#include "tests/server/server_fixture.h"
#include "tests/support/account_server.h"

using namespace std::chrono_literals;
using testsupport::AccountServer;

namespace {

std::string ReadAll(FILE* f) {
    std::fflush(f);
    std::rewind(f);
    std::string s;
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) s.append(buf, n);
    return s;
}

// A temporary file standing in for one of the client's streams.
class TempStream {
public:
    TempStream() : f_(std::tmpfile()) {}
    ~TempStream() { std::fclose(f_); }
    TempStream(const TempStream&) = delete;
    TempStream& operator=(const TempStream&) = delete;
    FILE* get() const { return f_; }
    std::string Text() const { return ReadAll(f_); }

private:
    FILE* f_;
};

ClientIo Io(FILE* out, FILE* err, int in = -1) {
    ClientIo io;
    io.out = out;
    io.err = err;
    io.in = in;
    return io;
}

// The headless client's standard input, typed into from another thread.
class Keyboard {
public:
    explicit Keyboard(int fd) : fd_(fd) {}
    ~Keyboard() { End(); }
    void Type(const std::string& line) {
        std::lock_guard<std::mutex> g(lock_);
        if (fd_ < 0) return;
        const std::string text = line + "\n";
        EXPECT_EQ(::write(fd_, text.data(), text.size()), ssize_t(text.size())) << line;
    }
    // The end of input, which ends the client.
    void End() {
        std::lock_guard<std::mutex> g(lock_);
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    std::mutex lock_;
    int fd_;
};

// What a script reading the headless client's standard output can rely on:
// "kind: text", one of the documented kinds, and no control character other
// than tab. Empty when the line is fine, otherwise why not.
std::string WhyNotADocumentedLine(const std::string& line) {
    static const char* const kKinds[] = {"tip",   "notice", "box", "chat",     "fail",  "user",
                                         "queue", "mic",    "help", "speaking", "volume",
                                         "video", "record", "balance", "pelto", "buy",
                                         "shop", "vip", "mycars", "myvip", "pack", "prompt",
                                         "billboard", "flowers", "voice"};
    const std::size_t colon = line.find(": ");
    const std::string kind = colon == std::string::npos ? "" : line.substr(0, colon);
    if (std::find(std::begin(kKinds), std::end(kKinds), kind) == std::end(kKinds))
        return "not a documented kind";
    for (unsigned char c : line)
        if ((c < 0x20 && c != '\t') || c == 0x7f) return "a raw control character";
    return {};
}

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
        ports.catalogue = srv.cataloguePort();
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

    struct Heard {
        int status = -1;
        std::vector<std::string> printed;  // standard output, line by line
        std::string err;                   // the client's error stream
    };
    // A headless run with typed input. Every line on the process's standard
    // output (any writer, not only the room's view) goes to `react` on the
    // reading thread, which may type or end the input; the input ends at
    // the latest after 30 s.
    Heard Converse(const std::function<void(const std::string&, Keyboard&)>& react) {
        Heard heard;
        int outPipe[2], inPipe[2];
        if (::pipe(outPipe) != 0 || ::pipe(inPipe) != 0) {
            ADD_FAILURE() << "no pipes";
            return heard;
        }
        Keyboard keyboard(inPipe[1]);
        // Read all the while, so the client never waits on a full pipe.
        std::thread reader([&] {
            FILE* in = ::fdopen(outPipe[0], "r");
            char* line = nullptr;
            std::size_t cap = 0;
            for (ssize_t n; (n = ::getline(&line, &cap, in)) >= 0;) {
                std::string s(line, static_cast<std::size_t>(n));
                if (!s.empty() && s.back() == '\n') s.pop_back();
                heard.printed.push_back(s);
                react(s, keyboard);
            }
            std::free(line);
            std::fclose(in);
        });
        std::atomic<bool> finished{false};
        std::thread watchdog([&] {
            for (int i = 0; i < 300 && !finished; ++i) std::this_thread::sleep_for(100ms);
            keyboard.End();
        });

        TempStream err;
        std::fflush(stdout);
        const int saved = ::dup(1);
        ::dup2(outPipe[1], 1);
        ::close(outPipe[1]);
        heard.status = Run(Io(stdout, err.get(), inPipe[0]));
        std::fflush(stdout);
        ::dup2(saved, 1);  // the pipe's last writer gone: the reader sees the end
        ::close(saved);
        finished = true;
        reader.join();
        watchdog.join();
        ::close(inPipe[0]);
        heard.err = err.Text();
        return heard;
    }

    // Another member of a room, speaking the relay's protocol by hand.
    std::unique_ptr<srvtest::RawClient> Member(const testsupport::DemoLogin& who,
                                               std::uint32_t room) {
        auto c = std::make_unique<srvtest::RawClient>(srv.relayPort(), "pc_chat");
        msg::Control_Login_Req r;
        r.user_id = who.id;
        r.room_id = room;
        r.nickname = who.name;
        r.token = srv.db().IssueToken(who.id, std::time(nullptr), 3600);
        auto resp = c->Ask<msg::Control_Login_Resp>(kChatChannel, r);
        EXPECT_TRUE(resp && resp->ok()) << who.name << " not in room " << room;
        return c;
    }
    static void Say(srvtest::RawClient& c, const testsupport::DemoLogin& who,
                    const std::string& text) {
        msg::chat_attrs a;
        a.nickname = who.name;
        c.Send(kChatChannel, msg::make_chat_req(who.id, text, 0, 0, a));
    }
    // The texts of the chat lines a member has been sent, until nothing
    // more comes for a moment.
    static std::vector<std::string> LinesHeard(srvtest::RawClient& c) {
        std::vector<std::string> texts;
        while (auto f = c.Next(500ms)) {
            if (f->command != msg::Control_Chat_Notify::id) continue;
            const auto n = srvtest::Decode<msg::Control_Chat_Notify>(f->payload);
            texts.emplace_back(msg::chat_line_text(n.line));
        }
        return texts;
    }
    static constexpr std::uint8_t kChatChannel = 1;

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

}  // namespace

TEST_F(Client, AnUnreachableAccountServiceGivesOneNoticeAndOneLogLineAndEndsInOrder) {
    ports.account = testsupport::ClosedPort();
    TempStream out, err;
    EXPECT_EQ(Run(Io(out.get(), err.get())), client_exit::account_unreachable);
    EXPECT_EQ(err.Text(), "提示: 登陆接入失败！\n");
    EXPECT_EQ(out.Text(), "");

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
    // Types a line once the room is entered, then ends the input, which
    // ends the client.
    bool typed = false;
    const Heard heard = Converse([&](const std::string& s, Keyboard& keys) {
        if (s == "tip: 登录频道成功！" && !typed) {
            typed = true;
            keys.Type("   ");  // blank: the chat refuses it before powers or the network
        }
        if (s == "tip: 发送内容不能为空") keys.End();
    });
    EXPECT_EQ(heard.status, 0);
    const auto& printed = heard.printed;
    ASSERT_TRUE(typed) << "never entered the room; printed " << printed.size() << " lines";
    EXPECT_NE(std::find(printed.begin(), printed.end(), "tip: 发送内容不能为空"), printed.end());
    EXPECT_EQ(std::count(printed.begin(), printed.end(), "tip: 登录频道成功！"), 1);
    EXPECT_EQ(heard.err, "");

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

TEST_F(Client, StandardOutputCarriesOnlyDocumentedLinesWithAPeersControlCharactersShownEscaped) {
    using testsupport::kBob;
    opt.room = 1001;
    std::unique_ptr<srvtest::RawClient> bob;
    bool typed = false;
    const Heard heard = Converse([&](const std::string& s, Keyboard& keys) {
        const bool chat = s.rfind("chat: ", 0) == 0;
        if (s == "tip: 登录频道成功！" && !bob) {
            // A peer whose line would recolour, ring and clear a terminal.
            bob = Member(kBob, 1001);
            Say(*bob, kBob, "\x1b[31mred-alert\x07 and \x1b[2J gone\x7f");
        }
        if (chat && s.find("red-alert") != std::string::npos && !typed) {
            typed = true;
            // Commands that print lines of their own kinds, then a line of
            // mine whose echo ends the run.
            for (const char* line : {"/help", "/users", "/state", "/mic", "/queue", "hi-bob"})
                keys.Type(line);
        }
        if (chat && s.find("hi-bob") != std::string::npos) keys.End();
    });
    EXPECT_EQ(heard.status, 0);
    ASSERT_TRUE(bob) << "never entered the room";

    std::string undocumented;
    for (const std::string& line : heard.printed)
        if (const std::string why = WhyNotADocumentedLine(line); !why.empty())
            undocumented += why + ": " + line + "\n";
    EXPECT_EQ(undocumented, "");
    // Each of those kinds was printed: the run covered them.
    for (const char* kind : {"tip: ", "chat: ", "help: ", "user: ", "mic: "})
        EXPECT_TRUE(std::any_of(heard.printed.begin(), heard.printed.end(),
                                [&](const std::string& l) { return l.rfind(kind, 0) == 0; }))
            << "no " << kind << "line";

    const auto red =
        std::find_if(heard.printed.begin(), heard.printed.end(),
                     [](const std::string& l) { return l.find("red-alert") != std::string::npos; });
    ASSERT_NE(red, heard.printed.end());
    EXPECT_NE(red->find("\\x1b[31mred-alert\\x07 and \\x1b[2J gone\\x7f"), std::string::npos)
        << *red;
    EXPECT_NE(red->find("(10002)"), std::string::npos) << *red;  // from bob
    EXPECT_EQ(heard.err, "");
}

TEST_F(Client, AHeadlessToWithoutAnIdSendsNothingAndPrintsTheUsage) {
    using testsupport::kBob;
    opt.room = 1001;
    std::unique_ptr<srvtest::RawClient> bob;
    const Heard heard = Converse([&](const std::string& s, Keyboard& keys) {
        if (s == "tip: 登录频道成功！" && !bob) {
            bob = Member(kBob, 1001);
            // Typing waits for his line: alice knows he is here, so nothing
            // but the missing id can hold back what she types.
            Say(*bob, kBob, "bob-ready");
        }
        const bool chat = s.rfind("chat: ", 0) == 0;
        if (chat && s.find("bob-ready") != std::string::npos)
            for (const char* line : {"/to", "/to bob secret", "/to   ", "alice-after"})
                keys.Type(line);
        if (chat && s.find("alice-after") != std::string::npos) keys.End();
    });
    EXPECT_EQ(heard.status, 0);
    ASSERT_TRUE(bob) << "never entered the room";
    EXPECT_EQ(std::count(heard.printed.begin(), heard.printed.end(), "tip: usage: /to ID text"), 3);
    for (const std::string& line : heard.printed)
        EXPECT_EQ(line.find("secret"), std::string::npos) << "echoed as sent: " << line;
    // Bob heard the line after, and nothing of the refused ones.
    const auto texts = LinesHeard(*bob);
    ASSERT_EQ(texts.size(), 1u) << (texts.empty() ? "" : texts.front());
    EXPECT_NE(texts.front().find("alice-after"), std::string::npos) << texts.front();
}

TEST_F(Client, AWrongPasswordEndsWithItsCodeAfterTheServiceSaysWhy) {
    opt.password = "wrong";
    TempStream err;
    EXPECT_EQ(Run(Io(nullptr, err.get())), client_exit::sign_in_refused);
    const auto lines = LogLines();
    EXPECT_EQ(Count(lines, "PATRON_Connect fail"), 0);
    ExpectInOrder(lines, {"startup 8 video library", "startup 9 not signed in",
                          "startup teardown application"});
}

TEST_F(Client, AHeadlessRunForARoomThatIsNotThereEndsWithItsCodeAndTheServersWords) {
    opt.room = 9999;
    TempStream out, err;
    EXPECT_EQ(Run(Io(out.get(), err.get())), client_exit::room_refused);
    EXPECT_EQ(err.Text(), "zeri: room 9999 refused: 房间不存在\n");
    // Still an orderly end: signed out, torn down.
    // The log names the refused answer, not its number.
    ExpectInOrder(LogLines(), {"startup 10 event loop", "Control_Login_Resp error=房间不存在",
                               "app  exit", "startup teardown application"});
}

TEST_F(Client, ADataFolderThatCannotBeMadeEndsBeforeAnythingStarts) {
    const std::string file = data.path() + "a-file";
    ASSERT_TRUE(files::WriteFileAtomic(file, "x"));
    paths::SetDataFolderOverride(file);
    TempStream err;
    EXPECT_EQ(Run(Io(nullptr, err.get())), client_exit::data_folder);
    EXPECT_NE(err.Text().find("zeri: cannot use the data folder"), std::string::npos);
}
