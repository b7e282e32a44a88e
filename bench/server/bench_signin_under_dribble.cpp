// Sign-in latency while slow connections attack the HTTP port: N
// connections (default 500) send a request head one byte a second and
// reconnect whenever they are dropped; meanwhile sign-ins are timed.
//   bench_signin_under_dribble [N] [iterations]
// `iterations` is the password hashing cost of the demo users (default
// 1000: the figure is then the server's own; the hashing adds its cost on
// top, the same with or without the attack).

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "bench_support.h"

namespace {

using Clock = std::chrono::steady_clock;

// One sign-in over a fresh connection; its duration in ms, or -1.
double SignIn(std::uint16_t port) {
    const std::string body = R"({"name":"alice","password":"alice-demo"})";
    const std::string req = "POST /account/login HTTP/1.1\r\nHost: b\r\nContent-Type: "
                            "application/json\r\nContent-Length: " +
                            std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    const auto t0 = Clock::now();
    const int fd = benchsrv::Connect(port);
    if (fd < 0 || !benchsrv::SendAll(fd, req)) {
        if (fd >= 0) ::close(fd);
        return -1;
    }
    std::string answer;
    char buf[4096];
    for (;;) {
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) break;
        answer.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    return answer.rfind("HTTP/1.1 200", 0) == 0 ? ms : -1;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? -1 : v[v.size() / 2];
}

std::vector<double> Measure(std::uint16_t port, int rounds, int& failed) {
    std::vector<double> ms;
    failed = 0;
    for (int i = 0; i < rounds; ++i) {
        const double t = SignIn(port);
        if (t < 0) ++failed;
        else ms.push_back(t);
    }
    return ms;
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 500;
    const std::uint32_t iterations = argc > 2 ? static_cast<std::uint32_t>(std::atoi(argv[2])) : 1000;
    benchsrv::RaiseFileLimit();
    benchsrv::Server srv(iterations);
    const std::uint16_t port = srv.get().accountPort();
    constexpr int kRounds = 40;

    int failed = 0;
    const auto quiet = Measure(port, kRounds, failed);
    std::printf("%u cores, password iterations %u\n", std::thread::hardware_concurrency(), iterations);
    std::printf("sign-in, no attack: median %.2f ms, max %.2f ms, %d failed\n", Median(quiet),
                *std::max_element(quiet.begin(), quiet.end()), failed);

    // The attack: every connection sends one more byte of a head each
    // second, from the same address as the sign-ins, and comes back at once
    // when the server drops it.
    const std::string head = "POST /account/login HTTP/1.1\r\nHost: b\r\nX-Slow: " +
                             std::string(4000, 's');
    std::atomic<bool> stop{false};
    std::atomic<long> reconnects{0};
    std::thread attacker([&] {
        std::vector<int> fds(count, -1);
        std::vector<std::size_t> sent(count, 0);
        while (!stop) {
            for (int i = 0; i < count && !stop; ++i) {
                if (fds[i] < 0) {
                    fds[i] = benchsrv::Connect(port);
                    sent[i] = 0;
                    ++reconnects;
                    if (fds[i] < 0) continue;
                }
                const ssize_t n = ::send(fds[i], head.data() + (sent[i] % head.size()), 1,
                                         MSG_NOSIGNAL | MSG_DONTWAIT);
                char probe;
                const ssize_t r = ::recv(fds[i], &probe, 1, MSG_DONTWAIT);
                if (n <= 0 || r == 0 || (r > 0)) {
                    ::close(fds[i]);
                    fds[i] = -1;
                } else {
                    ++sent[i];
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1000));
        }
        for (int fd : fds)
            if (fd >= 0) ::close(fd);
    });
    std::this_thread::sleep_for(std::chrono::seconds(3));
    const auto attacked = Measure(port, kRounds, failed);
    const std::size_t held = srv.get().http()->connectionCount();
    stop = true;
    attacker.join();
    std::printf("sign-in, %d dribbling connections (%zu held by the server, %ld connects): "
                "median %.2f ms, max %.2f ms, %d failed\n",
                count, held, reconnects.load(), Median(attacked),
                attacked.empty() ? -1.0 : *std::max_element(attacked.begin(), attacked.end()),
                failed);
    return 0;
}
