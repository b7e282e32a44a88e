// A movie file as the second source: its length, its position as it plays,
// seeking, pausing, its end, and files that are no movie.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "capture_recorder.h"

namespace {
using namespace std::chrono_literals;
namespace fs = std::filesystem;

// A four-second 320×240 movie made once for the whole suite.
class Movie : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = fs::temp_directory_path() / ("vcast_movie_" + std::to_string(getpid()));
        fs::create_directories(dir_);
        path_ = (dir_ / "film.mp4").string();
        ok_ = std::system("command -v ffmpeg >/dev/null") == 0 &&
              std::system(("ffmpeg -v error -y -f lavfi -i testsrc=size=320x240:rate=25:duration=4 "
                           "-c:v libx264 -pix_fmt yuv420p '" + path_ + "'").c_str()) == 0;
    }
    static void TearDownTestSuite() { fs::remove_all(dir_); }
    void SetUp() override { ASSERT_TRUE(ok_) << "ffmpeg is needed to make the test movie"; }

    // Polls the movie position until `good` or the time runs out.
    static int WaitNow(vcast_capture_t* c, const std::function<bool(int)>& good, std::chrono::milliseconds limit) {
        const auto end = std::chrono::steady_clock::now() + limit;
        int now = VCAST_GetMovieCurrentTime(c);
        while (!good(now) && std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(20ms);
            now = VCAST_GetMovieCurrentTime(c);
        }
        return now;
    }

    static inline fs::path dir_;
    static inline std::string path_;
    static inline bool ok_ = false;
};
}  // namespace

TEST_F(Movie, PlaysSeeksPausesAndEnds) {
    CCaptureRecorder recorder;
    vcast_capture_t* c = VCAST_CaptureInit(0, 320, 240, 25, &CCaptureRecorder::OnFrame, &recorder);
    ASSERT_NE(c, nullptr);
    VCAST_SetX264Mode(c, 0);
    VCAST_CaptureSetPictureCallback(c, &CCaptureRecorder::OnPicture, &recorder);
    ASSERT_EQ(VCAST_CaptureChildStart(c, 2), 1);
    ASSERT_EQ(VCAST_MoviePlay(c, path_.c_str()), 1);
    EXPECT_EQ(VCAST_GetMovieTotalTime(c), 4);
    EXPECT_EQ(VCAST_IsCapture(c), 1);

    // The movie's pictures (colourful, not the black of no picture) are composed and encoded.
    const auto colourful = [](const VcastPicture& p) {
        return !p.argb.empty() && (p.argb[120 * 320 + 40] & 0xFFFFFF) != 0;
    };
    EXPECT_TRUE(colourful(recorder.WaitPicture(colourful, 5s)));
    EXPECT_GE(recorder.WaitFrames(3, 5s).size(), 3u);

    EXPECT_GE(WaitNow(c, [](int s) { return s >= 1; }, 5s), 1);

    VCAST_MoviePause(c);
    std::this_thread::sleep_for(100ms);
    const int paused = VCAST_GetMovieCurrentTime(c);
    std::this_thread::sleep_for(1200ms);
    EXPECT_EQ(VCAST_GetMovieCurrentTime(c), paused);
    EXPECT_EQ(VCAST_IsCapture(c), 1);  // paused is still running

    // Seeking while paused moves the position; resuming plays on from there.
    VCAST_Seek_to(c, 3);
    EXPECT_EQ(VCAST_GetMovieCurrentTime(c), 3);
    VCAST_MoviePause(c);
    // At the end it stops by itself.
    const auto end = std::chrono::steady_clock::now() + 5s;
    while (VCAST_IsCapture(c) && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(20ms);
    EXPECT_EQ(VCAST_IsCapture(c), 0);
    EXPECT_GE(VCAST_GetMovieCurrentTime(c), 3);

    VCAST_MovieStop(c);
    EXPECT_EQ(VCAST_GetMovieTotalTime(c), 0);
    VCAST_CaptureChildStop(c);
    VCAST_CaptureRelease(c);
}

TEST_F(Movie, SeekingBackPlaysFromThereAndOurOwnKindIsProbedTheSame) {
    const std::string own = (dir_ / "film.zvf").string();
    fs::copy_file(path_, own, fs::copy_options::overwrite_existing);
    vcast_capture_t* c = VCAST_CaptureInit(0, 320, 240, 25, nullptr, nullptr);
    ASSERT_NE(c, nullptr);
    // The movie may come before the child starts.
    ASSERT_EQ(VCAST_MoviePlay(c, own.c_str()), 1);
    ASSERT_EQ(VCAST_CaptureChildStart(c, 3), 1);
    EXPECT_EQ(VCAST_GetMovieTotalTime(c), 4);
    EXPECT_GE(WaitNow(c, [](int s) { return s >= 2; }, 6s), 2);
    VCAST_Seek_to(c, 0);
    EXPECT_LT(WaitNow(c, [](int s) { return s < 2; }, 2s), 2);
    // Still playing after the seek: the position advances again.
    EXPECT_GE(WaitNow(c, [](int s) { return s >= 1; }, 4s), 1);
    // Seeks beyond the end or before the start are held to the movie.
    VCAST_Seek_to(c, 1000);
    EXPECT_LE(VCAST_GetMovieCurrentTime(c), 4);
    VCAST_Seek_to(c, -5);
    EXPECT_EQ(VCAST_GetMovieCurrentTime(c), 0);
    VCAST_CaptureRelease(c);  // releases a playing movie
}

TEST_F(Movie, DamagedFilesAreRefused) {
    vcast_capture_t* c = VCAST_CaptureInit(0, 320, 240, 25, nullptr, nullptr);
    ASSERT_NE(c, nullptr);
    // Half a movie: its index is at the end, so nothing plays.
    const std::string half = (dir_ / "half.mp4").string();
    {
        std::ifstream in(path_, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), {});
        std::ofstream(half, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size() / 2));
    }
    EXPECT_EQ(VCAST_MoviePlay(c, half.c_str()), 0);
    const std::string junk = (dir_ / "junk.mp4").string();
    {
        std::ofstream out(junk, std::ios::binary);
        for (int i = 0; i < 100000; ++i) out.put(static_cast<char>((i * 7919) & 255));
    }
    EXPECT_EQ(VCAST_MoviePlay(c, junk.c_str()), 0);
    EXPECT_EQ(VCAST_GetMovieTotalTime(c), 0);
    VCAST_CaptureRelease(c);
}
