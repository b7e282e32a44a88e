// Where pushed frames land in a recording: both clocks tied at their first
// frame, order kept, late and leaping frames handled; and the voice mix.
#include <gtest/gtest.h>

#include "platform/vcast/media_frame.h"
#include "platform/vcast/record_mix.h"
#include "platform/vcast/record_timeline.h"

using media_frame::kClockLocal;
using media_frame::kClockSender;

TEST(RecordTimeline, EachClockIsTiedAtItsFirstFrameAndKeepsItsSpacing) {
    CRecordTimeline t(1000);  // opened at local tick 1000
    std::int64_t ms = -1;
    ASSERT_TRUE(t.ToFileMs(kClockLocal, 1500, 1500, ms));
    EXPECT_EQ(ms, 500);
    // Arriving late does not move it: the stamp decides.
    ASSERT_TRUE(t.ToFileMs(kClockLocal, 1540, 1700, ms));
    EXPECT_EQ(ms, 540);
    // The sender's stamps are unrelated numbers, tied where the first arrives.
    ASSERT_TRUE(t.ToFileMs(kClockSender, 77000, 1700, ms));
    EXPECT_EQ(ms, 700);
    ASSERT_TRUE(t.ToFileMs(kClockSender, 77040, 1710, ms));
    EXPECT_EQ(ms, 740);
    // Reordered: an older stamp maps earlier; before the file began it is refused.
    ASSERT_TRUE(t.ToFileMs(kClockSender, 76900, 1720, ms));
    EXPECT_EQ(ms, 600);
    EXPECT_FALSE(t.ToFileMs(kClockSender, 76000, 1720, ms));
    EXPECT_FALSE(t.ToFileMs(2, 1600, 1720, ms)) << "no such clock";
    // The local clock was not disturbed by the sender's.
    ASSERT_TRUE(t.ToFileMs(kClockLocal, 1600, 1720, ms));
    EXPECT_EQ(ms, 600);
}

TEST(RecordTimeline, WrapsAndLeaps) {
    CRecordTimeline t(0xFFFFFF00u);
    std::int64_t ms = -1;
    ASSERT_TRUE(t.ToFileMs(kClockLocal, 0x10, 0x10, ms)) << "the tick wrapped since opening";
    EXPECT_EQ(ms, 0x110);
    ASSERT_TRUE(t.ToFileMs(kClockSender, 0xFFFFFFF0u, 0x10, ms));
    EXPECT_EQ(ms, 0x110);
    ASSERT_TRUE(t.ToFileMs(kClockSender, 0x30, 0x30, ms)) << "sender stamps wrap too";
    EXPECT_EQ(ms, 0x110 + 0x40);
    // A new anchor's stamps leap: tied anew where they arrive, not dropped.
    ASSERT_TRUE(t.ToFileMs(kClockSender, 0x30 + 600000, 0x1000, ms));
    EXPECT_EQ(ms, 0x1100);
    ASSERT_TRUE(t.ToFileMs(kClockSender, 0x30 + 600040, 0x1000, ms));
    EXPECT_EQ(ms, 0x1100 + 40);
    ASSERT_TRUE(t.ToFileMs(kClockSender, 0x30, 0x2000, ms)) << "a leap back too";
    EXPECT_EQ(ms, 0x2100);
}

TEST(FramePacer, EachFrameShowsTheNewestPictureAtOrBeforeIt) {
    CFramePacer p(10);  // a frame every 100 ms
    EXPECT_EQ(p.PicturesEnd(), -1);
    // Black frames at 0 and 100 before the first picture at 130.
    ASSERT_TRUE(p.Admits(130));
    int written = 0;
    while (p.Due(130)) p.Wrote(), ++written;
    EXPECT_EQ(written, 2);
    p.Picture(130);
    EXPECT_EQ(p.NextTime(), 130) << "the grid moves to the first picture";
    EXPECT_EQ(p.PicturesEnd(), 230) << "a lone picture lasts one frame";
    EXPECT_FALSE(p.Admits(130)) << "not newer than the last picture";
    // A picture at 380: frames 130, 230 and 330 still show the one before it.
    written = 0;
    while (p.Due(380)) p.Wrote(), ++written;
    EXPECT_EQ(written, 3);
    p.Picture(380);
    EXPECT_FALSE(p.Admits(370)) << "reordered behind the last picture: dropped";
    while (p.Due(500)) p.Wrote();
    EXPECT_EQ(p.NextTime(), 530) << "frame 430 written";
    EXPECT_FALSE(p.Admits(430)) << "frame 430 was written without it";
    EXPECT_TRUE(p.Admits(431));
    p.Picture(480);
    EXPECT_EQ(p.PicturesEnd(), 580) << "the last picture lasts as long as the one before";
    EXPECT_TRUE(p.Due(580));
    p.Wrote();
    EXPECT_FALSE(p.Due(580)) << "the grid moved only once";

    CFramePacer odd(30);
    odd.Picture(7);
    for (int i = 0; i < 30; ++i) odd.Wrote();
    EXPECT_EQ(odd.NextTime(), 1007) << "no drift over a second at 30 fps";
}

TEST(AudioMix, VoicesSumWithClippingAndWrittenPartsAreNotRewritten) {
    CAudioMix mix(1);
    const std::int16_t a[4] = {1000, 30000, -30000, 5};
    const std::int16_t b[4] = {-10, 30000, -30000, 5};
    EXPECT_EQ(mix.Add(2, a, 4), 4u);
    EXPECT_EQ(mix.Add(3, b, 4), 4u) << "overlaps a by three samples";
    EXPECT_EQ(mix.End(), 7);
    std::int16_t out[8] = {};
    mix.Take(8, out);
    const std::int16_t want[8] = {0, 0, 1000, 30000 - 10, -30000 + 30000, 5 - 30000, 5, 0};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(out[i], want[i]) << i;
    EXPECT_EQ(mix.Taken(), 8);
    // Clipping, not wrapping.
    EXPECT_EQ(mix.Add(8, a + 1, 2), 2u);
    EXPECT_EQ(mix.Add(8, b + 1, 2), 2u);
    mix.Take(2, out);
    EXPECT_EQ(out[0], 32767);
    EXPECT_EQ(out[1], -32768);
    // A voice reaching back before what was written keeps only its new part.
    EXPECT_EQ(mix.Add(7, a, 4), 1u);
    EXPECT_EQ(mix.Add(0, a, 4), 0u);
    mix.Take(1, out);
    EXPECT_EQ(out[0], 5);

    CAudioMix stereo(2);
    const std::int16_t lr[4] = {1, -1, 2, -2};
    stereo.Add(1, lr, 2);
    std::int16_t s[6] = {9, 9, 9, 9, 9, 9};
    stereo.Take(3, s);
    const std::int16_t wantS[6] = {0, 0, 1, -1, 2, -2};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(s[i], wantS[i]) << i;
}
