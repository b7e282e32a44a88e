// The duty an anchor's clock-in starts: which cycle is live, and which cycle
// a sign-in counts for.
#include <gtest/gtest.h>

#include "server/checkin_cycle.h"

using namespace server;

namespace {

constexpr std::int64_t T = 1'700'000'000;
constexpr std::int64_t C = kCheckinCycleSeconds;

CheckinDuty Duty(std::vector<std::int64_t> signedCycles = {}) {
    CheckinDuty d;
    d.clockIn = T;
    d.signedCycles = std::move(signedCycles);
    return d;
}

}  // namespace

TEST(CheckinCycle, NoClockInNoCycle) {
    const CheckinDuty none;
    EXPECT_FALSE(LiveCycle(none, T));
    EXPECT_FALSE(JudgeSignIn(none, T).accepted);
}

TEST(CheckinCycle, TheFirstCycleLastsTwentyMinutesFromTheClockIn) {
    EXPECT_EQ(LiveCycle(Duty(), T), T);
    EXPECT_EQ(LiveCycle(Duty(), T + C - 1), T);
    EXPECT_FALSE(LiveCycle(Duty(), T + C));
    // A clock set back before the clock-in is still in the first cycle.
    EXPECT_EQ(LiveCycle(Duty(), T - 50), T);
}

TEST(CheckinCycle, ASignedCycleKeepsTheDutyGoingUntilOneIsMissed) {
    EXPECT_EQ(LiveCycle(Duty({T}), T + C + 10), T + C);
    EXPECT_FALSE(LiveCycle(Duty({T}), T + 2 * C));
    // A later cycle signed after a gap does not revive the duty.
    EXPECT_FALSE(LiveCycle(Duty({T, T + 2 * C}), T + 3 * C));
    std::vector<std::int64_t> many;
    for (int i = 0; i < 100; ++i) many.push_back(T + i * C);
    EXPECT_EQ(LiveCycle(Duty(many), T + 100 * C + 5), T + 100 * C);
    EXPECT_FALSE(LiveCycle(Duty(many), T + 1000 * C));
}

TEST(CheckinCycle, ASignInCountsOncePerCycle) {
    SignInVerdict v = JudgeSignIn(Duty(), T + 600);
    EXPECT_TRUE(v.accepted);
    EXPECT_TRUE(v.record);
    EXPECT_EQ(v.cycleStart, T);
    v = JudgeSignIn(Duty({T}), T + 700);
    EXPECT_TRUE(v.accepted);
    EXPECT_FALSE(v.record);
    EXPECT_EQ(v.cycleStart, T);
    v = JudgeSignIn(Duty({T}), T + C + 900);
    EXPECT_TRUE(v.accepted);
    EXPECT_TRUE(v.record);
    EXPECT_EQ(v.cycleStart, T + C);
    EXPECT_FALSE(JudgeSignIn(Duty(), T + C + 900).accepted);
}

TEST(CheckinCycle, ASignInJustAfterItsCycleEndedStillCountsForIt) {
    SignInVerdict v = JudgeSignIn(Duty(), T + C + kSignInGraceSeconds - 1);
    EXPECT_TRUE(v.accepted);
    EXPECT_TRUE(v.record);
    EXPECT_EQ(v.cycleStart, T);
    EXPECT_FALSE(JudgeSignIn(Duty(), T + C + kSignInGraceSeconds).accepted);
    // With the ended cycle signed, the moment belongs to the new cycle.
    v = JudgeSignIn(Duty({T}), T + C + 5);
    EXPECT_EQ(v.cycleStart, T + C);
    EXPECT_TRUE(v.record);
    // Grace never reaches back past a missed cycle.
    EXPECT_FALSE(JudgeSignIn(Duty(), T + 2 * C + 5).accepted);
}
