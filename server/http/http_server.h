#pragma once
// The HTTP side of zeri-server: an event-driven HTTP/1.1 server on the same
// I/O threads as the relay. Reading and writing never hold a thread: a
// connection that dribbles its request, or sits idle, costs a socket and a
// few hundred bytes, nothing more. Only a whole request reaches a handler,
// which runs on a small worker pool (handlers hash passwords and read the
// database) and hands its answer back to the connection's strand.
//
// Limits (docs/server.md, "Limits"):
//   - the request head within kMaxHeaderBytes, the body within its route's
//     limit (checked from Content-Length before reading; chunked bodies are
//     counted as they come);
//   - the whole request, from the moment the connection is ready for it,
//     within its deadline: a connection idle or dribbling past it is closed;
//   - at most maxPerAddress connections from one address: a newcomer over
//     the cap takes the place of that address's oldest connection still
//     waiting for its request head, or is closed when every one is busy;
//     at most maxConnections in all.
//   - answers are built in memory only up to what a handler returns (small
//     JSON); files are streamed from disk in 4 KiB pieces.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "server/http/http_message.h"

namespace boost::asio {
class io_context;
class thread_pool;
}  // namespace boost::asio

namespace server {

class CAcceptLoop;

struct HttpLimits {
    std::size_t maxHeaderBytes = 8 * 1024;
    std::chrono::milliseconds requestDeadline{10000};  // waiting, head and body
    std::chrono::milliseconds writeDeadline{30000};    // the answer, once started
    std::size_t maxConnections = 8192;
    std::size_t maxPerAddress = 64;
    unsigned workers = 8;
};

using HttpHandler = std::function<void(const HttpRequest&, HttpResponse&)>;
// Sees the request head (no body yet); false refuses it with `res`.
using HttpAdmit = std::function<bool(const HttpRequest&, HttpResponse&)>;

struct HttpRouteOptions {
    std::size_t maxBody = 16 * 1024;
    // Replaces the request deadline once the head is admitted (large bodies).
    std::chrono::milliseconds bodyDeadline{0};
    // Runs on a worker before the body is read, so that a large body is only
    // taken from a caller that may send it.
    HttpAdmit admit;
};

// The answer to a request the server refuses by itself (404 no route,
// 413 body too large, 431 head too large, 400 malformed, 500 a handler
// that threw): the services give it their JSON shape.
using HttpErrorAnswer = std::function<void(int status, const HttpRequest& req, HttpResponse& res)>;

class CHttpServer {
public:
    CHttpServer(boost::asio::io_context& io, std::string name, HttpLimits limits = {});
    ~CHttpServer();
    CHttpServer(const CHttpServer&) = delete;
    CHttpServer& operator=(const CHttpServer&) = delete;

    // Routes are added before Listen. An exact path, or (prefix) every path
    // that starts with `path`.
    void Route(const std::string& method, const std::string& path, HttpHandler handler,
               HttpRouteOptions options = {});
    void RoutePrefix(const std::string& method, const std::string& prefix, HttpHandler handler,
                     HttpRouteOptions options = {});
    void SetErrorAnswer(HttpErrorAnswer answer);

    bool Listen(const std::string& address, std::uint16_t port, std::string& error);
    std::uint16_t port() const;
    // Stops accepting and closes every connection; thread-safe.
    void Close();
    // Close, then waits for the handlers in flight (not on an I/O thread).
    void Stop();

    // Answers `req` as if it had been read from a connection (target
    // parsed, route found, limits, admission, handler), on the calling
    // thread: for fuzzers and tools.
    void Serve(HttpRequest& req, HttpResponse& res);

    std::size_t connectionCount() const;
    unsigned starvedEpisodes() const;

    struct Shared;

private:
    std::shared_ptr<Shared> shared_;
    std::shared_ptr<boost::asio::thread_pool> pool_;
    std::unique_ptr<CAcceptLoop> accept_;
};

}  // namespace server
