#pragma once
// An in-process zeri-server on free ports with demo data, and the plain
// socket calls the measurements need.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "server/database.h"
#include "server/seed.h"
#include "server/server_app.h"

namespace benchsrv {

// Resident memory of this process, in KiB.
inline long RssKiB() {
    std::ifstream f("/proc/self/statm");
    long size = 0, resident = 0;
    f >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Lets this process hold as many descriptors as the system allows it.
inline rlim_t RaiseFileLimit() {
    rlimit r{};
    getrlimit(RLIMIT_NOFILE, &r);
    r.rlim_cur = r.rlim_max;
    setrlimit(RLIMIT_NOFILE, &r);
    return r.rlim_cur;
}

// A connected TCP socket from `source` to 127.0.0.1:port; -1 on failure.
inline int Connect(std::uint16_t port, const char* source = "127.0.0.1") {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return -1;
    sockaddr_in from{};
    from.sin_family = AF_INET;
    inet_pton(AF_INET, source, &from.sin_addr);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0 ||
        ::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
        ::close(fd);
        return -1;
    }
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

inline bool SendAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

class Server {
public:
    // `iterations`: the password hashing cost of the demo users.
    // `arrange` runs on the seeded database before the server opens it.
    // `limits`: the room's per-user rate limits (load runs lift them).
    explicit Server(std::uint32_t iterations,
                    const std::function<void(server::CServerDb&)>& arrange = {},
                    const server::RoomLimits& limits = {}) {
        char tmpl[] = "/tmp/zeri-bench-XXXXXX";
        if (!mkdtemp(tmpl)) std::abort();
        dir_ = tmpl;
        server::CServerDb db;
        std::string err;
        if (!db.Open(dir_ + "/" + server::kDatabaseFile, err) ||
            !server::SeedDemo(db, server::SeedOptions{iterations}, err)) {
            std::fprintf(stderr, "bench: %s\n", err.c_str());
            std::exit(1);
        }
        if (arrange) arrange(db);
        db.Close();
        server::ServerOptions o;
        o.dataDir = dir_;
        o.listen = "127.0.0.1";
        o.port = 0;
        srv_ = std::make_unique<server::CZeriServer>(o, limits);
        if (!srv_->Start(err)) {
            std::fprintf(stderr, "bench: %s\n", err.c_str());
            std::exit(1);
        }
    }
    ~Server() {
        srv_->Stop();
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    server::CZeriServer& get() { return *srv_; }

private:
    std::string dir_;
    std::unique_ptr<server::CZeriServer> srv_;
};

}  // namespace benchsrv
