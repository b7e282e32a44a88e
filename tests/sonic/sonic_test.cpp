// The voice codecs on real FFmpeg: a tone keeps its pitch and level through
// AAC, every encoded packet is whole ADTS frames, silence stays silent, AMR
// frames are taken by the size their first byte gives, and PCM converts
// between rates and channel counts.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "net/adts.h"
#include "platform/sonic/sonic.h"

namespace {

constexpr int kRate = 22050;
constexpr double kPi = 3.14159265358979323846;

std::vector<std::int16_t> Tone(double hz, double dbfs, int samples, int rate = kRate,
                               int channels = 1) {
    const double amplitude = 32767.0 * std::pow(10.0, dbfs / 20.0);
    std::vector<std::int16_t> out;
    for (int i = 0; i < samples; ++i)
        for (int c = 0; c < channels; ++c)
            out.push_back(static_cast<std::int16_t>(amplitude * std::sin(2 * kPi * hz * i / rate)));
    return out;
}

double Dbfs(const std::int16_t* s, std::size_t n) {
    double sum = 0;
    for (std::size_t i = 0; i < n; ++i) sum += double(s[i]) * s[i];
    const double rms = std::sqrt(sum / double(std::max<std::size_t>(n, 1)));
    return 20 * std::log10(std::max(rms, 1e-9) / 32767.0);
}

// Frequency from the rising zero crossings.
double Pitch(const std::int16_t* s, std::size_t n, int rate) {
    int first = -1, last = -1, crossings = 0;
    for (std::size_t i = 1; i < n; ++i)
        if (s[i - 1] < 0 && s[i] >= 0) {
            if (first < 0) first = int(i);
            last = int(i);
            ++crossings;
        }
    return crossings > 1 ? (crossings - 1) * double(rate) / (last - first) : 0;
}

// Encodes `pcm` in the engine's 2048-byte blocks; the packets that came out.
std::vector<std::vector<unsigned char>> Encode(const std::vector<std::int16_t>& pcm) {
    sonic_eaac_t* e = sonic_eaac(kRate, 1, 32000);
    EXPECT_NE(e, nullptr);
    std::vector<std::vector<unsigned char>> packets;
    const auto* bytes = reinterpret_cast<const unsigned char*>(pcm.data());
    for (std::size_t at = 0; at + 2048 <= pcm.size() * 2; at += 2048) {
        unsigned char* out = nullptr;
        const int n = sonic_eaac_encode(e, bytes + at, 2048, &out);
        if (n > 0) packets.emplace_back(out, out + n);
    }
    sonic_eaac_release(e);
    return packets;
}

std::vector<std::int16_t> Decode(sonic_daac_t* d, const std::vector<unsigned char>& packet) {
    std::vector<std::int16_t> pcm;
    std::size_t at = 0;
    while (at < packet.size()) {
        int offered = int(packet.size() - at);
        unsigned char* out = nullptr;
        int outLength = 0;
        const int used = sonic_daac_decode(d, packet.data() + at, &offered, &out, &outLength);
        if (used <= 0) break;
        if (out) pcm.insert(pcm.end(), reinterpret_cast<std::int16_t*>(out),
                            reinterpret_cast<std::int16_t*>(out) + outLength / 2);
        at += std::size_t(used);
    }
    return pcm;
}

}  // namespace

TEST(Sonic, AToneKeepsPitchAndLevelThroughAacAndEveryPacketIsWholeFrames) {
    ASSERT_EQ(sonic_init(), 1);
    const auto tone = Tone(1000, -12, kRate * 2);
    const auto packets = Encode(tone);
    ASSERT_GT(packets.size(), 35u);  // 43 blocks, less the encoder's start-up
    for (const auto& p : packets)
        EXPECT_EQ(adts::CountFrames(p.data(), p.size(), adts::kProfileLc, adts::kSampling22050,
                                    adts::kMono, 4),
                  1);

    sonic_daac_t* d = sonic_daac();
    ASSERT_NE(d, nullptr);
    std::vector<std::int16_t> heard;
    for (const auto& p : packets) {
        const auto pcm = Decode(d, p);
        EXPECT_EQ(pcm.size(), 1024u);
        heard.insert(heard.end(), pcm.begin(), pcm.end());
    }
    sonic_daac_release(d);
    // The middle second, away from the codec's start and end.
    ASSERT_GT(heard.size(), std::size_t(kRate + 8192));
    const std::int16_t* mid = heard.data() + 8192;
    EXPECT_NEAR(Pitch(mid, kRate, kRate), 1000.0, 20.0);
    EXPECT_NEAR(Dbfs(mid, kRate), Dbfs(tone.data() + 8192, kRate), 1.5);

    // Any one packet, to a decoder that has seen nothing else, gives a frame.
    sonic_daac_t* fresh = sonic_daac();
    EXPECT_EQ(Decode(fresh, packets[packets.size() / 2]).size(), 1024u);
    sonic_daac_release(fresh);
}

TEST(Sonic, SilenceStaysSilentAndBrokenInputIsSkippedNotDecoded) {
    const auto packets = Encode(std::vector<std::int16_t>(kRate, 0));
    sonic_daac_t* d = sonic_daac();
    std::vector<std::int16_t> heard;
    for (const auto& p : packets) {
        const auto pcm = Decode(d, p);
        heard.insert(heard.end(), pcm.begin(), pcm.end());
    }
    ASSERT_FALSE(heard.empty());
    EXPECT_LT(Dbfs(heard.data(), heard.size()), -60.0);

    // Garbage before a frame is stepped over up to the next sync byte; a
    // frame not yet whole waits.
    std::vector<unsigned char> junk = {0x12, 0x34, 0x56};
    junk.insert(junk.end(), packets[3].begin(), packets[3].end());
    int offered = int(junk.size());
    unsigned char* out = nullptr;
    int outLength = 0;
    EXPECT_EQ(sonic_daac_decode(d, junk.data(), &offered, &out, &outLength), 3);
    EXPECT_EQ(out, nullptr);
    offered = int(packets[3].size()) - 1;
    EXPECT_EQ(sonic_daac_decode(d, packets[3].data(), &offered, &out, &outLength), 0);
    offered = int(packets[3].size());
    EXPECT_EQ(sonic_daac_decode(d, packets[3].data(), &offered, &out, &outLength), offered);
    EXPECT_EQ(outLength, 2048);
    EXPECT_EQ(sonic_daac_decode(nullptr, packets[3].data(), &offered, &out, &outLength), 0);
    sonic_daac_release(d);
}

TEST(Sonic, AmrFramesAreTakenByTheSizeTheirFirstByteGives) {
    sonic_damr_t* d = sonic_damr();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(sonic_damr_size(d), 32);
    const int sizes[] = {13, 14, 16, 18, 20, 21, 27, 32};
    std::mt19937 random(7);
    for (int mode = 0; mode < 8; ++mode) {
        SCOPED_TRACE("mode " + std::to_string(mode));
        std::vector<unsigned char> two(std::size_t(sizes[mode]) * 2);
        for (auto& b : two) b = static_cast<unsigned char>(random());
        two[0] = static_cast<unsigned char>(mode << 3 | 0x04);
        two[std::size_t(sizes[mode])] = two[0];
        unsigned char* out = nullptr;
        int outLength = 0;
        EXPECT_EQ(sonic_damr_decode(d, two.data(), sizes[mode] - 1, &out, &outLength), 0);
        EXPECT_EQ(sonic_damr_decode(d, two.data(), int(two.size()), &out, &outLength), sizes[mode]);
        EXPECT_EQ(outLength, 320);  // 160 samples at 8000 Hz
        ASSERT_NE(out, nullptr);
    }
    sonic_damr_release(d);
}

TEST(Sonic, PcmConvertsBetweenRatesAndChannelsKeepingTheSignal) {
    sonic_convert_t* c = sonic_pcm_create_convert(2, 1, 44100, 22050);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(sonic_pcm_samples_size(c), 16384);
    const auto stereo = Tone(440, -6, 44100, 44100, 2);
    std::vector<std::int16_t> mono;
    const auto* bytes = reinterpret_cast<const unsigned char*>(stereo.data());
    for (std::size_t at = 0; at < stereo.size() * 2; at += 16384) {
        const int piece = int(std::min<std::size_t>(16384, stereo.size() * 2 - at));
        unsigned char* out = nullptr;
        const int n = sonic_pcm_convert(c, bytes + at, piece, &out);
        ASSERT_GE(n, 0);
        if (n > 0) mono.insert(mono.end(), reinterpret_cast<std::int16_t*>(out),
                               reinterpret_cast<std::int16_t*>(out) + n / 2);
    }
    EXPECT_NEAR(double(mono.size()), 22050.0, 64.0);
    ASSERT_GT(mono.size(), 20000u);
    EXPECT_NEAR(Pitch(mono.data() + 1000, 19000, 22050), 440.0, 5.0);
    unsigned char* out = nullptr;
    EXPECT_EQ(sonic_pcm_convert(c, bytes, 16386, &out), -1);  // over the piece size
    sonic_pcm_release(c);
    EXPECT_EQ(sonic_pcm_create_convert(0, 1, 44100, 22050), nullptr);
    EXPECT_EQ(sonic_eaac(12345, 1, 32000), nullptr);
}
