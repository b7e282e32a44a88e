// The microphone as the engine sees it: whole 2048-byte blocks however the
// device cuts its reads, nothing lost; without effects a block passes bit
// for bit; opening twice changes nothing; a refused device says why; and
// after Close nothing more arrives.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "audio/capture/wave_in.h"
#include "tests/voice/memory_backend.h"
#include "tests/voice/voice_signals.h"

namespace {

using voicetest::CMemoryBackend;

class CBlockTap : public CWaveIn {
public:
    using CWaveIn::CWaveIn;
    ~CBlockTap() override { Close(); }
    std::vector<std::int16_t> got;
    std::vector<std::size_t> lengths;

protected:
    void Deliver(const unsigned char* data, std::size_t length) override {
        lengths.push_back(length);
        const auto* s = reinterpret_cast<const std::int16_t*>(data);
        got.insert(got.end(), s, s + length / 2);
    }
};

TEST(Microphone, BlocksAreWholeAndNothingIsLostOrChangedWithoutEffects) {
    auto devices = std::make_shared<CMemoryBackend>();
    CBlockTap mic(devices);
    std::string error;
    ASSERT_TRUE(mic.Open(-1, 22050, error)) << error;
    std::mt19937 rng(7);
    std::vector<std::int16_t> spoken(1024 * 9 + 300);
    for (auto& s : spoken) s = static_cast<std::int16_t>(rng());
    std::size_t at = 0;
    while (at < spoken.size()) {
        const std::size_t n = std::min<std::size_t>(1 + rng() % 1500, spoken.size() - at);
        devices->Feed(spoken.data() + at, n);
        at += n;
    }
    ASSERT_EQ(mic.lengths.size(), 9u);
    for (std::size_t l : mic.lengths) EXPECT_EQ(l, 2048u);
    EXPECT_EQ(mic.got, std::vector<std::int16_t>(spoken.begin(), spoken.begin() + 1024 * 9));
}

TEST(Microphone, EffectsChangeTheBlocksOnlyWhenAsked) {
    auto devices = std::make_shared<CMemoryBackend>();
    CBlockTap mic(devices);
    std::string error;
    ASSERT_TRUE(mic.Open(-1, 22050, error));
    const auto quiet = voicetest::Tone(440, -30, 1024);
    mic.SetEffects(true, false, false);
    devices->Feed(quiet.data(), quiet.size());
    ASSERT_EQ(mic.got.size(), 1024u);
    EXPECT_NEAR(voicetest::ToneDbfs(mic.got.data(), 1024, 440), -25, 0.3) << "+5 dB";
}

TEST(Microphone, OpeningTwiceKeepsTheDeviceAndARefusedOneSaysWhy) {
    auto devices = std::make_shared<CMemoryBackend>();
    CBlockTap mic(devices);
    std::string error;
    ASSERT_TRUE(mic.Open(1, 22050, error));
    EXPECT_TRUE(mic.Open(0, 22050, error));
    EXPECT_EQ(devices->inputDevice, 1) << "an open device is kept";
    mic.Close();
    EXPECT_FALSE(mic.Open(5, 22050, error));
    EXPECT_EQ(error, "设备ID超界");
    EXPECT_FALSE(mic.IsOpen());
}

TEST(Microphone, NothingArrivesAfterClose) {
    auto devices = std::make_shared<CMemoryBackend>();
    CBlockTap mic(devices);
    std::string error;
    ASSERT_TRUE(mic.Open(-1, 22050, error));
    std::vector<std::int16_t> half(700, 3);
    devices->Feed(half.data(), half.size());
    mic.Close();
    EXPECT_FALSE(devices->Feed(half.data(), half.size()));
    ASSERT_TRUE(mic.Open(-1, 22050, error));
    devices->Feed(half.data(), half.size());
    EXPECT_TRUE(mic.got.empty()) << "a block is never stitched across a close";
}

}  // namespace
