// Failed secret checks: free attempts, then growing waits; attempts in
// flight count at once; keys never affect each other.

#include <gtest/gtest.h>

#include "server/failure_throttle.h"

namespace {

using server::CFailureThrottle;

TEST(FailureThrottle, FreeFailuresThenWaitsThatDoubleUpToTheCeiling) {
    CFailureThrottle t({3, 2, 16, 900});
    std::int64_t now = 1000;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(t.Begin("k", now));
        t.End("k", now, true);
    }
    std::int64_t wait = 0;
    EXPECT_FALSE(t.Begin("k", now, &wait));
    EXPECT_EQ(wait, 2);
    // Each failure from the third on sets a wait twice the last: 2, 4, 8, 16, 16.
    for (std::int64_t expected : {2, 4, 8, 16, 16}) {
        EXPECT_FALSE(t.Begin("k", now + expected - 1)) << expected;
        ASSERT_TRUE(t.Begin("k", now + expected)) << expected;
        now += expected;
        t.End("k", now, true);
    }
    // A success clears the history.
    now += 100;
    ASSERT_TRUE(t.Begin("k", now));
    t.End("k", now, false);
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(t.Begin("k", now));
        t.End("k", now, true);
    }
}

TEST(FailureThrottle, AttemptsInFlightCountBeforeTheyEnd) {
    CFailureThrottle t({5, 2, 300, 900});
    int admitted = 0;
    for (int i = 0; i < 40; ++i) admitted += t.Begin("alice\n10.0.0.1", 50);
    EXPECT_EQ(admitted, 5);
    // Once throttled, only one attempt at a time even after the wait.
    for (int i = 0; i < 5; ++i) t.End("alice\n10.0.0.1", 50, true);
    EXPECT_TRUE(t.Begin("alice\n10.0.0.1", 60));
    EXPECT_FALSE(t.Begin("alice\n10.0.0.1", 60));
}

TEST(FailureThrottle, KeysAreIndependentAndOldHistoryIsForgotten) {
    CFailureThrottle t({2, 2, 300, 900});
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(t.Begin("a", 0));
        t.End("a", 0, true);
    }
    EXPECT_FALSE(t.Begin("a", 1));
    EXPECT_TRUE(t.Begin("b", 1));
    t.End("b", 1, false);
    EXPECT_TRUE(t.Begin("a", 900));  // forgotten after 900 s without failures
    // Many keys do not grow the table without bound once they are forgotten.
    for (int i = 0; i < 5000; ++i) {
        t.Begin("k" + std::to_string(i), 2000);
        t.End("k" + std::to_string(i), 2000, true);
    }
    t.Begin("late", 5000);
    EXPECT_LT(t.size(), 10u);
}

}  // namespace
