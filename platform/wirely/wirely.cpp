// The library's process-wide side: one I/O thread, started with the first
// connection and kept for the life of the process, since connections may
// still be finishing while the program exits.

#include "platform/wirely/wirely.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/wirely/connection.h"

namespace {

constexpr int kClientStream = 97;

struct Library {
    std::mutex lock;
    std::unique_ptr<asio::io_context> io;
    std::unique_ptr<asio::executor_work_guard<asio::io_context::executor_type>> work;
    std::thread thread;
    std::atomic<unsigned> idleMs{30000};
};

Library& Lib() {
    static auto* lib = new Library;
    return *lib;
}

asio::io_context& Started() {
    Library& lib = Lib();
    std::lock_guard<std::mutex> g(lib.lock);
    if (!lib.io) {
        lib.io = std::make_unique<asio::io_context>(1);
        lib.work = std::make_unique<asio::executor_work_guard<asio::io_context::executor_type>>(
            lib.io->get_executor());
        lib.thread = std::thread([io = lib.io.get()] { io->run(); });
        lib.thread.detach();
    }
    return *lib.io;
}

}  // namespace

mw_connection* create_connect(mw_connect_sink* sink, int kind) {
    if (!sink || kind != kClientStream) return nullptr;
    auto c = std::make_shared<wirely::CWireConnection>(
        Started(), sink, std::chrono::milliseconds(Lib().idleMs.load()));
    c->Adopt();
    return c.get();
}

void wirely_set_idle_ms(unsigned milliseconds) { Lib().idleMs = milliseconds > 0 ? milliseconds : 1; }
