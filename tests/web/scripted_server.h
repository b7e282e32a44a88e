#pragma once
// A loopback HTTP server that plays a script: for each connection it reads
// one request (headers and a Content-Length body), records it, then writes
// the chosen pieces with the chosen pauses, and closes or holds the
// connection until the client closes it. Plain sockets on its own thread,
// so what the client sees is exactly what was scripted.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace webtest {

struct Piece {
    std::string bytes;
    int pauseMs = 0;  // before the bytes
};

enum class End { Close, Hold };

class ScriptedServer {
public:
    ScriptedServer(std::vector<Piece> script, End end = End::Close, std::uint16_t port = 0)
        : script_(std::move(script)), end_(end) {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        const int on = 1;
        ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(port);
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
            ::listen(listener_, 8) != 0) {
            ::close(listener_);
            throw std::runtime_error("cannot listen");
        }
        socklen_t len = sizeof a;
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }
    ~ScriptedServer() {
        stop_ = true;
        thread_.join();
        ::close(listener_);
    }

    std::uint16_t port() const { return port_; }
    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }

    std::vector<std::string> Requests() {
        std::lock_guard<std::mutex> g(m_);
        return requests_;
    }
    // Waits (bounded) until `n` requests have been read.
    bool WaitRequests(std::size_t n) {
        std::unique_lock<std::mutex> g(m_);
        return cv_.wait_for(g, std::chrono::seconds(20), [&] { return requests_.size() >= n; });
    }
    // Connections the client closed while the server held them.
    int ClientCloses() {
        std::lock_guard<std::mutex> g(m_);
        return clientCloses_;
    }
    bool WaitClientCloses(int n) {
        std::unique_lock<std::mutex> g(m_);
        return cv_.wait_for(g, std::chrono::seconds(20), [&] { return clientCloses_ >= n; });
    }
    int Connections() {
        std::lock_guard<std::mutex> g(m_);
        return connections_;
    }

private:
    bool Readable(int fd, int ms) {
        pollfd p{fd, POLLIN, 0};
        return ::poll(&p, 1, ms) > 0;
    }

    void Serve() {
        while (!stop_) {
            if (!Readable(listener_, 20)) continue;
            const int fd = ::accept(listener_, nullptr, nullptr);
            if (fd < 0) continue;
            {
                std::lock_guard<std::mutex> g(m_);
                ++connections_;
            }
            Handle(fd);
            ::close(fd);
        }
    }

    // Reads until the headers end and a Content-Length body (any letter case) is in.
    std::string ReadRequest(int fd) {
        std::string got;
        char buf[65536];
        for (;;) {
            const std::size_t end = got.find("\r\n\r\n");
            if (end != std::string::npos) {
                std::string lower = got.substr(0, end);
                for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                std::size_t want = 0;
                const std::size_t at = lower.find("\r\ncontent-length: ");
                if (at != std::string::npos) want = std::stoul(lower.substr(at + 18));
                if (got.size() >= end + 4 + want) return got;
            }
            if (stop_ || !Readable(fd, 20)) {
                if (stop_) return got;
                continue;
            }
            const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n <= 0) return got;
            got.append(buf, static_cast<std::size_t>(n));
        }
    }

    void Handle(int fd) {
        std::string request = ReadRequest(fd);
        {
            std::lock_guard<std::mutex> g(m_);
            requests_.push_back(std::move(request));
            cv_.notify_all();
        }
        for (const Piece& p : script_) {
            if (p.pauseMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(p.pauseMs));
            if (!p.bytes.empty() && ::send(fd, p.bytes.data(), p.bytes.size(), MSG_NOSIGNAL) < 0)
                return;
        }
        if (end_ == End::Close) {
            ::shutdown(fd, SHUT_WR);
            return;
        }
        // Hold until the client closes (or the test ends).
        char buf[4096];
        while (!stop_) {
            if (!Readable(fd, 20)) continue;
            if (::recv(fd, buf, sizeof buf, 0) <= 0) {
                std::lock_guard<std::mutex> g(m_);
                ++clientCloses_;
                cv_.notify_all();
                return;
            }
        }
    }

    std::vector<Piece> script_;
    End end_;
    int listener_ = -1;
    std::uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    std::mutex m_;
    std::condition_variable cv_;
    std::vector<std::string> requests_;
    int clientCloses_ = 0;
    int connections_ = 0;
};

// A port nobody listens on: bound, then closed.
inline std::uint16_t ClosedPort() {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(s);
    return ntohs(a.sin_port);
}

inline std::string Answer200(const std::string& body) {
    return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

}  // namespace webtest
