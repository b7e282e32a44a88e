// The recorder's queue when its thread falls behind: what is dropped, what
// pushes out what, and that what stays is in order and still decodes.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "platform/vcast/record_queue.h"

namespace {

enum Kind { kKey, kDelta, kVoice };

// Items are told apart by their stamp.
RecordItem Item(Kind kind, std::uint32_t id, std::size_t bytes = 1) {
    RecordItem item;
    item.frame.f0 = kind == kVoice ? media_frame::kCodecAacAdts : media_frame::kCodecH264;
    if (kind != kVoice) item.frame.f1 = kind == kKey ? media_frame::kKeyFrame : media_frame::kDeltaFrame;
    item.frame.stamp = id;
    item.bytes.assign(bytes, static_cast<unsigned char>(id));
    return item;
}

std::vector<std::uint32_t> Drain(CRecordQueue& q) {
    std::vector<std::uint32_t> ids;
    RecordItem item;
    while (q.Pop(item)) ids.push_back(item.frame.stamp);
    return ids;
}

}  // namespace

TEST(RecordQueue, WhenFullDeltasWaitForAKeyframeAndAVoicePushesOutTheOldestVoice) {
    CRecordQueue q(6, 1000);
    EXPECT_TRUE(q.Push(Item(kKey, 1)));
    EXPECT_TRUE(q.Push(Item(kDelta, 2)));
    EXPECT_TRUE(q.Push(Item(kVoice, 3)));
    EXPECT_TRUE(q.Push(Item(kDelta, 4)));
    EXPECT_TRUE(q.Push(Item(kVoice, 5)));
    EXPECT_TRUE(q.Push(Item(kVoice, 6)));
    EXPECT_FALSE(q.Push(Item(kDelta, 7))) << "full";
    EXPECT_TRUE(q.Push(Item(kVoice, 8))) << "pushes out voice 3";
    EXPECT_EQ(q.AudioDropped(), 1u);
    EXPECT_FALSE(q.Push(Item(kDelta, 9))) << "still waiting for a keyframe";
    // The keyframe pushes out the newest delta (4), not the voices after it.
    EXPECT_TRUE(q.Push(Item(kKey, 10)));
    EXPECT_FALSE(q.Push(Item(kDelta, 11)));
    EXPECT_EQ(q.VideoDropped(), 4u);
    EXPECT_EQ(q.Count(), 6u);
    EXPECT_EQ(Drain(q), (std::vector<std::uint32_t>{1, 2, 5, 6, 8, 10}));
    // Room again, but the delta that was refused broke the chain: deltas
    // wait for the next keyframe even into an empty queue.
    EXPECT_FALSE(q.Push(Item(kDelta, 12)));
    EXPECT_TRUE(q.Push(Item(kKey, 13)));
    EXPECT_TRUE(q.Push(Item(kDelta, 14)));
    EXPECT_EQ(Drain(q), (std::vector<std::uint32_t>{13, 14}));
    EXPECT_EQ(q.Bytes(), 0u);
}

TEST(RecordQueue, AKeyframeTakesRoomOnlyFromDeltasAfterTheLastKeyframeAndFromVoices) {
    {
        CRecordQueue q(5, 1000);
        for (auto [kind, id] : {std::pair{kKey, 1u}, {kDelta, 2u}, {kKey, 3u}, {kVoice, 4u}, {kDelta, 5u}})
            ASSERT_TRUE(q.Push(Item(kind, id)));
        EXPECT_TRUE(q.Push(Item(kKey, 6)));
        EXPECT_EQ(Drain(q), (std::vector<std::uint32_t>{1, 2, 3, 4, 6}));
    }
    {
        // No delta after keyframe 3: the oldest voice goes instead; delta 2
        // (before keyframe 3) stays.
        CRecordQueue q(4, 1000);
        for (auto [kind, id] : {std::pair{kKey, 1u}, {kDelta, 2u}, {kKey, 3u}, {kVoice, 4u}})
            ASSERT_TRUE(q.Push(Item(kind, id)));
        EXPECT_TRUE(q.Push(Item(kKey, 5)));
        // Nothing left to push out: keyframe, delta and voice are dropped.
        EXPECT_FALSE(q.Push(Item(kKey, 6)));
        EXPECT_FALSE(q.Push(Item(kDelta, 7)));
        EXPECT_FALSE(q.Push(Item(kVoice, 8)));
        EXPECT_EQ(q.VideoDropped(), 2u);
        EXPECT_EQ(q.AudioDropped(), 2u);
        EXPECT_EQ(Drain(q), (std::vector<std::uint32_t>{1, 2, 3, 5}));
        EXPECT_FALSE(q.Push(Item(kDelta, 9))) << "keyframe 6 was lost";
    }
}

TEST(RecordQueue, BytesBoundLikeTheCountAndNothingIsPushedOutInVain) {
    CRecordQueue q(100, 100);
    ASSERT_TRUE(q.Push(Item(kKey, 1, 60)));
    ASSERT_TRUE(q.Push(Item(kDelta, 2, 30)));
    ASSERT_TRUE(q.Push(Item(kVoice, 3, 10)));
    EXPECT_EQ(q.Bytes(), 100u);
    EXPECT_TRUE(q.Push(Item(kVoice, 4, 5))) << "pushes out voice 3";
    EXPECT_EQ(q.Bytes(), 95u);
    EXPECT_FALSE(q.Push(Item(kDelta, 5, 10)));
    // Delta 2 and voice 4 would free 35 bytes, not enough for 50: both stay.
    EXPECT_FALSE(q.Push(Item(kKey, 6, 50)));
    EXPECT_FALSE(q.Push(Item(kVoice, 7, 101))) << "larger than the whole queue";
    EXPECT_EQ(q.VideoDropped(), 2u);
    EXPECT_EQ(q.AudioDropped(), 2u);
    EXPECT_EQ(q.Bytes(), 95u);
    EXPECT_TRUE(q.Push(Item(kKey, 8, 35))) << "delta 2 goes, which is enough";
    EXPECT_EQ(Drain(q), (std::vector<std::uint32_t>{1, 4, 8}));
}

// Random pushes and takes by a thread that keeps falling behind: the queue
// stays in its bounds, keeps push order, loses nothing uncounted, and every
// delta taken follows the video frame pushed just before it.
TEST(RecordQueue, UnderAnyLoadItStaysBoundedOrderedAndDecodable) {
    for (std::uint32_t seed = 1; seed <= 20; ++seed) {
        std::mt19937 random(seed);
        CRecordQueue q(24, 4000);
        std::uint32_t id = 0, videoId = 0;
        std::uint64_t pushedVideo = 0, pushedAudio = 0, takenVideo = 0, takenAudio = 0;
        std::uint32_t lastTaken = 0, lastVideoTaken = 0;
        std::vector<std::uint32_t> videoIdOf(1);  // by item id
        bool first = true, firstVideo = true;
        for (int step = 0; step < 4000; ++step) {
            const int r = static_cast<int>(random() % 100);
            if (r < 60) {
                const bool video = random() % 2;
                const Kind kind = !video ? kVoice : (videoId == 0 || random() % 8 == 0 ? kKey : kDelta);
                ++id;
                videoIdOf.push_back(video ? ++videoId : 0);
                ++(video ? pushedVideo : pushedAudio);
                q.Push(Item(kind, id, 1 + random() % (video ? 700 : 60)));
            } else if (r < 60 + static_cast<int>(seed % 3) * 15 + 5) {
                RecordItem item;
                if (!q.Pop(item)) continue;
                const std::uint32_t got = item.frame.stamp;
                ASSERT_TRUE(first || got > lastTaken) << "seed " << seed;
                first = false;
                lastTaken = got;
                if (!item.Video()) {
                    ++takenAudio;
                    continue;
                }
                ++takenVideo;
                if (!item.Key()) {
                    ASSERT_TRUE(!firstVideo && videoIdOf[got] == lastVideoTaken + 1)
                        << "seed " << seed << ": delta " << got << " without its predecessor";
                }
                firstVideo = false;
                lastVideoTaken = videoIdOf[got];
            }
            ASSERT_LE(q.Count(), 24u);
            ASSERT_LE(q.Bytes(), 4000u);
        }
        std::uint64_t queuedVideo = 0, queuedAudio = 0;
        RecordItem item;
        while (q.Pop(item)) ++(item.Video() ? queuedVideo : queuedAudio);
        EXPECT_EQ(pushedVideo, takenVideo + queuedVideo + q.VideoDropped()) << "seed " << seed;
        EXPECT_EQ(pushedAudio, takenAudio + queuedAudio + q.AudioDropped()) << "seed " << seed;
        EXPECT_GT(q.VideoDropped(), 0u) << "seed " << seed << " never overflowed";
    }
}
