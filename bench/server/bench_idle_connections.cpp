// Memory of idle relay connections: the server's resident size with none,
// with N greeted and idle (default 3000), and after they have closed.
//   bench_idle_connections [N]

#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "bench_support.h"
#include "platform/relayhub/frame.h"

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 3000;
    const rlim_t limit = benchsrv::RaiseFileLimit();
    if (limit < static_cast<rlim_t>(2 * count + 64)) {
        std::fprintf(stderr, "descriptor limit %lu is too low for %d connections (ulimit -n)\n",
                     static_cast<unsigned long>(limit), count);
        return 1;
    }
    benchsrv::Server srv(1000);
    const std::uint16_t port = srv.get().port();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const long before = benchsrv::RssKiB();

    const std::string hello = relay::EncodeFrame(relay::kFrameHello, 0, 0, "pc_chat");
    // Opens `count` greeted sessions and returns their sockets.
    const auto open = [&] {
        std::vector<int> fds;
        for (int i = 0; i < count; ++i) {
            const int fd = benchsrv::Connect(port);
            if (fd < 0 || !benchsrv::SendAll(fd, hello)) {
                std::fprintf(stderr, "connection %d failed\n", i);
                std::exit(1);
            }
            fds.push_back(fd);
        }
        for (int fd : fds) {
            char buf[64];
            if (::recv(fd, buf, sizeof buf, 0) <= 0) {
                std::fprintf(stderr, "no hello back\n");
                std::exit(1);
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        return fds;
    };
    const auto close = [&](std::vector<int>& fds) {
        for (int fd : fds) ::close(fd);
        fds.clear();
        for (int i = 0; i < 100 && srv.get().rooms().SessionCount() > 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    };

    auto fds = open();
    const long with = benchsrv::RssKiB();
    const std::size_t sessions = srv.get().rooms().SessionCount();
    close(fds);
    const long after = benchsrv::RssKiB();
    // A second round shows whether what stayed is reused or lost.
    fds = open();
    const long with2 = benchsrv::RssKiB();
    close(fds);
    const long after2 = benchsrv::RssKiB();

    std::printf("idle relay connections: %d (%zu sessions), %u cores\n", count, sessions,
                std::thread::hardware_concurrency());
    std::printf("RSS before: %ld KiB\n", before);
    std::printf("RSS with them: %ld KiB (+%ld KiB, %.2f KiB per connection)\n", with, with - before,
                static_cast<double>(with - before) / count);
    std::printf("RSS after they closed: %ld KiB (+%ld KiB over before)\n", after, after - before);
    std::printf("second round: RSS with them %ld KiB, after %ld KiB (+%ld KiB over the first)\n",
                with2, after2, after2 - after);
    return 0;
}
