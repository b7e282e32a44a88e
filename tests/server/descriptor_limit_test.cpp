// zeri-server run as its own process under a small descriptor limit: when
// connections use every descriptor, accepting pauses instead of spinning,
// says so once, and resumes by itself when descriptors free up.

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/relayhub/frame.h"
#include "server_fixture.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;

std::uint16_t FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t n = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n);
    ::close(fd);
    return ntohs(a.sin_port);
}

int Connect(std::uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Sends the hello; true when the server's hello comes back within `wait`.
bool Greeted(int fd, std::chrono::milliseconds wait) {
    const std::string hello = relay::EncodeFrame(relay::kFrameHello, 0, 0, "pc_chat");
    if (::send(fd, hello.data(), hello.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(hello.size()))
        return false;
    timeval tv{static_cast<time_t>(wait.count() / 1000),
               static_cast<suseconds_t>((wait.count() % 1000) * 1000)};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    unsigned char head[relay::kFrameHeaderSize];
    return ::recv(fd, head, sizeof head, MSG_WAITALL) == static_cast<ssize_t>(sizeof head) &&
           head[2] == relay::kFrameHello;
}

// CPU seconds the process has used so far.
double CpuSeconds(pid_t pid) {
    std::ifstream f("/proc/" + std::to_string(pid) + "/stat");
    std::string all((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    std::istringstream in(all.substr(all.rfind(')') + 2));
    std::string field;
    double ticks = 0;
    for (int i = 3; i <= 15 && in >> field; ++i)
        if (i == 14 || i == 15) ticks += std::stod(field);
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

int CountLines(const std::string& path, const std::string& text) {
    std::ifstream f(path);
    int n = 0;
    for (std::string line; std::getline(f, line);) n += line.find(text) != std::string::npos;
    return n;
}

TEST(DescriptorLimit, AcceptPausesInsteadOfSpinningAndRecovers) {
    srvtest::TempDir dir;
    const std::uint16_t relayPort = FreePort(), httpPort = FreePort(), cataloguePort = FreePort();
    const std::string errors = dir.file("stderr.txt");
    const std::string command = "ulimit -n 48 && exec '" + std::string(ZERI_SERVER_BIN) +
                                "' --data-dir '" + dir.path() + "' --listen 127.0.0.1 --threads 2" +
                                " --port " + std::to_string(relayPort) + " --account-port " +
                                std::to_string(httpPort) + " --catalogue-port " +
                                std::to_string(cataloguePort) + " 2>'" + errors + "' >/dev/null";
    const char* argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ), 0);
    struct Reap {
        pid_t pid;
        ~Reap() {
            ::kill(pid, SIGTERM);
            int status = 0;
            ::waitpid(pid, &status, 0);
        }
    } reap{pid};

    int probe = -1;
    for (int i = 0; i < 200 && probe < 0; ++i) {
        std::this_thread::sleep_for(50ms);
        probe = Connect(relayPort);
    }
    ASSERT_GE(probe, 0) << "zeri-server did not start";
    ASSERT_TRUE(Greeted(probe, 5s));

    // More connections than the server has descriptors for.
    std::vector<int> many{probe};
    for (int i = 0; i < 80; ++i) {
        const int fd = Connect(relayPort);
        if (fd >= 0) many.push_back(fd);
    }
    std::this_thread::sleep_for(500ms);
    const double cpu0 = CpuSeconds(pid);
    std::this_thread::sleep_for(2s);
    const double used = CpuSeconds(pid) - cpu0;
    // Spinning on accept burns a whole core: about 2 s here.
    EXPECT_LT(used, 0.5) << "the accept loop spins at the descriptor limit";
    EXPECT_EQ(CountLines(errors, "pausing until descriptors free up"), 1);

    for (int fd : many) ::close(fd);
    // Descriptors free up: a newcomer is served without any help.
    bool served = false;
    for (int i = 0; i < 20 && !served; ++i) {
        const int fd = Connect(relayPort);
        served = fd >= 0 && Greeted(fd, 2s);
        if (fd >= 0) ::close(fd);
    }
    EXPECT_TRUE(served);
    EXPECT_GE(CountLines(errors, "accepting again"), 1);
}

}  // namespace
