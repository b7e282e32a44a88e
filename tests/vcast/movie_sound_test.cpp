// A movie's sound reaches the sound server while its picture plays, and
// pausing holds it. Against a real PulseAudio daemon (PULSE_SERVER; the
// test script starts one with a null sink): the sink's monitor is recorded.
#include <gtest/gtest.h>
#include <pulse/simple.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/vcast/movie_source.h"

namespace {
using namespace std::chrono_literals;
namespace fs = std::filesystem;

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

// RMS of what the default sink plays over `seconds`, read from its monitor.
double RecordLevel(double seconds) {
    const pa_sample_spec format{PA_SAMPLE_S16LE, 22050, 1};
    int error = 0;
    pa_simple* in = pa_simple_new(nullptr, "zeri-test", PA_STREAM_RECORD, "@DEFAULT_MONITOR@", "monitor",
                                  &format, nullptr, nullptr, &error);
    if (!in) return -1;
    std::vector<std::int16_t> samples(static_cast<std::size_t>(22050 * seconds));
    const bool ok = pa_simple_read(in, samples.data(), samples.size() * 2, &error) == 0;
    pa_simple_free(in);
    if (!ok) return -1;
    double sum = 0;
    for (auto s : samples) sum += double(s) * s;
    return std::sqrt(sum / static_cast<double>(samples.size()));
}

class MovieSound : public ::testing::Test {
protected:
    void SetUp() override {
        pa_sample_spec format{PA_SAMPLE_S16LE, 22050, 1};
        pa_simple* probe = pa_simple_new(nullptr, "zeri-test", PA_STREAM_RECORD, nullptr, "probe", &format,
                                         nullptr, nullptr, nullptr);
        if (!probe) {
            if (Env("ZERI_REQUIRE_PULSE") == "1")
                FAIL() << "no PulseAudio daemon answers at PULSE_SERVER=" << Env("PULSE_SERVER");
            GTEST_SKIP() << "no PulseAudio daemon (set PULSE_SERVER, or run scripts/test)";
        }
        pa_simple_free(probe);
        dir_ = fs::temp_directory_path() / ("vcast_sound_" + std::to_string(getpid()));
        fs::create_directories(dir_);
        path_ = (dir_ / "tone.mp4").string();
        ASSERT_EQ(std::system(("ffmpeg -v error -y -f lavfi -i testsrc=size=160x120:rate=25:duration=4 "
                               "-f lavfi -i sine=frequency=1000:duration=4 -c:v libx264 -pix_fmt yuv420p "
                               "-c:a aac -shortest '" + path_ + "'").c_str()),
                  0)
            << "ffmpeg is needed to make the test movie";
    }
    void TearDown() override {
        if (!dir_.empty()) fs::remove_all(dir_);
    }
    fs::path dir_;
    std::string path_;
};
}  // namespace

TEST_F(MovieSound, TheToneIsPlayedWithThePictureAndPausingHoldsIt) {
    const double before = RecordLevel(0.3);
    ASSERT_GE(before, 0) << "the monitor does not record";
    EXPECT_LT(before, 100);  // nothing playing yet

    auto movie = CMovieSource::Open(path_);
    ASSERT_NE(movie, nullptr);
    ASSERT_TRUE(movie->HasSound());
    std::this_thread::sleep_for(600ms);
    EXPECT_GT(RecordLevel(0.5), 1000);  // the sine is loud

    movie->TogglePause();
    const double held = movie->SoundSeconds();
    std::this_thread::sleep_for(300ms);
    EXPECT_LT(RecordLevel(0.4), 100);
    EXPECT_LT(movie->SoundSeconds() - held, 0.3);  // at most what was in flight

    movie->TogglePause();
    const auto end = std::chrono::steady_clock::now() + 6s;
    while (movie->Running() && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(movie->Running());
    // Never more than the movie holds: nothing twice, nothing after the
    // picture. (The null sink takes up to two seconds to start its first
    // stream; the sound that missed its picture meanwhile is dropped, so the
    // total is not the whole four seconds.)
    EXPECT_GT(movie->SoundSeconds(), 1.0);
    EXPECT_LT(movie->SoundSeconds(), 4.3);
}
