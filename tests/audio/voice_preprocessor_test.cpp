// The microphone's preprocessing as a listener would notice it: hiss gone
// and voice kept, speech told from quiet, +5 dB without wrapping, and the
// loudspeaker's echo taken out of what the microphone heard.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <numbers>
#include <random>
#include <thread>
#include <vector>

#include "audio/capture/voice_preprocessor.h"

namespace {

constexpr int kRate = 22050;
constexpr int kBlock = 1024;
constexpr double kPi = std::numbers::pi;

using Pcm = std::vector<std::int16_t>;

std::int16_t Sample(double v) {
    return static_cast<std::int16_t>(std::clamp(std::lround(v), -32767L, 32767L));
}

Pcm Noise(std::size_t n, double rms, unsigned seed) {
    std::mt19937 random(seed);
    std::normal_distribution<double> gauss(0.0, rms);
    Pcm out(n);
    for (auto& s : out) s = Sample(gauss(random));
    return out;
}

Pcm Sine(std::size_t n, double hz, double amplitude) {
    Pcm out(n);
    for (std::size_t i = 0; i < n; ++i)
        out[i] = Sample(amplitude * std::sin(2 * kPi * hz * double(i) / kRate));
    return out;
}

// Voice-like talk: syllables of 150–300 ms with short gaps, each a
// harmonic tone on its own gliding pitch, rising and falling in loudness.
Pcm Talk(std::size_t n, double amplitude, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> uniform(0, 1);
    Pcm out(n, 0);
    double phase = 0;
    for (std::size_t i = 0; i < n;) {
        const auto syllable = static_cast<std::size_t>(kRate * (0.15 + 0.15 * uniform(random)));
        const auto gap = static_cast<std::size_t>(kRate * (0.06 + 0.14 * uniform(random)));
        const double pitch = 110 + 90 * uniform(random), glide = (uniform(random) - 0.5) * 60;
        for (std::size_t k = 0; k < syllable && i < n; ++k, ++i) {
            const double x = double(k) / double(syllable);
            phase += 2 * kPi * (pitch + glide * x) / kRate;
            double v = 0;
            for (int h = 1; h <= 12; ++h) v += std::sin(h * phase) / h;
            out[i] = Sample(amplitude * 0.5 * std::sin(kPi * x) * v);
        }
        i += gap;
    }
    return out;
}

Pcm Mix(const Pcm& a, const Pcm& b) {
    Pcm out(a.size());
    for (std::size_t i = 0; i < a.size(); ++i) out[i] = Sample(double(a[i]) + b[i]);
    return out;
}

double Energy(const Pcm& p, std::size_t from, std::size_t to) {
    double e = 0;
    for (std::size_t i = from; i < to; ++i) e += double(p[i]) * p[i];
    return e / double(to - from);
}

double Db(double ratio) { return 10 * std::log10(ratio); }

// The amplitude of the `hz` component over [from, to) (a single DFT bin).
double ToneAmplitude(const Pcm& p, std::size_t from, std::size_t to, double hz) {
    double re = 0, im = 0;
    for (std::size_t i = from; i < to; ++i) {
        const double w = 2 * kPi * hz * double(i) / kRate;
        re += p[i] * std::cos(w);
        im += p[i] * std::sin(w);
    }
    return 2 * std::hypot(re, im) / double(to - from);
}

// The preprocessor over `pcm` block by block, in place; its speech answer per block.
std::vector<bool> RunBlocks(CVoicePreprocessor& pre, Pcm& pcm) {
    std::vector<bool> speech;
    for (std::size_t at = 0; at + kBlock <= pcm.size(); at += kBlock)
        speech.push_back(pre.Run(&pcm[at]));
    return speech;
}

double ShareTrue(const std::vector<bool>& v, std::size_t from, std::size_t to) {
    return double(std::count(v.begin() + from, v.begin() + to, true)) / double(to - from);
}

// The far end's talk played, heard back by the microphone 60 ms later at
// half its level over a little room noise; the blocks go through the
// canceller (and, when `preprocess`, the preprocessor) as on the capture thread.
Pcm EchoedThrough(const Pcm& played, Pcm& mic, bool preprocess) {
    const std::size_t delay = kRate * 60 / 1000;
    const Pcm room = Noise(played.size(), 20, 5);
    mic.resize(played.size());
    for (std::size_t i = 0; i < mic.size(); ++i)
        mic[i] = Sample((i >= delay ? 0.5 * played[i - delay] : 0) + room[i]);
    CVoicePreprocessor pre(kBlock, kRate);
    CEchoReference reference;
    pre.SetEcho(&reference);
    EXPECT_TRUE(pre.echoOn());
    Pcm out = mic;
    for (std::size_t at = 0; at + kBlock <= out.size(); at += kBlock) {
        reference.Played(&played[at], kBlock);  // what the speaker played meanwhile
        pre.CancelEcho(&out[at]);
        if (preprocess) pre.Run(&out[at]);
    }
    return out;
}

// Echo return loss enhancement over the last `seconds` processed.
double EchoLossDb(const Pcm& mic, const Pcm& out, double seconds) {
    const std::size_t end = out.size() / kBlock * kBlock;
    const auto from = end - static_cast<std::size_t>(seconds * kRate);
    return Db(Energy(mic, from, end) / Energy(out, from, end));
}

}  // namespace

// speexdsp adapts once per frame: at 46-ms blocks its noise estimate needs
// about five seconds, so these signals run six.
TEST(VoicePreprocessor, HissInThePausesDropsByTenDecibelsWhileToneBurstsKeepTheirLevel) {
    CVoicePreprocessor pre(kBlock, kRate);
    ASSERT_TRUE(pre.valid());
    // Bursts like syllables (a tone that never stops is steady noise to the
    // denoiser), at a talking level the gain control leaves alone.
    const std::size_t n = 6 * kRate, period = kRate * 600 / 1000, on = kRate * 200 / 1000;
    const Pcm sine = Sine(n, 1000, 1500);
    Pcm tone(n);
    for (std::size_t i = 0; i < n; ++i) tone[i] = i % period < on ? sine[i] : 0;
    const Pcm in = Mix(Noise(n, 300, 1), tone);
    Pcm out = in;
    RunBlocks(pre, out);

    const std::size_t edge = kRate / 20;  // the gain moving at each edge
    double hissIn = 0, hissOut = 0;
    for (std::size_t start = n - 2 * period; start < n; start += period) {
        hissIn += Energy(in, start + on + edge, start + period);
        hissOut += Energy(out, start + on + edge, start + period);
        const double before = ToneAmplitude(in, start + edge, start + on, 1000);
        const double after = ToneAmplitude(out, start + edge, start + on, 1000);
        EXPECT_NEAR(Db(after * after / (before * before)), 0.0, 3.0) << "burst at " << start;
    }
    EXPECT_GE(Db(hissIn / hissOut), 10.0);
}

TEST(VoicePreprocessor, QuietNoiseIsMostlyNotSpeechAndAVoiceMostlyIs) {
    CVoicePreprocessor pre(kBlock, kRate);
    ASSERT_TRUE(pre.valid());
    Pcm noise = Noise(4 * kRate, 30, 2);
    const auto quiet = RunBlocks(pre, noise);
    EXPECT_LE(ShareTrue(quiet, quiet.size() / 2, quiet.size()), 0.2);  // once it has adapted
    Pcm voice = Mix(Talk(3 * kRate, 8000, 4), Noise(3 * kRate, 30, 3));
    const auto talking = RunBlocks(pre, voice);
    EXPECT_GE(ShareTrue(talking, 0, talking.size()), 0.8);
    Pcm after = Noise(4 * kRate, 30, 4);
    const auto pause = RunBlocks(pre, after);
    EXPECT_LE(ShareTrue(pause, pause.size() / 2, pause.size()), 0.2);
}

TEST(VoicePreprocessor, AQuietAndALoudTalkerComeOutAtAboutTheSameLevel) {
    const std::size_t n = 4 * kRate;
    double level[2];
    int k = 0;
    for (double amplitude : {300.0, 20000.0}) {  // 36 dB apart
        CVoicePreprocessor pre(kBlock, kRate);
        const Pcm in = Mix(Talk(n, amplitude, 5), Noise(n, 20, 6));
        Pcm out = in;
        RunBlocks(pre, out);
        level[k++] = Energy(out, n - 2 * kRate, n / kBlock * kBlock);
    }
    EXPECT_NEAR(Db(level[1] / level[0]), 0.0, 6.0);
}

TEST(VoicePreprocessor, SizesThatAreNoMicrophoneBlockMakeAnInertPreprocessor) {
    Pcm frame = Talk(kBlock, 8000, 4);
    const Pcm original = frame;
    CEchoReference reference;
    for (const auto& [samples, rate] : {std::pair{0, kRate},
                                        {kBlock, 0},
                                        {-1, -1},
                                        {INT_MAX, kRate},
                                        {kBlock, INT_MAX},
                                        {8, 8000}}) {
        CVoicePreprocessor pre(samples, rate);
        EXPECT_FALSE(pre.valid()) << samples << " at " << rate;
        EXPECT_FALSE(pre.Run(frame.data()));
        pre.SetEcho(&reference);
        EXPECT_FALSE(pre.echoOn());
        pre.CancelEcho(frame.data());
        EXPECT_EQ(frame, original);
    }
    // Other real sizes work; a missing frame is refused.
    for (const auto& [samples, rate] : {std::pair{160, 8000}, {441, 44100}}) {
        CVoicePreprocessor pre(samples, rate);
        ASSERT_TRUE(pre.valid()) << samples << " at " << rate;
        EXPECT_FALSE(pre.Run(nullptr));
        pre.SetEcho(&reference);
        pre.CancelEcho(nullptr);
    }
}

// Full-scale junk on both sides (a loose plug, a crackling output) must not
// break the chain: the canceller still lets talk through unchanged, and the
// preprocessor's output comes back, slowly: its gain control remembers a loud
// burst for tens of seconds at 46-ms frames.
TEST(VoicePreprocessor, JunkOnMicrophoneAndSpeakerLeavesTheChainWorking) {
    CVoicePreprocessor pre(kBlock, kRate);
    CEchoReference reference;
    pre.SetEcho(&reference);
    std::mt19937 random(10);
    std::uniform_int_distribution<int> junk(-32768, 32767);
    Pcm block(kBlock);
    for (int b = 0; b < 40; ++b) {
        for (auto& s : block)
            s = static_cast<std::int16_t>(b % 2 ? junk(random) : (b % 4 ? 32767 : -32768));
        reference.Played(block.data(), block.size());
        for (auto& s : block) s = static_cast<std::int16_t>(junk(random));
        pre.CancelEcho(block.data());
        pre.Run(block.data());
    }
    const Pcm talk = Talk(30 * kRate, 3000, 11);
    Pcm cancelled = talk, out = talk;
    for (std::size_t at = 0; at + kBlock <= out.size(); at += kBlock) {
        pre.CancelEcho(&cancelled[at]);
        std::copy_n(&cancelled[at], kBlock, &out[at]);
        pre.Run(&out[at]);
    }
    const std::size_t end = out.size() / kBlock * kBlock;
    EXPECT_NEAR(Db(Energy(cancelled, 0, end) / Energy(talk, 0, end)), 0.0, 1.0);
    const auto level = [&](std::size_t from, std::size_t to) {
        return Db(Energy(out, from, to) / Energy(talk, from, to));
    };
    EXPECT_GT(level(end - 5 * kRate, end), -25.0);
    EXPECT_GT(level(end - 5 * kRate, end), level(2 * kRate, 7 * kRate) + 15.0);
}

TEST(VoiceEnhance, QuietInputComesOutFiveDecibelsLouderAndZeroDecibelsIsUntouched) {
    const Pcm in = Sine(4096, 440, 3000);
    Pcm out = in, unity = in;
    CVoiceEnhance().Apply(out.data(), out.size());
    CVoiceEnhance(0).Apply(unity.data(), unity.size());
    for (std::size_t i = 0; i < in.size(); ++i) EXPECT_NEAR(out[i], in[i] * 1.77828, 1.0) << i;
    EXPECT_EQ(unity, in);
}

TEST(VoiceEnhance, LoudInputIsLimitedWithoutWrappingAndTheGainComesBack) {
    CVoiceEnhance enhance;
    Pcm in = Sine(4096, 440, 30000);
    in[100] = -32768;
    in[101] = 32767;
    const Pcm quiet = Sine(4096, 440, 3000);
    in.insert(in.end(), quiet.begin(), quiet.end());
    Pcm out = in;
    enhance.Apply(out.data(), out.size());
    for (std::size_t i = 0; i < 4096; ++i) {
        ASSERT_GE(out[i], -32767) << i;
        if (in[i] != 0) {
            ASSERT_EQ(out[i] > 0, in[i] > 0) << "wrapped at " << i;
        }
    }
    EXPECT_EQ(out[100], -32767);
    EXPECT_EQ(out[101], 32767);
    // A few hundred samples after the loud part the full gain is back.
    for (std::size_t i = 4096 + 300; i < in.size(); ++i)
        EXPECT_NEAR(out[i], in[i] * 1.77828, 1.0 + std::abs(in[i]) * 0.01) << i;
}

TEST(VoiceEnhance, APeakHoldsTheGainDownBrieflyInsteadOfOnlyClippingItself) {
    CVoiceEnhance enhance;
    Pcm pcm(200, 1000);
    pcm[10] = 30000;
    enhance.Apply(pcm.data(), pcm.size());
    EXPECT_EQ(pcm[9], 1778);
    EXPECT_EQ(pcm[10], 32767);
    EXPECT_NEAR(pcm[11], 1778 * 0.64, 20);  // 0.614, a sixteenth of the way back
    EXPECT_LT(pcm[11], pcm[20]);
    EXPECT_LT(pcm[20], pcm[40]);
    EXPECT_NEAR(pcm[199], 1778, 2);
}

TEST(VoiceEnhance, TheSameSoundCutIntoOtherBlocksComesOutTheSame) {
    const Pcm in = Mix(Sine(22050, 300, 25000), Noise(22050, 2000, 6));
    Pcm whole = in;
    CVoiceEnhance(5).Apply(whole.data(), whole.size());
    std::mt19937 random(8);
    for (std::size_t block :
         {std::size_t{1024}, std::size_t{160}, std::size_t{7}, std::size_t{0}}) {
        CVoiceEnhance enhance(5);
        Pcm cut = in;
        std::uniform_int_distribution<std::size_t> size(0, 3000);
        for (std::size_t at = 0; at < cut.size();) {
            const std::size_t count = std::min(block ? block : size(random), cut.size() - at);
            enhance.Apply(&cut[at], count);
            at += count;
        }
        EXPECT_EQ(cut, whole) << "blocks of " << block;
    }
}

TEST(VoiceEnhance, AbsurdLevelsStayBoundedAndNullIsRefused) {
    for (int level : {INT_MIN, -1000, 1000, INT_MAX}) {
        CVoiceEnhance enhance(level);
        Pcm pcm = Sine(1024, 440, 32767);
        enhance.Apply(pcm.data(), pcm.size());
        for (auto s : pcm) ASSERT_GE(s, -32767);
        enhance.Apply(nullptr, 1024);
    }
}

TEST(EchoCancel, WhatIsSentCarriesTheEchoTenDecibelsDownAfterThreeSeconds) {
    for (const Pcm& played : {Talk(3 * kRate, 8000, 7), Noise(3 * kRate, 3000, 9)}) {
        Pcm mic;
        const Pcm out = EchoedThrough(played, mic, true);
        EXPECT_GE(EchoLossDb(mic, out, 1.0), 10.0);
    }
}

// The linear canceller alone, without the preprocessor's residual
// suppression, against a far end that never pauses.
TEST(EchoCancel, TheCancellerAloneLearnsTheEchoPath) {
    Pcm mic;
    const Pcm out = EchoedThrough(Noise(3 * kRate, 3000, 9), mic, false);
    EXPECT_GE(EchoLossDb(mic, out, 1.0), 10.0);
}

TEST(EchoCancel, MyVoiceGoesThroughWhenNothingIsPlayedAndOffMeansUntouched) {
    CVoicePreprocessor pre(kBlock, kRate);
    CEchoReference reference;
    pre.SetEcho(&reference);
    const Pcm voice = Talk(2 * kRate, 8000, 4);
    Pcm out = voice;
    for (std::size_t at = 0; at + kBlock <= out.size(); at += kBlock) pre.CancelEcho(&out[at]);
    const std::size_t end = out.size() / kBlock * kBlock;
    EXPECT_NEAR(Db(Energy(out, kRate, end) / Energy(voice, kRate, end)), 0.0, 1.0);

    // Off leaves blocks as they were; on again, and destroyed while on.
    pre.SetEcho(nullptr);
    EXPECT_FALSE(pre.echoOn());
    Pcm block(voice.begin(), voice.begin() + kBlock);
    pre.CancelEcho(block.data());
    EXPECT_TRUE(std::equal(block.begin(), block.end(), voice.begin()));
    pre.Run(block.data());  // no longer reaches for the canceller just destroyed
    pre.SetEcho(&reference);
    pre.SetEcho(&reference);
    EXPECT_TRUE(pre.echoOn());
    pre.CancelEcho(block.data());
    pre.Run(block.data());
    // Destroyed with the canceller attached: nothing left behind (the leak checker).
}

TEST(EchoReference, OverfillKeepsTheNewestSecondAndStarvedTakesAreZeroFilled) {
    CEchoReference reference;
    Pcm ramp(CEchoReference::kCapacity * 3 / 2);
    for (std::size_t i = 0; i < ramp.size(); ++i)
        ramp[i] = static_cast<std::int16_t>(i % 30000 + 1);
    reference.Played(ramp.data(), 1000);
    reference.Played(ramp.data() + 1000, ramp.size() - 1000);
    EXPECT_EQ(reference.Queued(), CEchoReference::kCapacity);
    Pcm taken(CEchoReference::kCapacity + 500, -1);
    reference.Take(taken.data(), taken.size());
    EXPECT_TRUE(std::equal(taken.begin(), taken.begin() + CEchoReference::kCapacity,
                           ramp.end() - CEchoReference::kCapacity));
    EXPECT_TRUE(std::all_of(taken.begin() + CEchoReference::kCapacity, taken.end(),
                            [](auto s) { return s == 0; }));

    // One call larger than the whole ring keeps its own tail.
    reference.Played(ramp.data(), ramp.size());
    reference.Take(taken.data(), 10);
    EXPECT_TRUE(
        std::equal(taken.begin(), taken.begin() + 10, ramp.end() - CEchoReference::kCapacity));
    reference.Clear();
    reference.Take(taken.data(), 10);
    EXPECT_TRUE(std::all_of(taken.begin(), taken.begin() + 10, [](auto s) { return s == 0; }));
    reference.Played(nullptr, 10);
    reference.Take(nullptr, 10);
    EXPECT_EQ(reference.Queued(), 0u);
}

TEST(EchoReference, PlaybackAndCaptureThreadsSeeTheSamplesInTheOrderPlayed) {
    CEchoReference reference;
    constexpr int kPlays = 70, kPlayed = 441;  // 10 ms at a time, numbered 1…30870
    std::atomic<bool> done{false};
    std::thread playback([&] {
        Pcm chunk(kPlayed);
        for (int p = 0; p < kPlays; ++p) {
            for (int i = 0; i < kPlayed; ++i)
                chunk[i] = static_cast<std::int16_t>(p * kPlayed + i + 1);
            reference.Played(chunk.data(), chunk.size());
            std::this_thread::yield();
        }
        done = true;
    });
    std::vector<std::int16_t> seen;
    Pcm block(kBlock);
    while (!done || reference.Queued() > 0) {
        reference.Take(block.data(), block.size());
        for (auto s : block)
            if (s != 0) seen.push_back(s);
    }
    playback.join();
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back(), kPlays * kPlayed);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_EQ(std::adjacent_find(seen.begin(), seen.end()), seen.end());
}
