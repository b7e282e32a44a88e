// WAV files as voice-message input: any rate and channel count ends as
// 8000 Hz mono of the same duration and pitch; hostile or unsuitable files
// are refused with a reason.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "audio/voice_message/wav_voice.h"
#include "core/files.h"
#include "platform/wavedev/wav_file.h"
#include "tests/wavedev/signal.h"

namespace {

using wavetest::Pitch;
using wavetest::Tone;

class WavVoice : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(dir_.path().empty()); }
    std::string Write(const std::string& name, int rate, int channels,
                      const std::vector<std::int16_t>& samples) {
        const std::string path = folder_ + "/" + name;
        std::string error;
        EXPECT_TRUE(wavedev::WriteWav(path, {rate, channels}, samples, error)) << error;
        return path;
    }
    std::string WriteBytes(const std::string& name, const std::string& bytes) {
        const std::string path = folder_ + "/" + name;
        EXPECT_TRUE(files::WriteFileAtomic(path, bytes));
        return path;
    }
    wavetest::CTempDir dir_;
    const std::string& folder_ = dir_.path();
};

void Le(std::string& s, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) s.push_back(char((v >> (8 * i)) & 0xFF));
}

// A header with the given fields, then `dataBytes` of zero samples declared
// as `declared`.
std::string Header(int tag, int channels, std::uint32_t rate, int bits, std::uint32_t declared,
                   std::size_t dataBytes) {
    std::string s = "RIFF";
    Le(s, 36 + std::uint32_t(dataBytes), 4);
    s += "WAVEfmt ";
    Le(s, 16, 4);
    Le(s, std::uint32_t(tag), 2);
    Le(s, std::uint32_t(channels), 2);
    Le(s, rate, 4);
    Le(s, rate * std::uint32_t(channels * bits / 8), 4);
    Le(s, std::uint32_t(channels * bits / 8), 2);
    Le(s, std::uint32_t(bits), 2);
    s += "data";
    Le(s, declared, 4);
    s.append(dataBytes, '\0');
    return s;
}

TEST_F(WavVoice, AnyRateAndChannelCountBecomesEightKilohertzMono) {
    const auto stereo = Tone(1000, 16422, 44100 * 3 / 2, 44100, 2);
    std::vector<std::int16_t> out;
    std::string error;
    ASSERT_TRUE(voice::ReadWavAsVoice(Write("stereo.wav", 44100, 2, stereo), out, error)) << error;
    EXPECT_EQ(out.size(), 12000u);  // 1.5 s, the filter's tail included
    EXPECT_NEAR(Pitch(out.data() + 100, out.size() - 100, 8000), 1000.0, 20.0);
    EXPECT_GT(wavetest::Rms(out.data() + 11000, 900), 5000.0);  // the end is not lost

    const auto mono = Tone(440, 16422, 8000, 8000);
    ASSERT_TRUE(voice::ReadWavAsVoice(Write("mono.wav", 8000, 1, mono), out, error)) << error;
    EXPECT_EQ(out, mono);

    const auto six = Tone(300, 16422, 16000, 16000, 6);
    ASSERT_TRUE(voice::ReadWavAsVoice(Write("six.wav", 16000, 6, six), out, error)) << error;
    EXPECT_EQ(out.size(), 8000u);
    EXPECT_NEAR(Pitch(out.data() + 100, out.size() - 100, 8000), 300.0, 6.0);
}

TEST_F(WavVoice, HostileAndUnsuitableFilesAreRefusedWithAReason) {
    std::vector<std::int16_t> out{1, 2, 3};
    std::string error;
    const auto refused = [&](const std::string& path) {
        error.clear();
        const bool ok = voice::ReadWavAsVoice(path, out, error);
        return !ok && !error.empty() && out.empty();
    };
    EXPECT_TRUE(refused(folder_ + "/absent.wav"));
    EXPECT_TRUE(refused(WriteBytes("empty.wav", "")));
    EXPECT_TRUE(refused(WriteBytes("text.wav", "hello, this is no sound at all")));
    EXPECT_TRUE(refused(WriteBytes("cut.wav", Header(1, 1, 8000, 16, 320, 320).substr(0, 30))));
    EXPECT_TRUE(refused(WriteBytes("float.wav", Header(3, 1, 8000, 32, 640, 640))));
    EXPECT_TRUE(refused(WriteBytes("eight.wav", Header(1, 1, 8000, 8, 160, 160))));
    EXPECT_TRUE(refused(WriteBytes("nochan.wav", Header(1, 0, 8000, 16, 320, 320))));
    EXPECT_TRUE(refused(WriteBytes("manychan.wav", Header(1, 40, 8000, 16, 320, 320))));
    EXPECT_TRUE(refused(WriteBytes("rate0.wav", Header(1, 1, 0, 16, 320, 320))));
    EXPECT_TRUE(refused(WriteBytes("ratehuge.wav", Header(1, 1, 0xFFFFFFFFu, 16, 320, 320))));
    EXPECT_TRUE(refused(WriteBytes("nosamples.wav", Header(1, 1, 8000, 16, 0, 0))));
    // Over a minute of samples is more than a voice message holds.
    EXPECT_TRUE(refused(Write("long.wav", 8000, 1, std::vector<std::int16_t>(8000 * 61, 0))));
    EXPECT_NE(error.find("60"), std::string::npos);

    // A data chunk claiming 4 GiB is read as far as the file goes.
    ASSERT_TRUE(voice::ReadWavAsVoice(
        WriteBytes("liar.wav", Header(1, 1, 8000, 16, 0xFFFFFFFFu, 1600)), out, error))
        << error;
    EXPECT_EQ(out.size(), 800u);
}

}  // namespace
