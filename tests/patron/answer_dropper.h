#pragma once
// A loopback HTTP relay in front of the account service that passes every
// request on, but for the first N requests whose line starts with a given
// prefix it drops the service's answer and closes the connection: the
// request was served, its caller never hears of it.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace patrontest {

class CAnswerDropper {
public:
    CAnswerDropper(std::uint16_t upstream, std::string prefix, int drops)
        : upstream_(upstream), prefix_(std::move(prefix)), drops_(drops) {
        listen_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
            ::listen(listen_, 16) != 0)
            std::abort();
        socklen_t n = sizeof a;
        ::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &n);
        port_ = ntohs(a.sin_port);
        acceptor_ = std::thread([this] { Accept(); });
    }
    ~CAnswerDropper() {
        ::shutdown(listen_, SHUT_RDWR);
        ::close(listen_);
        acceptor_.join();
        {
            std::lock_guard<std::mutex> g(lock_);
            for (int fd : open_) ::shutdown(fd, SHUT_RDWR);
        }
        for (auto& t : workers_) t.join();
        for (int fd : open_) ::close(fd);
    }
    std::uint16_t port() const { return port_; }
    int dropped() const { return dropped_; }
    // Requests of the prefix that reached the service.
    int seen() const { return seen_; }

private:
    void Accept() {
        for (;;) {
            const int c = ::accept(listen_, nullptr, nullptr);
            if (c < 0) return;
            std::lock_guard<std::mutex> g(lock_);
            open_.push_back(c);
            workers_.emplace_back([this, c] { Serve(c); });
        }
    }
    int Upstream() {
        const int u = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(upstream_);
        if (::connect(u, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
            ::close(u);
            return -1;
        }
        std::lock_guard<std::mutex> g(lock_);
        open_.push_back(u);
        return u;
    }
    // One HTTP message (head and Content-Length body); false at the end.
    static bool ReadMessage(int fd, std::string& buffer, std::string& out) {
        for (;;) {
            const auto head = buffer.find("\r\n\r\n");
            if (head != std::string::npos) {
                std::size_t length = 0;
                std::string lower = buffer.substr(0, head);
                for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
                if (const auto at = lower.find("content-length:"); at != std::string::npos)
                    length = std::strtoul(lower.c_str() + at + 15, nullptr, 10);
                if (buffer.size() >= head + 4 + length) {
                    out = buffer.substr(0, head + 4 + length);
                    buffer.erase(0, out.size());
                    return true;
                }
            }
            char chunk[4096];
            const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
            if (n <= 0) return false;
            buffer.append(chunk, static_cast<std::size_t>(n));
        }
    }
    static bool SendAll(int fd, const std::string& data) {
        std::size_t done = 0;
        while (done < data.size()) {
            const ssize_t n = ::send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
            if (n <= 0) return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    }
    void Serve(int client) {
        const int up = Upstream();
        std::string fromClient, fromUp, request, answer;
        while (up >= 0 && ReadMessage(client, fromClient, request)) {
            if (!SendAll(up, request) || !ReadMessage(up, fromUp, answer)) break;
            if (request.rfind(prefix_, 0) == 0) {
                ++seen_;
                if (drops_ > 0) {
                    --drops_;
                    ++dropped_;
                    break;  // served, and never told
                }
            }
            if (!SendAll(client, answer)) break;
        }
        ::shutdown(client, SHUT_RDWR);
        if (up >= 0) ::shutdown(up, SHUT_RDWR);
    }

    std::uint16_t upstream_;
    std::string prefix_;
    std::atomic<int> drops_;
    std::atomic<int> dropped_{0};
    std::atomic<int> seen_{0};
    int listen_ = -1;
    std::uint16_t port_ = 0;
    std::thread acceptor_;
    std::mutex lock_;
    std::vector<int> open_;  // closed by the destructor
    std::vector<std::thread> workers_;
};

}  // namespace patrontest
