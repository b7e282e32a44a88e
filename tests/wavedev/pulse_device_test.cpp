// Against a real PulseAudio daemon (PULSE_SERVER; scripts/test starts one
// with a null sink and a sine source): the sine source is heard at its
// pitch, what we play comes out of the sink (heard through the loopback on
// its monitor), the mixer's volumes and mutes round-trip on the devices,
// and wrong devices or formats give their result codes. Without a daemon
// the cases skip, or fail when ZERI_REQUIRE_PULSE=1.
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "platform/tapout/tapout.h"
#include "platform/wavedev/wavedev.h"
#include "tests/wavedev/signal.h"

namespace {

using namespace wavedev;
using namespace std::chrono_literals;

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

// Collected samples, from whichever thread delivers them.
struct Collector {
    std::mutex lock;
    std::condition_variable more;
    std::vector<std::int16_t> samples;

    void Add(const std::int16_t* s, std::size_t n) {
        std::lock_guard<std::mutex> l(lock);
        samples.insert(samples.end(), s, s + n);
        more.notify_all();
    }
    bool WaitFor(std::size_t n) {
        std::unique_lock<std::mutex> l(lock);
        return more.wait_for(l, 10s, [&] { return samples.size() >= n; });
    }
    std::vector<std::int16_t> Take() {
        std::lock_guard<std::mutex> l(lock);
        return samples;
    }
};

class PulseDevice : public testing::Test {
protected:
    void SetUp() override {
        backend_ = MakeBackend(Options{"", "", Env("PULSE_SERVER"), 0, 0});
        if (backend_->Name() != "pulse") {
            if (Env("ZERI_REQUIRE_PULSE") == "1")
                FAIL() << "no PulseAudio daemon answers at PULSE_SERVER=" << Env("PULSE_SERVER");
            GTEST_SKIP() << "no PulseAudio daemon (set PULSE_SERVER, or run scripts/test)";
        }
    }
    void TearDown() override {
        if (!backend_ || backend_->Name() != "pulse") return;
        for (const int kind : {mixer_capture, mixer_output}) {
            backend_->SetVolume(kind, 100, -1);
            backend_->SetMute(kind, false, -1);
        }
    }

    // Plays `pcm` on the default sink, writing as the device asks.
    void Play(const std::vector<std::int16_t>& pcm, int rate) {
        std::mutex lock;
        std::condition_variable writable;
        bool wake = false;
        int result = -1;
        auto out = backend_->OpenOut(-1, rate, 1, std::size_t(rate) / 5, [&] {
            std::lock_guard<std::mutex> l(lock);
            wake = true;
            writable.notify_all();
        }, result);
        ASSERT_EQ(result, ok);
        ASSERT_TRUE(out);
        std::size_t at = 0;
        while (at < pcm.size()) {
            const long n = out->Write(pcm.data() + at, (pcm.size() - at) * 2);
            ASSERT_GE(n, 0);
            at += std::size_t(n) / 2;
            std::unique_lock<std::mutex> l(lock);
            writable.wait_for(l, 100ms, [&] { return wake; });
            wake = false;
        }
        EXPECT_LE(out->QueuedUs(), 2000000u);
        std::this_thread::sleep_for(std::chrono::microseconds(out->QueuedUs()) + 100ms);
        out->Close();
        out->Close();
        EXPECT_EQ(out->Write(pcm.data(), 2), -1);
    }

    std::shared_ptr<IWaveBackend> backend_;
};

TEST_F(PulseDevice, SineSourceIsCapturedAtItsPitch) {
    const auto names = backend_->InputNames();
    int sine = -1;
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(names[i].find("Monitor of"), std::string::npos) << "monitors are not inputs";
        if (names[i].find("Sine") != std::string::npos) sine = int(i);
    }
    ASSERT_GE(sine, 0) << "the daemon has no sine source";
    for (const int device : {sine, -1}) {  // by index, and as the default source
        Collector got;
        int result = -1;
        auto in = backend_->OpenIn(device, 22050, 1, 2048,
                                   [&](const std::int16_t* s, std::size_t n) { got.Add(s, n); }, result);
        ASSERT_EQ(result, ok);
        ASSERT_TRUE(in);
        ASSERT_TRUE(got.WaitFor(22050));
        in->Close();
        in->Close();
        const auto s = got.Take();
        EXPECT_GT(wavetest::Rms(s.data() + 2205, 11025), 1000) << device;
        EXPECT_NEAR(wavetest::Pitch(s.data() + 2205, 11025, 22050), 440, 5) << device;
        EXPECT_EQ(in->Overruns(), 0u);
    }
}

TEST_F(PulseDevice, PlaybackIsHeardOnTheSinkMonitor) {
    ASSERT_FALSE(backend_->OutputNames().empty());
    TAPOUT_SetServer(Env("PULSE_SERVER").c_str());
    Collector heard;
    tapout_t* tap = TAPOUT_Init(
        [](const void* data, int length, void* c) {
            static_cast<Collector*>(c)->Add(static_cast<const std::int16_t*>(data), std::size_t(length) / 2);
        },
        &heard);
    int rate = 0, channels = 0, bits = 0;
    ASSERT_EQ(TAPOUT_Open(tap, 0, &rate, &channels, &bits), 0);
    EXPECT_EQ(rate, 44100);
    EXPECT_EQ(channels, 2);
    EXPECT_EQ(bits, 16);

    Play(wavetest::Tone(1000, 12000, 22050, 22050), 22050);  // one second
    EXPECT_EQ(TAPOUT_Close(tap), 0);
    TAPOUT_Release(tap);
    TAPOUT_SetServer(nullptr);

    const auto left = wavetest::Channel(heard.Take(), 2, 0);
    const long onset = wavetest::Onset(left, 3000);
    ASSERT_GE(onset, 0) << "nothing heard on the monitor (" << left.size() << " samples)";
    ASSERT_GT(left.size(), std::size_t(onset) + 22050);
    EXPECT_NEAR(wavetest::Pitch(left.data() + onset + 2205, 17640, 44100), 1000, 10);
    EXPECT_GT(wavetest::Rms(left.data() + onset + 2205, 17640), 6000);
}

TEST_F(PulseDevice, OwnPlaybackMuteSilencesOnlyUs) {
    TAPOUT_SetServer(Env("PULSE_SERVER").c_str());
    Collector heard;
    tapout_t* tap = TAPOUT_Init(
        [](const void* data, int length, void* c) {
            static_cast<Collector*>(c)->Add(static_cast<const std::int16_t*>(data), std::size_t(length) / 2);
        },
        &heard);
    int rate = 0, channels = 0, bits = 0;
    ASSERT_EQ(TAPOUT_Open(tap, 0, &rate, &channels, &bits), 0);
    ASSERT_TRUE(backend_->SetMute(mixer_own_playback, true, -1));
    EXPECT_TRUE(backend_->GetMute(mixer_own_playback, -1));
    Play(wavetest::Tone(1000, 12000, 11025, 22050), 22050);
    ASSERT_TRUE(backend_->SetMute(mixer_own_playback, false, -1));
    TAPOUT_Close(tap);
    TAPOUT_Release(tap);
    TAPOUT_SetServer(nullptr);
    const auto s = heard.Take();
    EXPECT_GT(s.size(), 44100u / 2);
    EXPECT_LT(wavetest::Peak(s.data(), s.size()), 100);
    EXPECT_FALSE(backend_->GetMute(mixer_output, -1)) << "the device itself was not muted";
}

TEST_F(PulseDevice, MixerRoundTripsOnTheDevices) {
    for (const int kind : {mixer_capture, mixer_output, mixer_own_playback}) {
        EXPECT_TRUE(backend_->SetVolume(kind, 37, -1)) << kind;
        EXPECT_EQ(backend_->GetVolume(kind, -1), 37) << kind;
        EXPECT_EQ(backend_->GetVolume(kind, 0), 37) << kind;
        EXPECT_TRUE(backend_->SetVolume(kind, 81, 0)) << kind;
        EXPECT_EQ(backend_->GetVolume(kind, -1), 81) << kind;
        EXPECT_TRUE(backend_->SetMute(kind, true, -1)) << kind;
        EXPECT_TRUE(backend_->GetMute(kind, -1)) << kind;
        EXPECT_TRUE(backend_->SetMute(kind, false, -1)) << kind;
        EXPECT_FALSE(backend_->GetMute(kind, -1)) << kind;
    }
    backend_->SetVolume(mixer_own_playback, 100, -1);
    EXPECT_EQ(backend_->GetVolume(mixer_none, -1), 0);
    EXPECT_FALSE(backend_->SetVolume(mixer_none, 50, -1));
    EXPECT_FALSE(backend_->GetMute(mixer_none, -1));
    EXPECT_FALSE(backend_->SetMute(mixer_none, true, -1));
}

TEST_F(PulseDevice, WrongDevicesAndFormatsGiveTheirResults) {
    int result = -1;
    EXPECT_FALSE(backend_->OpenIn(99, 22050, 1, 2048, nullptr, result));
    EXPECT_EQ(result, bad_device);
    EXPECT_FALSE(backend_->OpenOut(99, 22050, 1, 8192, nullptr, result));
    EXPECT_EQ(result, bad_device);
    EXPECT_FALSE(backend_->OpenIn(-5, 22050, 1, 2048, nullptr, result));
    EXPECT_EQ(result, bad_device);
    EXPECT_FALSE(backend_->OpenIn(-1, 0, 1, 2048, nullptr, result));
    EXPECT_EQ(result, bad_format);
    EXPECT_FALSE(backend_->OpenOut(-1, 22050, 0, 8192, nullptr, result));
    EXPECT_EQ(result, bad_format);
    EXPECT_FALSE(backend_->OpenOut(-1, 22050, 200, 8192, nullptr, result));
    EXPECT_EQ(result, bad_format);
    EXPECT_EQ(backend_->GetVolume(mixer_capture, 99), 0);
    EXPECT_FALSE(backend_->SetVolume(mixer_output, 50, 99));
    EXPECT_FALSE(backend_->GetMute(mixer_output, 99));
    EXPECT_FALSE(backend_->SetMute(mixer_capture, true, 99));
}

TEST_F(PulseDevice, PlaybackStreamKeepsItsBufferAndCountsUnderruns) {
    int result = -1;
    std::atomic<int> calls{0};
    auto out = backend_->OpenOut(-1, 22050, 1, 8820, [&] { ++calls; }, result);
    ASSERT_TRUE(out);
    const auto tone = wavetest::Tone(500, 5000, 22050, 22050);
    const std::size_t writable = out->Writable();
    EXPECT_GT(writable, 0u);
    EXPECT_EQ(writable % 2, 0u);
    const long n = out->Write(tone.data(), tone.size() * 2);
    EXPECT_EQ(n, long(writable));
    EXPECT_EQ(out->Write(tone.data(), 1), 0);  // less than a frame
    // What was written, plus the sink's own buffer (the null sink may take
    // it all at once, and then it is nothing).
    EXPECT_LE(out->QueuedUs(), 2500000u);
    // The null sink works in blocks of up to two seconds: dry within a few.
    for (int i = 0; i < 100 && out->Underruns() == 0; ++i) std::this_thread::sleep_for(50ms);
    EXPECT_GE(out->Underruns(), 1u);
    EXPECT_EQ(out->QueuedUs(), 0u);
    EXPECT_GT(calls.load(), 0);
    out->Close();
    const int after = calls.load();
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(calls.load(), after) << "a callback after Close";
}

}  // namespace
