// How video frames travel: the header word both ways, the sender's thinning
// under a backlog, and frames cut into pieces and joined again, including
// pieces lost, repeated or out of order on the way.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "video/frame_assembler.h"
#include "video/frame_fragments.h"
#include "video/media_frame_word.h"
#include "video/thinning.h"

namespace {

MediaFrame Fields(int f0, int f1, int f2, int f3, int f4) {
    MediaFrame f;
    f.f0 = static_cast<std::uint8_t>(f0);
    f.f1 = static_cast<std::uint8_t>(f1);
    f.f2 = static_cast<std::uint8_t>(f2);
    f.f3 = static_cast<std::uint8_t>(f3);
    f.f4 = static_cast<std::uint8_t>(f4);
    return f;
}

MediaFrame Video(std::uint32_t stamp, bool key = false) {
    MediaFrame f = Fields(media_frame::kCodecH264, key ? media_frame::kKeyFrame : media_frame::kDeltaFrame,
                          0, key ? 1 : 0, 0);
    f.stamp = stamp;
    return f;
}

std::vector<unsigned char> Bytes(std::size_t n, unsigned seed = 1) {
    std::vector<unsigned char> b(n);
    std::uint32_t x = seed * 2654435761u + 1;
    for (auto& c : b) {
        x = x * 1103515245u + 12345u;
        c = static_cast<unsigned char>(x >> 24);
    }
    return b;
}

// A piece as a receiver gets it: fields from the word, stamp beside it.
MediaFrame OverTheWire(const FramePiece& p) {
    MediaFrame f = UnpackFrameWord(PackFrameWord(p.frame));
    f.stamp = p.frame.stamp;
    f.length = static_cast<std::uint32_t>(p.length);
    EXPECT_TRUE(ValidVideoWord(PackFrameWord(p.frame), p.length));
    return f;
}

struct Joined {
    AssembleResult result;
    MediaFrame frame;
    std::vector<unsigned char> bytes;
};

Joined Feed(CFrameAssembler& a, const FramePiece& p) {
    Joined j;
    j.result = a.Add(OverTheWire(p), p.data, p.length, j.frame, j.bytes);
    return j;
}

}  // namespace

// ---- the header word ----

TEST(FrameWord, PacksAndUnpacksTheFiveFieldsInTheirPlaces) {
    const MediaFrame f = Fields(1, 2, 4, 5, 3);
    EXPECT_EQ(PackFrameWord(f), 0x12030405u);
    const MediaFrame back = UnpackFrameWord(0x12030405u);
    EXPECT_EQ(back.f0, 1);
    EXPECT_EQ(back.f1, 2);
    EXPECT_EQ(back.f2, 4);
    EXPECT_EQ(back.f3, 5);
    EXPECT_EQ(back.f4, 3);
    EXPECT_EQ(back.stamp, 0u);
    EXPECT_EQ(back.length, 0u);

    // Every byte value of the byte-wide fields survives; the nibbles keep
    // their four bits and never spill into each other.
    for (int v = 0; v < 256; ++v) {
        const MediaFrame g = UnpackFrameWord(PackFrameWord(Fields(v, v, v, 255 - v, v ^ 0x5A)));
        EXPECT_EQ(g.f0, v & 15);
        EXPECT_EQ(g.f1, v & 15);
        EXPECT_EQ(g.f2, v);
        EXPECT_EQ(g.f3, 255 - v);
        EXPECT_EQ(g.f4, v ^ 0x5A);
    }
    EXPECT_EQ(PackFrameWord(Fields(0xF1, 0xE2, 0, 0, 0)), 0x12000000u);
    EXPECT_EQ(PackFrameWord(Fields(15, 15, 255, 255, 255)), 0xFFFFFFFFu);
}

TEST(FrameWord, OnlyH264WithBytesAndAnIndexInsideItsCountIsAFrame) {
    const auto word = [](int f0, int f2, int f4) { return PackFrameWord(Fields(f0, 1, f2, 1, f4)); };
    EXPECT_TRUE(ValidVideoWord(word(1, 0, 0), 1));
    EXPECT_TRUE(ValidVideoWord(word(1, 0, 1), 1));
    EXPECT_TRUE(ValidVideoWord(word(1, 15, 16), 60000));
    EXPECT_TRUE(ValidVideoWord(word(1, 1, 2), 5));

    EXPECT_FALSE(ValidVideoWord(word(0, 0, 0), 10));   // no codec
    EXPECT_FALSE(ValidVideoWord(word(2, 0, 0), 10));   // an audio codec
    EXPECT_FALSE(ValidVideoWord(word(15, 0, 0), 10));
    EXPECT_FALSE(ValidVideoWord(word(1, 0, 0), 0));    // no bytes
    EXPECT_FALSE(ValidVideoWord(word(1, 1, 0), 10));   // a whole frame has index 0
    EXPECT_FALSE(ValidVideoWord(word(1, 1, 1), 10));
    EXPECT_FALSE(ValidVideoWord(word(1, 2, 2), 10));   // index past the count
    EXPECT_FALSE(ValidVideoWord(word(1, 16, 16), 10));
    EXPECT_FALSE(ValidVideoWord(word(1, 0, 17), 10));  // more pieces than a frame may have
    EXPECT_FALSE(ValidVideoWord(word(1, 0, 255), 10));
    EXPECT_FALSE(ValidVideoWord(0xFFFFFFFFu, 10));
}

// ---- thinning ----

TEST(Thinning, DroppableFramesGoUnimportantFirstThenAllAndKeyframesNever) {
    const MediaFrame droppable = Video(1);
    EXPECT_FALSE(ThinVideoFrame(droppable, false, 0));
    EXPECT_FALSE(ThinVideoFrame(droppable, false, 19));
    EXPECT_TRUE(ThinVideoFrame(droppable, false, 20));
    EXPECT_TRUE(ThinVideoFrame(droppable, false, 25));
    EXPECT_FALSE(ThinVideoFrame(droppable, true, 25));
    EXPECT_FALSE(ThinVideoFrame(droppable, true, 29));
    EXPECT_TRUE(ThinVideoFrame(droppable, true, 30));
    EXPECT_TRUE(ThinVideoFrame(droppable, false, 30));
    EXPECT_TRUE(ThinVideoFrame(droppable, true, 100000));

    MediaFrame keep = Video(1, true);
    for (std::size_t backlog : {0u, 20u, 25u, 30u, 1000u}) {
        EXPECT_FALSE(ThinVideoFrame(keep, false, backlog)) << backlog;
        keep.f3 = 7;  // any value but 0
        EXPECT_FALSE(ThinVideoFrame(keep, false, backlog)) << backlog;
        keep.f3 = 1;
    }
}

// ---- pieces ----

TEST(FramePieces, EverySizeUpToTheCapRoundTripsThroughTheWire) {
    struct Case {
        std::size_t size;
        std::size_t pieces;  // 0: nothing can be sent
    };
    const Case cases[] = {{0, 0},
                          {1, 1},
                          {59999, 1},
                          {60000, 1},
                          {60001, 2},
                          {120000, 2},
                          {120001, 3},
                          {555555, 10},
                          {16 * 60000, 16},
                          {16 * 60000 + 1, 0},
                          {2000000, 0}};
    std::uint32_t stamp = 1000;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        const auto bytes = Bytes(c.size, static_cast<unsigned>(c.size));
        const MediaFrame frame = Video(++stamp, c.size % 2 == 0);
        const auto pieces = SplitFrame(frame, bytes.data(), bytes.size());
        ASSERT_EQ(pieces.size(), c.pieces);
        if (c.pieces == 0) continue;

        std::size_t sum = 0;
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            const FramePiece& p = pieces[i];
            EXPECT_LE(p.length, kMaxPieceBytes);
            EXPECT_GT(p.length, 0u);
            EXPECT_EQ(p.frame.stamp, frame.stamp);
            EXPECT_EQ(p.frame.f2, pieces.size() == 1 ? 0 : i);
            EXPECT_EQ(p.frame.f4, pieces.size() == 1 ? 0 : pieces.size());
            EXPECT_EQ(p.frame.f1, frame.f1);
            EXPECT_EQ(p.frame.f3, frame.f3);
            EXPECT_EQ(p.data, bytes.data() + sum);  // in order, nothing skipped
            sum += p.length;
        }
        EXPECT_EQ(sum, c.size);
        // The pieces differ by a byte at most.
        const auto [lo, hi] = std::minmax_element(
            pieces.begin(), pieces.end(),
            [](const FramePiece& a, const FramePiece& b) { return a.length < b.length; });
        EXPECT_LE(hi->length - lo->length, 1u);

        CFrameAssembler a;
        for (std::size_t i = 0; i + 1 < pieces.size(); ++i)
            EXPECT_EQ(Feed(a, pieces[i]).result, AssembleResult::kNeedMore);
        const Joined j = Feed(a, pieces.back());
        ASSERT_EQ(j.result, AssembleResult::kWhole);
        EXPECT_EQ(j.bytes, bytes);
        EXPECT_EQ(j.frame.stamp, frame.stamp);
        EXPECT_EQ(j.frame.length, c.size);
        EXPECT_EQ(j.frame.f0, frame.f0);
        EXPECT_EQ(j.frame.f1, frame.f1);
        EXPECT_EQ(j.frame.f3, frame.f3);
        EXPECT_EQ(j.frame.f2, 0);
        EXPECT_EQ(j.frame.f4, 0);
        EXPECT_EQ(a.counts().dropped, 0u);
    }
}

// A stream of three big frames (4 pieces each) with a small one between.
class Reassembly : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < 3; ++i) {
            frames.push_back(Bytes(200000 + i, 10 + i));
            pieces.push_back(SplitFrame(Video(100 + i, i == 0), frames.back().data(), frames.back().size()));
            ASSERT_EQ(pieces.back().size(), 4u);
        }
    }
    // Feeds the pieces of frame `f` in `order`; what came out whole.
    std::vector<Joined> Run(int f, std::vector<int> order) {
        std::vector<Joined> out;
        for (int i : order) {
            Joined j = Feed(a, pieces[f][i]);
            if (j.result == AssembleResult::kWhole) out.push_back(std::move(j));
        }
        return out;
    }
    CFrameAssembler a;
    std::vector<std::vector<unsigned char>> frames;
    std::vector<std::vector<FramePiece>> pieces;
};

TEST_F(Reassembly, ReorderedPiecesOfOneFrameStillJoin) {
    auto out = Run(0, {3, 1, 0, 2});
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].bytes, frames[0]);
    EXPECT_EQ(out[0].frame.f1, media_frame::kKeyFrame);  // the kind of piece 0, wherever it came
    out = Run(1, {0, 2, 3, 1});
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].bytes, frames[1]);
    EXPECT_EQ(out[0].frame.stamp, 101u);
    EXPECT_EQ(a.counts().joined, 2u);
    EXPECT_EQ(a.counts().dropped, 0u);
}

TEST_F(Reassembly, ALostPieceCostsOnlyItsFrame) {
    EXPECT_TRUE(Run(0, {0, 1, 3}).empty());  // piece 2 never comes
    auto out = Run(1, {0, 1, 2, 3});
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].bytes, frames[1]);
    EXPECT_EQ(a.counts().dropped, 1u);

    // The frame's missing piece, come late, is passed over and the next
    // frame is not hurt by it.
    EXPECT_TRUE(Run(0, {2}).empty());
    EXPECT_EQ(Run(2, {1, 0, 2, 3}).size(), 1u);

    // A whole frame in the middle of a frame's pieces ends that frame too.
    pieces[2] = SplitFrame(Video(200), frames[2].data(), frames[2].size());
    EXPECT_TRUE(Run(2, {0, 1}).empty());
    const auto small = Bytes(500, 3);
    Joined j;
    EXPECT_EQ(a.Add(Video(999), small.data(), small.size(), j.frame, j.bytes), AssembleResult::kWhole);
    EXPECT_EQ(j.bytes, small);
    EXPECT_EQ(a.counts().dropped, 2u);
    EXPECT_EQ(a.counts().whole, 1u);
}

TEST_F(Reassembly, ARepeatedIndexOrAnotherCountLosesTheFrameAndItsRest) {
    EXPECT_TRUE(Run(0, {0, 1, 1, 2, 3}).empty());
    EXPECT_EQ(a.counts().dropped, 1u);
    EXPECT_EQ(Run(1, {0, 1, 2, 3}).size(), 1u);

    // Piece 2 claims 5 pieces where the frame has 4.
    FramePiece odd = pieces[2][2];
    odd.frame.f4 = 5;
    EXPECT_EQ(Feed(a, pieces[2][0]).result, AssembleResult::kNeedMore);
    EXPECT_EQ(Feed(a, odd).result, AssembleResult::kDropped);
    EXPECT_TRUE(Run(2, {1, 2, 3}).empty());
    EXPECT_EQ(a.counts().dropped, 2u);
    EXPECT_EQ(a.counts().joined, 1u);
}

TEST_F(Reassembly, PiecesThatCanBeNoFrameAreRefusedAndCostNothing) {
    EXPECT_TRUE(Run(0, {0, 1}).empty());
    const unsigned char byte = 7;
    Joined j;
    MediaFrame bad = Video(100);
    bad.f4 = 4;
    bad.f2 = 4;  // index past the count
    EXPECT_EQ(a.Add(bad, &byte, 1, j.frame, j.bytes), AssembleResult::kDropped);
    bad.f4 = 17, bad.f2 = 2;  // more pieces than a frame has
    EXPECT_EQ(a.Add(bad, &byte, 1, j.frame, j.bytes), AssembleResult::kDropped);
    bad.f4 = 4, bad.f2 = 3;
    EXPECT_EQ(a.Add(bad, &byte, 0, j.frame, j.bytes), AssembleResult::kDropped);  // no bytes
    EXPECT_EQ(a.Add(bad, nullptr, 1, j.frame, j.bytes), AssembleResult::kDropped);
    EXPECT_TRUE(j.bytes.empty());
    EXPECT_EQ(a.counts().refused, 4u);
    // The frame being joined never noticed.
    auto out = Run(0, {2, 3});
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].bytes, frames[0]);
    EXPECT_EQ(a.counts().dropped, 0u);
}

TEST_F(Reassembly, AFrameGrowingPastTheCapIsLostNotKept) {
    // 16 pieces of the largest field a packet carries: over 16 x 60000.
    const auto big = Bytes(65535, 5);
    Joined j;
    AssembleResult last = AssembleResult::kNeedMore;
    int kept = 0;
    for (int i = 0; i < 16; ++i) {
        MediaFrame f = Video(500, true);
        f.f2 = static_cast<std::uint8_t>(i), f.f4 = 16;
        last = a.Add(f, big.data(), big.size(), j.frame, j.bytes);
        if (last == AssembleResult::kNeedMore) ++kept;
    }
    EXPECT_EQ(kept, static_cast<int>(kMaxVideoFrameBytes / big.size()));
    EXPECT_EQ(last, AssembleResult::kDropped);
    EXPECT_TRUE(j.bytes.empty());
    EXPECT_EQ(a.counts().dropped, 1u);
    EXPECT_EQ(Run(1, {0, 1, 2, 3}).size(), 1u);
}
