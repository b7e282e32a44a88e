// Pictures wait for the audio clock only while it is fresh and related to
// them; everything else shows at once.
#include <gtest/gtest.h>

#include "platform/vcast/present_clock.h"

TEST(PresentClock, HoldsPicturesAheadOfTheAudioUntilDue) {
    CManualClock clock;
    CPresentClock present(clock);
    EXPECT_EQ(present.WaitMs(12345), 0u) << "no audio clock yet: on arrival";

    present.SignStamp(1000);
    EXPECT_EQ(present.WaitMs(1200), 200u);
    clock.AdvanceMs(150);
    EXPECT_EQ(present.WaitMs(1200), 50u) << "the clock runs on between reports";
    clock.AdvanceMs(50);
    EXPECT_EQ(present.WaitMs(1200), 0u);
    // A new report moves the clock: the same picture is due again later.
    present.SignStamp(900);
    EXPECT_EQ(present.WaitMs(1200), 300u);
}

TEST(PresentClock, LateAndUnrelatedPicturesShowAtOnce) {
    CManualClock clock;
    CPresentClock present(clock);
    present.SignStamp(50000);
    EXPECT_EQ(present.WaitMs(49000), 0u) << "late";
    EXPECT_EQ(present.WaitMs(50000), 0u) << "exactly due";
    EXPECT_EQ(present.WaitMs(51000), 500u) << "1 s ahead is held (asked again at staleness)";
    EXPECT_EQ(present.WaitMs(51001), 0u) << "over 1 s ahead: another timeline";
    EXPECT_EQ(present.WaitMs(10), 0u) << "far behind";
    present.Reset();
    EXPECT_EQ(present.WaitMs(50500), 0u) << "a reset forgets the clock";
}

TEST(PresentClock, SilentAudioStopsHoldingAfterHalfASecond) {
    CManualClock clock;
    CPresentClock present(clock);
    present.SignStamp(1000);
    clock.AdvanceMs(400);
    // Due 300 ms later, but the clock goes stale in 100: ask again then.
    EXPECT_EQ(present.WaitMs(1700), 100u);
    clock.AdvanceMs(99);
    EXPECT_EQ(present.WaitMs(1700), 1u);
    clock.AdvanceMs(1);
    EXPECT_EQ(present.WaitMs(1700), 0u) << "500 ms without a report";
    EXPECT_EQ(present.WaitMs(1900), 0u);
    present.SignStamp(1500);
    EXPECT_EQ(present.WaitMs(1900), 400u) << "a fresh report holds again";
}

TEST(PresentClock, StampsCompareAcrossTheWrap) {
    CManualClock clock;
    CPresentClock present(clock);
    present.SignStamp(0xFFFFFF00u);
    EXPECT_EQ(present.WaitMs(0x00000050u), 0x150u) << "just past the wrap is ahead";
    EXPECT_EQ(present.WaitMs(0xFFFFFE00u), 0u) << "just before is late";
    clock.AdvanceMs(0x100);  // the clock itself wraps
    EXPECT_EQ(present.WaitMs(0x00000050u), 0x50u);
    EXPECT_EQ(present.WaitMs(0x7FFFFFFFu), 0u) << "half the range away is unrelated";
}
