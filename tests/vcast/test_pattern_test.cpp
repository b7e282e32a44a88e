// The test pattern's counter reads back at every size it is drawn at, after
// the kind of damage compression does, and refuses what is not the pattern.
#include <gtest/gtest.h>

#include <random>

#include "platform/vcast/test_pattern.h"

TEST(TestPattern, CounterReadsBackAtEverySize) {
    const std::uint32_t counters[] = {0u, 1u, 0x80000000u, 0xFFFFFFFFu, 123456789u};
    for (auto [w, h] : {std::pair{176, 144}, {320, 240}, {640, 360}, {1280, 720}}) {
        for (std::uint32_t c : counters) {
            VcastPicture p;
            vcast_pattern::Draw(p, w, h, c, c * 40);
            std::uint32_t read = 7;
            ASSERT_TRUE(vcast_pattern::ReadCounter(p, read)) << w << "x" << h << " " << c;
            EXPECT_EQ(read, c);
        }
    }
}

TEST(TestPattern, SurvivesNoiseButNotAnotherPicture) {
    VcastPicture p;
    vcast_pattern::Draw(p, 320, 240, 0xA5A5A5A5u, 0);
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> noise(-30, 30);
    for (auto& px : p.argb) {
        int y = static_cast<int>(px & 255) + noise(rng);
        y = std::clamp(y, 0, 255);
        const auto v = static_cast<std::uint32_t>(y);
        px = 0xFF000000u | v << 16 | v << 8 | v;
    }
    std::uint32_t read = 0;
    ASSERT_TRUE(vcast_pattern::ReadCounter(p, read));
    EXPECT_EQ(read, 0xA5A5A5A5u);

    VcastPicture grey;
    grey.width = 320, grey.height = 240;
    grey.argb.assign(320 * 240, 0xFF808080u);
    EXPECT_FALSE(vcast_pattern::ReadCounter(grey, read));
    VcastPicture flipped;
    vcast_pattern::Draw(flipped, 320, 240, 5, 0);
    // One counter block turned over: the check bits no longer agree.
    const int block = 320 / 40;
    for (int y = 0; y < 3 * block; ++y)
        for (int x = 31 * block; x < 32 * block; ++x) {
            auto& px = flipped.argb[static_cast<std::size_t>(y) * 320 + x];
            px = px == 0xFFFFFFFFu ? 0xFF000000u : px == 0xFF000000u ? 0xFFFFFFFFu : px;
        }
    EXPECT_FALSE(vcast_pattern::ReadCounter(flipped, read));
    VcastPicture empty;
    EXPECT_FALSE(vcast_pattern::ReadCounter(empty, read));
}
