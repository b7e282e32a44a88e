// One speaker's jitter buffer driven by a simulated network and an output
// that asks for a frame every 46 ms: what plays, when, and what is dropped.
#include <gtest/gtest.h>

#include <random>

#include "audio/jitter_buffer.h"

namespace {

constexpr std::uint32_t kFrame = 46;

std::vector<std::int16_t> Pcm(std::uint32_t stamp) { return {static_cast<std::int16_t>(stamp & 0x7FFF)}; }
std::uint32_t StampOf(const std::vector<std::int16_t>& pcm) { return static_cast<std::uint32_t>(pcm[0]); }

}  // namespace

TEST(JitterBuffer, TheFirstFramePlaysAtOnceAndASteadyStreamLosesNothing) {
    CJitterBuffer jb;
    jb.Push(1000, Pcm(1000), 5000);
    auto first = jb.Pop(5000);
    ASSERT_TRUE(first);
    EXPECT_EQ(StampOf(*first), 1000u);
    for (std::uint32_t i = 1; i < 200; ++i) {
        const std::uint32_t stamp = 1000 + i * kFrame;
        jb.Push(stamp, Pcm(stamp), 5000 + i * kFrame);
        auto f = jb.Pop(5000 + i * kFrame);
        ASSERT_TRUE(f) << i;
        EXPECT_EQ(StampOf(*f), stamp);
    }
    EXPECT_EQ(jb.counts().played, 200u);
    EXPECT_EQ(jb.counts().stale + jb.counts().late + jb.counts().overflow, 0u);
    EXPECT_EQ(jb.TargetDepthMs(), 0u);
}

TEST(JitterBuffer, JitterBuysDepthAndReorderedFramesPlayInStampOrder) {
    CJitterBuffer jb;
    std::mt19937 random(11);
    std::vector<std::pair<std::uint32_t, std::uint32_t>> arrivals;  // (arrival, stamp)
    for (std::uint32_t i = 0; i < 300; ++i)
        arrivals.push_back({i * kFrame + random() % 60, i * kFrame});  // up to 60 ms late
    std::sort(arrivals.begin(), arrivals.end());
    std::vector<std::uint32_t> played;
    std::size_t next = 0;
    for (std::uint32_t now = 0; now < 300 * kFrame + 500; ++now) {
        while (next < arrivals.size() && arrivals[next].first <= now) {
            jb.Push(arrivals[next].second, Pcm(arrivals[next].second), now);
            ++next;
        }
        if (now % kFrame == 0)
            while (auto f = jb.Pop(now)) played.push_back(StampOf(*f));
    }
    EXPECT_GT(jb.TargetDepthMs(), 10u);
    EXPECT_LE(jb.TargetDepthMs(), 200u - kFrame);
    EXPECT_TRUE(std::is_sorted(played.begin(), played.end()));
    // Once the depth has grown, almost nothing comes too late.
    EXPECT_GT(played.size(), 270u);
    EXPECT_EQ(played.size() + jb.counts().late + jb.counts().stale, 300u);
}

TEST(JitterBuffer, LateDuplicateAndOverLimitFramesAreDroppedAndCounted) {
    CJitterBuffer jb;
    jb.Push(0, Pcm(0), 0);
    ASSERT_TRUE(jb.Pop(0));
    jb.Push(0, Pcm(0), 10);  // played already
    EXPECT_EQ(jb.counts().duplicate, 1u);
    jb.Push(46, Pcm(46), 46);
    jb.Push(46, Pcm(46), 47);  // queued already
    EXPECT_EQ(jb.counts().duplicate, 2u);
    ASSERT_TRUE(jb.Pop(46));
    jb.Push(23, Pcm(23), 60);  // older than what played
    EXPECT_EQ(jb.counts().late, 1u);

    // A burst of a second's worth never holds more than the limit.
    for (std::uint32_t i = 2; i < 24; ++i) jb.Push(i * kFrame, Pcm(i * kFrame), 100);
    EXPECT_LE(jb.QueuedMs(), 200u);
    EXPECT_GT(jb.counts().overflow, 0u);
    EXPECT_EQ(jb.QueuedFrames() + jb.counts().overflow, 22u);
}

TEST(JitterBuffer, AStallThenABurstComesBackToTheTargetWithinASecond) {
    CJitterBuffer jb;
    std::uint32_t stamp = 0, now = 0;
    for (int i = 0; i < 50; ++i, stamp += kFrame, now += kFrame) {
        jb.Push(stamp, Pcm(stamp), now);
        jb.Pop(now);
    }
    // 500 ms of nothing, then those frames all at once.
    now += 500;
    for (int i = 0; i < 11; ++i, stamp += kFrame) jb.Push(stamp, Pcm(stamp), now);
    std::uint32_t lastStamp = 0;
    for (std::uint32_t t = now; t < now + 1000; t += kFrame) {
        jb.Push(stamp, Pcm(stamp), t);
        stamp += kFrame;
        if (auto f = jb.Pop(t)) lastStamp = StampOf(*f);
    }
    EXPECT_GT(jb.counts().stale, 0u);
    // What plays now is at most a frame or two behind the newest.
    EXPECT_LE(stamp - kFrame - lastStamp, 2 * kFrame + jb.TargetDepthMs());
}

TEST(JitterBuffer, AStampJumpStartsOverAndStampsWrapAround) {
    CJitterBuffer jb;
    jb.Push(0xFFFFFFF0u, Pcm(1), 0);
    ASSERT_TRUE(jb.Pop(0));
    jb.Push(0xFFFFFFF0u + kFrame, Pcm(2), kFrame);  // across the wrap
    auto f = jb.Pop(kFrame);
    ASSERT_TRUE(f);
    EXPECT_EQ((*f)[0], 2);
    EXPECT_EQ(jb.counts().late, 0u);

    // A new stream 10 s later plays at once, not after 10 s.
    jb.Push(5'000'000, Pcm(3), 200);
    EXPECT_EQ(jb.counts().restarts, 1u);
    f = jb.Pop(200);
    ASSERT_TRUE(f);
    EXPECT_EQ((*f)[0], 3);
}
