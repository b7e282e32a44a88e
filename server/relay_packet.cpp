#include <atomic>
#include <chrono>

#include "platform/relayhub/frame.h"
#include "server/relay_session.h"

namespace server {

namespace {

std::atomic<CSharedPacket::Observer> gObserver{nullptr};
thread_local std::int64_t tArrival = 0;

std::int64_t SteadyNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

std::shared_ptr<const CSharedPacket> CSharedPacket::Make(std::uint8_t channel,
                                                         std::uint32_t command,
                                                         std::string_view body) {
    if (body.size() > relay::kMaxFramePayload) return nullptr;
    std::string frame = relay::EncodeFrame(relay::kFramePacket, channel, command, body);
    const std::size_t header = frame.size() - body.size();
    auto* p = new CSharedPacket(channel, command, std::move(frame), header);
    if (gObserver.load(std::memory_order_relaxed)) p->born_ = tArrival ? tArrival : SteadyNs();
    return std::shared_ptr<const CSharedPacket>(p);
}

CSharedPacket::~CSharedPacket() {
    if (!born_) return;
    if (const Observer o = gObserver.load(std::memory_order_relaxed)) o(command, SteadyNs() - born_);
}

void CSharedPacket::Observe(Observer observer) { gObserver = observer; }

void CSharedPacket::FrameArrived(std::int64_t steadyNanoseconds) { tArrival = steadyNanoseconds; }

}  // namespace server
