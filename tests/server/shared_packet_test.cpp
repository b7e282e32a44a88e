#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/relayhub/frame.h"
#include "server/relay_session.h"

namespace server {
namespace {

std::int64_t SteadyNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::vector<std::pair<std::uint32_t, std::int64_t>> gFreed;
void Record(std::uint32_t command, std::int64_t ns) { gFreed.emplace_back(command, ns); }

TEST(SharedPacket, IsOneFrameAndTellsItsLifeFromTheCausingFrameOnlyWhenObserved) {
    auto p = CSharedPacket::Make(1, 0x1234, "body");
    ASSERT_TRUE(p);
    EXPECT_EQ(p->frame(), relay::EncodeFrame(relay::kFramePacket, 1, 0x1234, "body"));
    EXPECT_EQ(p->body(), "body");
    p.reset();
    EXPECT_TRUE(gFreed.empty());  // nobody observes: nothing measured

    CSharedPacket::Observe(Record);
    // Made while handling a frame that arrived 30 ms ago: its life counts
    // from then, and ends with its last holder.
    CSharedPacket::FrameArrived(SteadyNs() - 30'000'000);
    p = CSharedPacket::Make(1, 0x1234, "body");
    CSharedPacket::FrameArrived(0);
    auto second = p;
    p.reset();
    EXPECT_TRUE(gFreed.empty());
    second.reset();
    ASSERT_EQ(gFreed.size(), 1u);
    EXPECT_EQ(gFreed[0].first, 0x1234u);
    EXPECT_GE(gFreed[0].second, 30'000'000);
    // Outside a handler: from when it was made.
    p = CSharedPacket::Make(3, 7, "x");
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    p.reset();
    ASSERT_EQ(gFreed.size(), 2u);
    EXPECT_GE(gFreed[1].second, 2'000'000);
    EXPECT_LT(gFreed[1].second, 30'000'000);
    CSharedPacket::Observe(nullptr);

    // Too large for a frame: none.
    EXPECT_FALSE(CSharedPacket::Make(1, 1, std::string(relay::kMaxFramePayload + 1, 'x')));
}

}  // namespace
}  // namespace server
