#include "server/memory_trim.h"

#include <gtest/gtest.h>

namespace server {
namespace {

TEST(MemoryTrim, TrimsOnceACrowdHasLeftAndNotWhileItLeavesOrForAFew) {
    int trims = 0;
    CMemoryTrim t([&] { ++trims; });
    const std::uint64_t few = CMemoryTrim::kMinEnded - 1;
    // A few ends, however long they settle: nothing.
    EXPECT_FALSE(t.OnTick(few));
    EXPECT_FALSE(t.OnTick(few));
    EXPECT_FALSE(t.OnTick(few));
    // A crowd leaves over two ticks: nothing while it leaves, one trim once
    // a tick passes without another end, then none while it stays quiet.
    EXPECT_FALSE(t.OnTick(500));
    EXPECT_FALSE(t.OnTick(1000));
    EXPECT_TRUE(t.OnTick(1000));
    EXPECT_FALSE(t.OnTick(1000));
    EXPECT_EQ(trims, 1);
    // Counted from the last trim: a few more are not enough, a crowd is.
    EXPECT_FALSE(t.OnTick(1000 + few));
    EXPECT_FALSE(t.OnTick(1000 + few));
    EXPECT_FALSE(t.OnTick(1000 + CMemoryTrim::kMinEnded));
    EXPECT_TRUE(t.OnTick(1000 + CMemoryTrim::kMinEnded));
    EXPECT_EQ(trims, 2);
}

TEST(MemoryTrim, TheDefaultTrimRuns) {
    CMemoryTrim t;
    EXPECT_FALSE(t.OnTick(CMemoryTrim::kMinEnded));
    EXPECT_TRUE(t.OnTick(CMemoryTrim::kMinEnded));  // malloc_trim: returns, whatever it freed
}

}  // namespace
}  // namespace server
