#pragma once
// I/O threads for a relay or HTTP server that runs outside CZeriServer
// (test servers, tools). Keeps the networking library out of the headers
// its users include.

#include <chrono>
#include <memory>

namespace boost::asio {
class io_context;
}

namespace server {

class CIoRunner {
public:
    CIoRunner();
    ~CIoRunner();
    CIoRunner(const CIoRunner&) = delete;
    CIoRunner& operator=(const CIoRunner&) = delete;

    boost::asio::io_context& io();
    // Runs the context on `threads` threads until it has no work left or
    // Stop is called.
    void Start(unsigned threads = 1);
    // Lets the work in hand finish for up to `grace`, then stops the context
    // and joins the threads. Idempotent.
    void Stop(std::chrono::milliseconds grace = std::chrono::milliseconds(2000));

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace server
