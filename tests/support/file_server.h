#pragma once
// A loopback HTTP file server for download tests: it answers GET requests
// from a table of paths (anything else is a 404), counts the requests for
// each path, and can hold a path's answers back until the test releases it,
// so a download stays "in flight" for as long as a test needs. One thread
// per connection; plain sockets, so what the client gets is exactly this.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

class FileServer {
public:
    FileServer() {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
            ::listen(listener_, 16) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
            ::close(listener_);
            throw std::runtime_error("cannot listen");
        }
        port_ = ntohs(a.sin_port);
        acceptor_ = std::thread([this] { Accept(); });
    }
    ~FileServer() {
        {
            std::lock_guard<std::mutex> g(m_);
            stop_ = true;
        }
        cv_.notify_all();
        acceptor_.join();
        for (std::thread& t : connections_) t.join();
        ::close(listener_);
    }

    std::string Host() const { return "127.0.0.1:" + std::to_string(port_); }

    // `path` as it appears on the request line, e.g. "/v%20a".
    void Serve(const std::string& path, std::string body) {
        std::lock_guard<std::mutex> g(m_);
        files_[path] = std::move(body);
    }
    void Hold(const std::string& path) {
        std::lock_guard<std::mutex> g(m_);
        held_.insert(path);
    }
    void Release(const std::string& path) {
        {
            std::lock_guard<std::mutex> g(m_);
            held_.erase(path);
        }
        cv_.notify_all();
    }
    int Gets(const std::string& path) {
        std::lock_guard<std::mutex> g(m_);
        return gets_[path];
    }
    bool WaitGets(const std::string& path, int n) {
        std::unique_lock<std::mutex> g(m_);
        return cv_.wait_for(g, std::chrono::seconds(20), [&] { return gets_[path] >= n; });
    }

private:
    static bool Readable(int fd, int ms) {
        pollfd p{fd, POLLIN, 0};
        return ::poll(&p, 1, ms) > 0;
    }
    bool Stopping() {
        std::lock_guard<std::mutex> g(m_);
        return stop_;
    }

    void Accept() {
        while (!Stopping()) {
            if (!Readable(listener_, 20)) continue;
            const int fd = ::accept(listener_, nullptr, nullptr);
            if (fd >= 0) connections_.emplace_back([this, fd] { Answer(fd); });
        }
    }

    void Answer(int fd) {
        std::string request;
        char buf[4096];
        while (request.find("\r\n\r\n") == std::string::npos && !Stopping()) {
            if (!Readable(fd, 20)) continue;
            const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n <= 0) break;
            request.append(buf, static_cast<std::size_t>(n));
        }
        const std::size_t start = request.find(' ') + 1;
        const std::string path = request.substr(start, request.find(' ', start) - start);
        std::optional<std::string> body;
        {
            std::unique_lock<std::mutex> g(m_);
            ++gets_[path];
            cv_.notify_all();
            // Held: answer nothing until released, the test ends, or the client leaves.
            while (held_.count(path) && !stop_) {
                g.unlock();
                const bool left = Readable(fd, 0) && ::recv(fd, buf, sizeof buf, 0) <= 0;
                g.lock();
                if (left) break;
                cv_.wait_for(g, std::chrono::milliseconds(20));
            }
            if (const auto it = files_.find(path); it != files_.end()) body = it->second;
        }
        const std::string answer =
            std::string(body ? "HTTP/1.1 200 OK" : "HTTP/1.1 404 Not Found") +
            "\r\nContent-Length: " + std::to_string(body ? body->size() : 0) +
            "\r\nConnection: close\r\n\r\n" + body.value_or("");
        ::send(fd, answer.data(), answer.size(), MSG_NOSIGNAL);
        ::shutdown(fd, SHUT_WR);
        ::close(fd);
    }

    int listener_ = -1;
    std::uint16_t port_ = 0;
    std::thread acceptor_;
    std::vector<std::thread> connections_;  // the acceptor's only
    std::mutex m_;                          // everything below
    std::condition_variable cv_;
    bool stop_ = false;
    std::map<std::string, std::string> files_;
    std::set<std::string> held_;
    std::map<std::string, int> gets_;
};

}  // namespace testsupport
