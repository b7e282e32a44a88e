// The manual timer host drives timers in due order without real waiting.
#include <gtest/gtest.h>

#include <vector>

#include "core/clock.h"

namespace {
struct Recorder : ITimerSink {
    CManualClock* clock = nullptr;
    CManualTimerHost* host = nullptr;
    std::vector<std::pair<unsigned, std::uint64_t>> fired;
    int stopAfter = -1;
    void OnTimer(unsigned id) override {
        fired.emplace_back(id, clock->ElapsedMs());
        if (id == 2 && --stopAfter == 0) host->KillTimer(2);
    }
};
}  // namespace

TEST(ManualTimers, FireInDueOrderAndStopWhenKilledFromTheirHandler) {
    CManualClock clock(1000);
    Recorder rec;
    CManualTimerHost host(clock, rec);
    rec.clock = &clock;
    rec.host = &host;
    rec.stopAfter = 2;
    host.SetTimer(1, 1000);
    host.SetTimer(2, 300);
    host.Advance(2500);
    const std::vector<std::pair<unsigned, std::uint64_t>> expected = {
        {2, 300}, {2, 600}, {1, 1000}, {1, 2000}};
    EXPECT_EQ(rec.fired, expected);
    EXPECT_EQ(clock.ElapsedMs(), 2500u);
    EXPECT_EQ(clock.Now(), 1002);
    EXPECT_FALSE(host.IsSet(2));
    EXPECT_EQ(host.PeriodOf(1), 1000u);
}

TEST(ManualTimers, SettingAgainRestartsThePeriod) {
    CManualClock clock;
    Recorder rec;
    CManualTimerHost host(clock, rec);
    rec.clock = &clock;
    host.SetTimer(7, 1000);
    host.Advance(900);
    host.SetTimer(7, 1000);
    host.Advance(900);
    EXPECT_TRUE(rec.fired.empty());
    host.Advance(100);
    ASSERT_EQ(rec.fired.size(), 1u);
    EXPECT_EQ(rec.fired[0].second, 1900u);
}

TEST(Tick, IsMonotonic) {
    const auto a = GetTickCount();
    const auto b = GetTickCount();
    EXPECT_LE(static_cast<std::uint32_t>(b - a), 1000u);
}
