// The player against a real PulseAudio daemon (PULSE_SERVER; scripts/test
// starts one with a null sink): a song is heard on the sink's monitor at its
// pitch, and its end is seen although the server's queue estimate includes
// the sink's own latency. Without a daemon the case skips, or fails when
// ZERI_REQUIRE_PULSE=1.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "platform/jukebox/jukebox_decoder.h"
#include "platform/tapout/tapout.h"
#include "tests/jukebox/songs.h"
#include "tests/wavedev/signal.h"

namespace {

using namespace jukebox;
using namespace std::chrono_literals;

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

struct Heard {
    std::mutex lock;
    std::vector<std::int16_t> samples;
    static void Add(const void* data, int length, void* context) {
        auto* self = static_cast<Heard*>(context);
        const auto* s = static_cast<const std::int16_t*>(data);
        std::lock_guard<std::mutex> l(self->lock);
        self->samples.insert(self->samples.end(), s, s + length / 2);
    }
};

TEST(JukeboxDevice, ASongIsHeardOnTheSoundServerAndEnds) {
    const std::string server = Env("PULSE_SERVER");
    if (wavedev::MakeBackend(wavedev::Options{"", "", server, 0, 0})->Name() != "pulse") {
        if (Env("ZERI_REQUIRE_PULSE") == "1") FAIL() << "no PulseAudio daemon at PULSE_SERVER=" << server;
        GTEST_SKIP() << "no PulseAudio daemon (set PULSE_SERVER, or run scripts/test)";
    }
    wavetest::CTempDir dir;
    std::string error;
    const std::string song = dir / "tone.mp3";
    ASSERT_TRUE(jukeboxtest::MakeTone(song, 1.5, 440, error)) << error;

    TAPOUT_SetServer(server.c_str());
    Heard heard;
    tapout_t* tap = TAPOUT_Init(&Heard::Add, &heard);
    int rate = 0, channels = 0, bits = 0;
    ASSERT_EQ(TAPOUT_Open(tap, 0, &rate, &channels, &bits), 0);

    wavedev::Options devices;
    devices.pulseServer = server;
    auto player = std::make_unique<CJukeboxDecoder>(devices);
    const auto started = std::chrono::steady_clock::now();
    player->Play(song);
    while (player->Status().state != SongState::ended && std::chrono::steady_clock::now() - started < 10s)
        std::this_thread::sleep_for(10ms);
    const auto took = std::chrono::steady_clock::now() - started;
    EXPECT_EQ(player->Status().state, SongState::ended) << player->Status().error;
    EXPECT_GE(player->Status().positionMs, 1400);
    // Its end is seen although the server's estimate is not exact (the null
    // sink alone takes about 1.5 s to start).
    EXPECT_LT(wavetest::Seconds(took), 5.0);
    player.reset();
    EXPECT_EQ(TAPOUT_Close(tap), 0);
    TAPOUT_Release(tap);
    TAPOUT_SetServer(nullptr);

    std::vector<std::int16_t> samples;
    {
        std::lock_guard<std::mutex> l(heard.lock);
        samples = heard.samples;
    }
    const auto left = wavetest::Channel(samples, channels, 0);
    const long onset = wavetest::Onset(left, 1000);
    ASSERT_GE(onset, 0) << "nothing heard on the monitor (" << left.size() << " samples)";
    ASSERT_GT(left.size(), std::size_t(onset) + std::size_t(rate));
    EXPECT_NEAR(wavetest::Pitch(left.data() + onset + rate / 10, std::size_t(rate), rate), 440, 5);
}

}  // namespace
