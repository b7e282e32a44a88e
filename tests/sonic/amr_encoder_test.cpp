// AMR-NB encoding against the FFmpeg decoder: a tone keeps its pitch and
// level, silence stays silent, every mode's frames have the size their
// table-of-contents byte gives, and bad calls are refused.
#include <gtest/gtest.h>

#include <cstdint>
#include <cmath>
#include <random>
#include <vector>

#include "platform/sonic/sonic.h"
#include "tests/wavedev/signal.h"

namespace {

using wavetest::Pitch;
using wavetest::Tone;

constexpr int kRate = 8000;

double Dbfs(const std::int16_t* s, std::size_t n) {
    return 20 * std::log10(std::max(wavetest::Rms(s, n), 1e-9) / 32767.0);
}
constexpr int kFrame = 160;

struct Coded {
    std::vector<int> sizes;           // each frame's length
    std::vector<std::int16_t> pcm;    // decoded back
};

Coded RoundTrip(const std::vector<std::int16_t>& pcm, int mode) {
    Coded c;
    sonic_eamr_t* e = sonic_eamr(mode);
    sonic_damr_t* d = sonic_damr();
    EXPECT_NE(e, nullptr);
    EXPECT_NE(d, nullptr);
    if (!e || !d) return c;
    for (std::size_t at = 0; at + kFrame <= pcm.size(); at += kFrame) {
        unsigned char* frame = nullptr;
        const int n = sonic_eamr_encode(e, reinterpret_cast<const unsigned char*>(pcm.data() + at),
                                        kFrame * 2, &frame);
        EXPECT_GT(n, 0);
        if (n <= 0) break;
        c.sizes.push_back(n);
        std::vector<unsigned char> copy(frame, frame + n);  // the encoder's buffer is reused
        unsigned char* out = nullptr;
        int outLength = 0;
        EXPECT_EQ(sonic_damr_decode(d, copy.data(), n, &out, &outLength), n);
        if (out && outLength > 0) {
            const auto* s = reinterpret_cast<const std::int16_t*>(out);
            c.pcm.insert(c.pcm.end(), s, s + outLength / 2);
        }
    }
    sonic_eamr_release(e);
    sonic_damr_release(d);
    return c;
}

// A voiced, speech-like sound: 140 Hz with falling harmonics over a little
// noise, peaking near `dbfs`.
std::vector<std::int16_t> Voiced(double dbfs, int samples) {
    std::vector<std::int16_t> out(std::size_t(samples), 0);
    std::mt19937 random(1);
    const double amplitude = 32767.0 * std::pow(10.0, dbfs / 20.0) / 2;
    for (int i = 0; i < samples; ++i) {
        double v = 0;
        for (int h = 1; h <= 12; ++h) v += std::sin(2 * M_PI * 140 * h * i / kRate) / h;
        out[std::size_t(i)] = static_cast<std::int16_t>(amplitude * v + int(random() % 200) - 100);
    }
    return out;
}

// The codec needs a few frames to settle; measures skip them.
constexpr std::size_t kSettle = 10 * kFrame;

TEST(AmrEncoder, AToneKeepsPitchAndLevelAndSilenceStaysSilent) {
    // A pure tone is the hardest case for a speech codec's level: loud, it
    // stays within 3 dB.
    const auto tone = Tone(1000, 23197, 2 * kRate, kRate);
    const Coded coded = RoundTrip(tone, 7);
    ASSERT_EQ(coded.pcm.size(), tone.size());
    const std::size_t n = coded.pcm.size() - kSettle;
    EXPECT_NEAR(Pitch(coded.pcm.data() + kSettle, n, kRate), 1000.0, 20.0);
    EXPECT_NEAR(Dbfs(coded.pcm.data() + kSettle, n), Dbfs(tone.data() + kSettle, n), 3.0);
    for (int size : coded.sizes) EXPECT_EQ(size, 32);

    // Voiced sound keeps its level over a wide range.
    for (double dbfs : {-6.0, -20.0, -30.0}) {
        SCOPED_TRACE(dbfs);
        const auto voiced = Voiced(dbfs, kRate);
        const Coded back = RoundTrip(voiced, 7);
        ASSERT_EQ(back.pcm.size(), voiced.size());
        const std::size_t m = voiced.size() - kSettle;
        EXPECT_NEAR(Dbfs(back.pcm.data() + kSettle, m), Dbfs(voiced.data() + kSettle, m), 3.0);
    }

    const std::vector<std::int16_t> silence(std::size_t(kRate), 0);
    const Coded quiet = RoundTrip(silence, 7);
    ASSERT_EQ(quiet.pcm.size(), silence.size());
    EXPECT_LT(Dbfs(quiet.pcm.data(), quiet.pcm.size()), -50.0);
}

TEST(AmrEncoder, EveryModeGivesFramesOfTheSizeItsFirstByteNames) {
    const int sizes[] = {13, 14, 16, 18, 20, 21, 27, 32};
    const auto speechLike = Tone(440, 3277, 10 * kFrame, kRate);
    for (int mode = 0; mode < 8; ++mode) {
        SCOPED_TRACE("mode " + std::to_string(mode));
        sonic_eamr_t* e = sonic_eamr(mode);
        ASSERT_NE(e, nullptr);
        unsigned char* frame = nullptr;
        const int n = sonic_eamr_encode(
            e, reinterpret_cast<const unsigned char*>(speechLike.data()), kFrame * 2, &frame);
        ASSERT_EQ(n, sizes[mode]);
        ASSERT_NE(frame, nullptr);
        EXPECT_EQ((frame[0] >> 3) & 0x0F, mode);
        sonic_eamr_release(e);
    }
}

TEST(AmrEncoder, BadModesAndBadCallsAreRefused) {
    EXPECT_EQ(sonic_eamr(-1), nullptr);
    EXPECT_EQ(sonic_eamr(8), nullptr);  // the comfort-noise type is no speech mode
    sonic_eamr_release(nullptr);

    sonic_eamr_t* e = sonic_eamr(7);
    ASSERT_NE(e, nullptr);
    std::vector<unsigned char> pcm(kFrame * 2 + 2, 0);
    unsigned char stale = 0;
    unsigned char* out = &stale;  // a refused call must not leave it pointing anywhere
    EXPECT_LE(sonic_eamr_encode(e, pcm.data(), kFrame * 2 - 2, &out), 0);
    EXPECT_EQ(out, nullptr);
    EXPECT_LE(sonic_eamr_encode(e, pcm.data(), kFrame * 2 + 2, &out), 0);
    EXPECT_LE(sonic_eamr_encode(e, nullptr, kFrame * 2, &out), 0);
    EXPECT_LE(sonic_eamr_encode(nullptr, pcm.data(), kFrame * 2, &out), 0);
    EXPECT_LE(sonic_eamr_encode(e, pcm.data(), kFrame * 2, nullptr), 0);
    // An odd address still encodes: the samples are copied before use.
    EXPECT_EQ(sonic_eamr_encode(e, pcm.data() + 1, kFrame * 2, &out), 32);
    sonic_eamr_release(e);
}

}  // namespace
