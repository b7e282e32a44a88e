#include "server/io_runner.h"

#include <boost/asio.hpp>

#include <thread>
#include <vector>

namespace server {

struct CIoRunner::Impl {
    boost::asio::io_context io;
    std::vector<std::thread> threads;
};

CIoRunner::CIoRunner() : impl_(std::make_unique<Impl>()) {}

CIoRunner::~CIoRunner() { Stop(std::chrono::milliseconds(0)); }

boost::asio::io_context& CIoRunner::io() { return impl_->io; }

void CIoRunner::Start(unsigned threads) {
    for (unsigned i = 0; i < std::max(1u, threads); ++i)
        impl_->threads.emplace_back([this] { impl_->io.run(); });
}

void CIoRunner::Stop(std::chrono::milliseconds grace) {
    if (impl_->threads.empty()) return;
    const auto until = std::chrono::steady_clock::now() + grace;
    while (!impl_->io.stopped() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    impl_->io.stop();
    for (auto& t : impl_->threads) t.join();
    impl_->threads.clear();
}

}  // namespace server
