// The queue between the connection thread and the play thread stays within
// its bounds and never hands over a delta whose keyframe it let go.
#include <gtest/gtest.h>

#include "platform/vcast/play_queue.h"

namespace {
PlayFrame Frame(bool key, std::uint32_t stamp, std::size_t bytes = 100) {
    PlayFrame f;
    f.key = key;
    f.stamp = stamp;
    f.bytes.assign(bytes, static_cast<unsigned char>(stamp));
    return f;
}
}  // namespace

TEST(PlayQueue, FullQueueDropsDeltasUntilAKeyframeStartsOver) {
    CPlayQueue q;
    EXPECT_FALSE(q.Push(Frame(false, 0))) << "a delta before any keyframe";
    ASSERT_TRUE(q.Push(Frame(true, 1)));
    for (std::uint32_t s = 2; s <= CPlayQueue::kMaxFrames; ++s) ASSERT_TRUE(q.Push(Frame(false, s)));
    EXPECT_EQ(q.Count(), CPlayQueue::kMaxFrames);
    EXPECT_FALSE(q.Push(Frame(false, 100))) << "full";
    PlayFrame out;
    ASSERT_TRUE(q.Pop(out));
    EXPECT_EQ(out.stamp, 1u);
    EXPECT_FALSE(q.Push(Frame(false, 101))) << "room again, but it leans on the dropped delta";
    EXPECT_EQ(q.Count(), CPlayQueue::kMaxFrames - 1);
    ASSERT_TRUE(q.Pop(out));
    ASSERT_TRUE(q.Push(Frame(true, 102)));
    ASSERT_TRUE(q.Push(Frame(false, 103)));
    // Drained in order: the deltas queued before the drop, then the new run.
    std::vector<std::uint32_t> stamps;
    while (q.Pop(out)) stamps.push_back(out.stamp);
    ASSERT_EQ(stamps.size(), CPlayQueue::kMaxFrames);
    EXPECT_EQ(stamps.front(), 3u);
    EXPECT_EQ(stamps[stamps.size() - 2], 102u);
    EXPECT_EQ(stamps.back(), 103u);
    EXPECT_EQ(q.Bytes(), 0u);
}

TEST(PlayQueue, ByteBoundAndAKeyframeThatFindsItFull) {
    CPlayQueue q;
    const std::size_t big = 3u << 20;
    ASSERT_TRUE(q.Push(Frame(true, 1, big)));
    ASSERT_TRUE(q.Push(Frame(false, 2, big)));
    EXPECT_FALSE(q.Push(Frame(false, 3, big))) << "9 MiB would pass the byte bound";
    EXPECT_EQ(q.Bytes(), 2 * big);
    // A keyframe replaces what waits: it is newer, and decodes alone.
    ASSERT_TRUE(q.Push(Frame(true, 4, big)));
    EXPECT_EQ(q.Count(), 1u);
    EXPECT_EQ(q.Bytes(), big);
    EXPECT_FALSE(q.Push(Frame(true, 5, CPlayQueue::kMaxBytes + 1))) << "larger than the queue";
    q.Clear();
    EXPECT_TRUE(q.Empty());
    EXPECT_FALSE(q.Push(Frame(false, 6))) << "after a clear, a keyframe first";
    EXPECT_TRUE(q.Push(Frame(true, 7)));
}
