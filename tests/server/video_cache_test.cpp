// What the video relay keeps for late viewers and what it still sends to a
// viewer that has fallen behind, driven without sockets: the cache always
// starts at a keyframe and stays bounded; a gate never lets a delta through
// without the frames before it.
#include <gtest/gtest.h>

#include <string>

#include "server/video_cache.h"

using server::CVideoCache;
using server::CViewerGate;
using server::SharedPacket;

namespace {

MediaFrame Piece(std::uint32_t stamp, bool key, int index = 0, int count = 0) {
    MediaFrame f;
    f.f0 = media_frame::kCodecH264;
    f.f1 = key ? media_frame::kKeyFrame : media_frame::kDeltaFrame;
    f.f3 = key ? 1 : 0;
    f.f2 = static_cast<std::uint8_t>(index);
    f.f4 = static_cast<std::uint8_t>(count);
    f.stamp = stamp;
    return f;
}

SharedPacket Packet(std::size_t bytes) {
    return server::CSharedPacket::Make(2, 0x3100030, std::string(bytes, 'v'));
}

constexpr std::size_t kMiB = 1u << 20;

}  // namespace

TEST(VideoCache, PastItsLimitsKeepsNothingUntilTheNextKeyframe) {
    CVideoCache c;
    c.Add(Piece(1, true), Packet(60000));
    for (std::uint32_t k = 2; k < 200; ++k) c.Add(Piece(k, false), Packet(60000));
    EXPECT_TRUE(c.empty()) << "grew to " << c.bytes();
    c.Add(Piece(300, false), Packet(10));
    EXPECT_TRUE(c.empty());
    c.Add(Piece(301, true), Packet(10));
    EXPECT_EQ(c.entries().size(), 1u);
    // Many tiny frames are bounded by their count, not only their bytes.
    for (std::uint32_t k = 302; k < 302 + CVideoCache::kMaxPieces + 10; ++k)
        c.Add(Piece(k, false), Packet(1));
    EXPECT_LE(c.entries().size(), CVideoCache::kMaxPieces);
    EXPECT_LE(c.bytes(), CVideoCache::kMaxBytes);
    c.Add(Piece(5000, true), Packet(1));
    EXPECT_EQ(c.entries().size(), 1u);
}

TEST(ViewerGate, ANewViewerStartsAtAKeyframeAndThenGetsEverything) {
    CViewerGate g;
    EXPECT_FALSE(g.Pass(Piece(1, false), 0));
    EXPECT_FALSE(g.Pass(Piece(2, false, 0, 2), 0));
    EXPECT_FALSE(g.Pass(Piece(2, false, 1, 2), 0));
    EXPECT_TRUE(g.Pass(Piece(3, true, 0, 3), 0));
    EXPECT_TRUE(g.Pass(Piece(3, true, 2, 3), 0));
    EXPECT_TRUE(g.Pass(Piece(3, true, 1, 3), 0));
    EXPECT_TRUE(g.live());
    EXPECT_TRUE(g.Pass(Piece(4, false), 0));
    // A piece its frame had already, one of another count or another
    // stamp is no part of what was decided.
    EXPECT_FALSE(g.Pass(Piece(3, true, 1, 3), 0));
    EXPECT_TRUE(g.Pass(Piece(5, false, 0, 2), 0));
    EXPECT_FALSE(g.Pass(Piece(5, false, 1, 3), 0));
    EXPECT_FALSE(g.Pass(Piece(6, false, 1, 2), 0));
    EXPECT_TRUE(g.Pass(Piece(5, false, 1, 2), 0));
    EXPECT_FALSE(g.Pass(Piece(5, false, 1, 2), 0));
    g.WaitForKeyframe();
    EXPECT_FALSE(g.Pass(Piece(7, false), 0));
    EXPECT_TRUE(g.Pass(Piece(8, true), 0));
}

TEST(ViewerGate, BehindItGetsKeyframesOnlyAndResumesAtTheNextKeyframe) {
    CViewerGate g;
    ASSERT_TRUE(g.Pass(Piece(1, true), 0));
    EXPECT_TRUE(g.Pass(Piece(2, false), kMiB));  // at the line, still fine
    EXPECT_FALSE(g.Pass(Piece(3, false), kMiB + 1));
    // Back under the line: still no delta, its frame before was not sent.
    EXPECT_FALSE(g.Pass(Piece(4, false), 0));
    EXPECT_FALSE(g.live());
    // A keyframe goes while behind, with all its pieces, whatever the
    // backlog does meanwhile; the deltas after it do not.
    EXPECT_TRUE(g.Pass(Piece(5, true, 0, 2), kMiB + 100));
    EXPECT_TRUE(g.Pass(Piece(5, true, 1, 2), 3 * kMiB));
    EXPECT_FALSE(g.Pass(Piece(6, false), 0));
    // Far behind: not even keyframes, so the connection never reaches
    // its limit.
    EXPECT_FALSE(g.Pass(Piece(7, true, 0, 2), 2 * kMiB + 1));
    EXPECT_FALSE(g.Pass(Piece(7, true, 1, 2), 0));
    EXPECT_TRUE(g.Pass(Piece(8, true), 2 * kMiB));
    EXPECT_FALSE(g.live());
    // Caught up at a keyframe: live again.
    EXPECT_TRUE(g.Pass(Piece(9, true), 1000));
    EXPECT_TRUE(g.live());
    EXPECT_TRUE(g.Pass(Piece(10, false), 1000));
    // A delta whose first piece went keeps its pieces together even if
    // the backlog passes the line in between.
    EXPECT_TRUE(g.Pass(Piece(11, false, 0, 2), 0));
    EXPECT_TRUE(g.Pass(Piece(11, false, 1, 2), 2 * kMiB));
}
