// The player's engine against real files and the file sound device: what
// reaches the device (length, pitch, no gaps, volume), what the status says
// while a song plays, pauses, seeks and is replaced, and files that cannot
// be played.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <random>
#include <thread>

#include "platform/jukebox/jukebox_decoder.h"
#include "platform/jukebox/song_source.h"
#include "platform/wavedev/wav_file.h"
#include "tests/jukebox/songs.h"
#include "tests/wavedev/signal.h"

namespace {

using namespace jukebox;
using namespace std::chrono_literals;

class DecoderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(songs_.path().empty());
        ASSERT_FALSE(out_.path().empty());
        devices_.outputDir = out_.path();
        devices_.pulseServer = "unix:/nonexistent/zeri-test";  // never a real sound server
    }

    std::string Tone(const std::string& name, double seconds) {
        std::string error;
        const std::string path = songs_ / name;
        EXPECT_TRUE(jukeboxtest::MakeTone(path, seconds, 440, error)) << error;
        return path;
    }

    // Polls the status until `done` holds; false after `timeout`.
    static bool WaitFor(CJukeboxDecoder& d, const std::function<bool(const SongStatus&)>& done,
                        std::chrono::milliseconds timeout = 15s) {
        const auto until = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < until) {
            if (done(d.Status())) return true;
            std::this_thread::sleep_for(5ms);
        }
        return done(d.Status());
    }

    // The device's file once the player (and with it the device) is gone.
    std::vector<std::int16_t> Heard(std::unique_ptr<CJukeboxDecoder>& d) {
        d.reset();
        wavedev::WavFormat format;
        std::vector<std::int16_t> samples;
        std::string error;
        EXPECT_TRUE(wavedev::ReadWav(out_ / wavedev::OutputFileName(kPlayRate), format, samples, error))
            << error;
        EXPECT_EQ(format.rate, kPlayRate);
        EXPECT_EQ(format.channels, kPlayChannels);
        return samples;
    }

    wavetest::CTempDir songs_, out_;
    wavedev::Options devices_;
};

// First and last frame louder than `threshold` (left channel), or -1.
std::pair<long, long> LoudSpan(const std::vector<std::int16_t>& left, int threshold) {
    long first = -1, last = -1;
    for (std::size_t i = 0; i < left.size(); ++i)
        if (std::abs(int(left[i])) > threshold) {
            if (first < 0) first = long(i);
            last = long(i);
        }
    return {first, last};
}

TEST_F(DecoderTest, ASongPlaysWholeAndInTuneOnTheDevice) {
    const std::string song = Tone("tone.mp3", 2.0);
    auto d = std::make_unique<CJukeboxDecoder>(devices_);
    const auto started = std::chrono::steady_clock::now();
    const int id = d->Play(song);
    EXPECT_EQ(d->Status().song, id);
    ASSERT_TRUE(WaitFor(*d, [](const SongStatus& s) { return s.state == SongState::playing; }));
    EXPECT_NEAR(d->Status().durationMs, 2000, 100);
    int last = 0;
    bool backwards = false, ahead = false;
    ASSERT_TRUE(WaitFor(*d, [&](const SongStatus& s) {
        // The position is what has been heard, not what was handed to the device.
        const auto elapsed = std::chrono::steady_clock::now() - started;
        ahead = ahead || s.positionMs > std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count() + 40;
        backwards = backwards || s.positionMs + 50 < last;
        last = s.positionMs;
        return s.state == SongState::ended;
    })) << "state " << int(d->Status().state) << " error " << d->Status().error;
    EXPECT_FALSE(backwards);
    EXPECT_FALSE(ahead);
    EXPECT_GE(d->Status().positionMs, 1900);
    EXPECT_EQ(d->Status().song, id);

    const auto left = wavetest::Channel(Heard(d), kPlayChannels, 0);
    const auto [first, lastLoud] = LoudSpan(left, 500);
    ASSERT_GE(first, 0) << "the device heard only silence";
    EXPECT_NEAR(double(lastLoud - first) / kPlayRate, 2.0, 0.1);
    const std::int16_t* tone = left.data() + first;
    const std::size_t frames = std::size_t(lastLoud - first);
    EXPECT_NEAR(wavetest::Pitch(tone, frames, kPlayRate), 440.0, 3.0);
    EXPECT_GT(wavetest::Rms(tone, frames), 1500.0);
    // The player kept the device fed: no 20 ms stretch of silence inside the song.
    const std::size_t window = kPlayRate / 50;
    for (std::size_t at = 0; at + window <= frames; at += window)
        ASSERT_GT(wavetest::Peak(tone + at, window), 500) << "gap at " << double(at) / kPlayRate << " s";
}

TEST_F(DecoderTest, PauseSeekVolumeAndANewSong) {
    const std::string longSong = Tone("long.ogg", 6.0);
    const std::string shortSong = Tone("short.flac", 1.5);
    auto d = std::make_unique<CJukeboxDecoder>(devices_);
    const int first = d->Play(longSong);
    ASSERT_TRUE(WaitFor(*d, [](const SongStatus& s) { return s.positionMs > 300; }));

    // Paused: the position holds once the device's buffer has played out.
    d->Pause(true);
    ASSERT_TRUE(WaitFor(*d, [](const SongStatus& s) { return s.state == SongState::paused; }));
    std::this_thread::sleep_for(350ms);
    const int held = d->Status().positionMs;
    std::this_thread::sleep_for(400ms);
    EXPECT_NEAR(d->Status().positionMs, held, 30);
    d->Pause(false);
    ASSERT_TRUE(WaitFor(*d, [&](const SongStatus& s) { return s.positionMs > held + 200; }, 3s));

    // A seek moves the position there at once, and play goes on from it.
    d->Seek(4000);
    ASSERT_TRUE(WaitFor(*d, [](const SongStatus& s) { return s.positionMs >= 4000; }, 1s))
        << d->Status().positionMs;
    EXPECT_LT(d->Status().positionMs, 4500);
    ASSERT_TRUE(WaitFor(*d, [](const SongStatus& s) { return s.positionMs >= 4400; }, 3s));

    // Quieter from here: the samples are scaled.
    d->SetVolume(25);
    ASSERT_TRUE(WaitFor(*d, [](const SongStatus& s) { return s.positionMs >= 5200; }, 3s));

    // A new song replaces the old one at once; its status never shows the old one.
    const int second = d->Play(shortSong);
    EXPECT_NE(second, first);
    bool stale = false;
    ASSERT_TRUE(WaitFor(*d, [&](const SongStatus& s) {
        stale = stale || s.song != second || s.positionMs > 2000;
        return s.state == SongState::ended;
    }, 5s));
    EXPECT_FALSE(stale);

    // What was heard: the long song loud until the volume fell, then a quarter as loud.
    const auto left = wavetest::Channel(Heard(d), kPlayChannels, 0);
    const auto [start, end] = LoudSpan(left, 200);
    ASSERT_GE(start, 0);
    const std::size_t tenth = kPlayRate / 10;
    const int loud = wavetest::Peak(left.data() + start, tenth);
    const int quiet = wavetest::Peak(left.data() + end - long(tenth), tenth);
    EXPECT_NEAR(double(quiet) / loud, 0.25, 0.04) << loud << " " << quiet;
}

TEST_F(DecoderTest, StopEndsTheSongAndSilencesTheDevice) {
    const std::string song = Tone("tone.wav", 5.0);
    auto d = std::make_unique<CJukeboxDecoder>(devices_);
    const int id = d->Play(song);
    ASSERT_TRUE(WaitFor(*d, [](const SongStatus& s) { return s.positionMs > 500; }));
    d->Stop();
    ASSERT_TRUE(WaitFor(*d, [](const SongStatus& s) { return s.state == SongState::idle; }, 1s));
    EXPECT_EQ(d->Status().song, id);
    std::this_thread::sleep_for(500ms);
    const auto left = wavetest::Channel(Heard(d), kPlayChannels, 0);
    // Played about 0.5 s, and nothing after the stop (beyond what the device buffered).
    const auto [first, last] = LoudSpan(left, 500);
    ASSERT_GE(first, 0);
    EXPECT_LT(double(last - first) / kPlayRate, 1.5);
}

TEST_F(DecoderTest, UnplayableFilesFailWithAReasonAndTheNextOnePlays) {
    auto d = std::make_unique<CJukeboxDecoder>(devices_);
    ASSERT_TRUE(jukeboxtest::WriteText(songs_ / "text.mp3", std::string(20000, 'n')));
    ASSERT_TRUE(jukeboxtest::WriteText(songs_ / "empty.flac", ""));
    for (const std::string name : {"missing.mp3", "text.mp3", "empty.flac"}) {
        const int id = d->Play(songs_ / name);
        ASSERT_TRUE(WaitFor(*d, [&](const SongStatus& s) { return s.song == id && s.state == SongState::failed; }, 5s))
            << name << " state " << int(d->Status().state);
        EXPECT_FALSE(d->Status().error.empty()) << name;
    }

    // Noise with the look of a song: whatever the decoder makes of it, it ends.
    std::mt19937 random(17);
    std::string noise(64 * 1024, '\0');
    for (auto& c : noise) c = char(random());
    noise.replace(0, 3, "ID3");
    ASSERT_TRUE(jukeboxtest::WriteText(songs_ / "noise.mp3", noise));
    d->Play(songs_ / "noise.mp3");
    EXPECT_TRUE(WaitFor(*d, [](const SongStatus& s) {
        return s.state == SongState::failed || s.state == SongState::ended;
    }, 10s));

    // A song cut off midway plays as far as it goes.
    const std::string whole = Tone("whole.mp3", 2.0);
    std::FILE* f = std::fopen(whole.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    std::string half(8000, '\0');
    half.resize(std::fread(half.data(), 1, half.size(), f));
    std::fclose(f);
    ASSERT_TRUE(jukeboxtest::WriteText(songs_ / "cut.mp3", half));
    d->Play(songs_ / "cut.mp3");
    ASSERT_TRUE(WaitFor(*d, [](const SongStatus& s) { return s.state == SongState::ended; }, 5s))
        << int(d->Status().state) << " " << d->Status().error;

    const int good = d->Play(whole);
    ASSERT_TRUE(WaitFor(*d, [&](const SongStatus& s) {
        return s.song == good && s.state == SongState::playing && s.positionMs > 200;
    }, 5s));
}

}  // namespace
