// The engine's wrapper over the video library: every operation is harmless
// while its instance is missing, a second capture or play init keeps the
// first instance and callback, and releasing the play instance while the
// connection's thread keeps handing it frames is safe (ASan).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/vcast/vcast.h"
#include "video/video_engine.h"

namespace {

bool WaitFor(const std::function<bool()>& done, int limitMs = 10000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

struct Counter {
    std::atomic<int> frames{0};
    static bool Take(const MediaFrame&, bool, void* self) {
        ++static_cast<Counter*>(self)->frames;
        return true;
    }
};

class VideoEngine : public ::testing::Test {
protected:
    void SetUp() override { VCAST_Init(); }
    void TearDown() override { VCAST_Release(); }
};

TEST_F(VideoEngine, EveryOperationIsHarmlessWithoutItsInstance) {
    CVideoEngine e;
    EXPECT_FALSE(e.HasCapture());
    EXPECT_FALSE(e.IsCapturing());
    EXPECT_FALSE(e.StartCamera());
    EXPECT_FALSE(e.StartChild(1));
    EXPECT_FALSE(e.SetEffect(EffectBytes{}));
    EXPECT_FALSE(e.MoviePlay("/nonexistent.mp4"));
    EXPECT_EQ(e.MovieTotal(), 0);
    EXPECT_EQ(e.MovieNow(), 0);
    e.StopCamera(), e.StopChild(), e.SetCamera(0), e.SetGrid(true), e.SetEncodeMode(2);
    e.SetScreen(0, VcastRect{0, 0, 100, 100}, true), e.SetChildMaster(true), e.SetFont("宋体");
    e.MoviePause(), e.MovieStop(), e.MovieSeek(3), e.PushLrc(0, 0, "line"), e.CaptureRelease();
    EXPECT_FALSE(e.HasPlay());
    EXPECT_FALSE(e.PlayStart());
    e.PlayStop(), e.PlayClear(), e.SignStamp(5), e.PlayRelease();
    const unsigned char bytes[4] = {0, 0, 0, 1};
    MediaFrame f;
    f.f0 = media_frame::kCodecH264;
    f.f1 = media_frame::kKeyFrame;
    f.length = 4;
    e.PlayFrame(f, bytes, 4);
    EXPECT_FALSE(e.Recording());
    EXPECT_FALSE(e.RecordClose());
    e.RecordVideo(f, bytes, 4);
    e.RecordAudio(f, bytes, 4);
}

TEST_F(VideoEngine, ASecondInitKeepsTheFirstInstanceAndItsCallback) {
    CVideoEngine e;
    Counter first, second;
    ASSERT_TRUE(e.CaptureInit(0, 320, 240, 10, &Counter::Take, &first));
    EXPECT_TRUE(e.CaptureInit(0, 320, 240, 10, &Counter::Take, &second));
    e.SetCamera(CVideoEngine::PatternIndex());
    ASSERT_TRUE(e.StartCamera());
    EXPECT_TRUE(e.IsCapturing());
    ASSERT_TRUE(WaitFor([&] { return first.frames >= 3; }));
    EXPECT_EQ(second.frames, 0) << "the second init replaced the callback";
    e.StopCamera();
    e.CaptureRelease();
    EXPECT_FALSE(e.HasCapture());

    ASSERT_TRUE(e.PlayInit(0, 320, 240));
    EXPECT_TRUE(e.PlayInit(0, 320, 240));
    EXPECT_TRUE(e.HasPlay());
    e.PlayRelease();
    EXPECT_FALSE(e.HasPlay());
}

TEST_F(VideoEngine, TheCameraListEndsWithThePatternAndANameFindsItsIndex) {
    const auto names = CVideoEngine::CameraNames();
    ASSERT_FALSE(names.empty());
    EXPECT_EQ(CVideoEngine::PatternIndex(), static_cast<int>(names.size()) - 1);
    EXPECT_EQ(CVideoEngine::CameraIndex(names.back()), CVideoEngine::PatternIndex());
    EXPECT_EQ(CVideoEngine::CameraIndex("no such camera"), 0);
    EXPECT_EQ(CVideoEngine::CameraIndex(""), 0);
}

TEST_F(VideoEngine, ReleasingThePlayInstanceUnderIncomingFramesIsSafe) {
    CVideoEngine e;
    std::atomic<bool> stop{false};
    // Pieces of frames, as the connection's thread hands them over, some
    // whole, some cut in two: the release may land between any two.
    std::vector<unsigned char> bytes(3000, 0x55);
    bytes[0] = 0, bytes[1] = 0, bytes[2] = 0, bytes[3] = 1, bytes[4] = 0x65;
    std::thread connection([&] {
        std::uint32_t stamp = 0;
        while (!stop) {
            MediaFrame f;
            f.f0 = media_frame::kCodecH264;
            f.f1 = media_frame::kKeyFrame;
            f.f3 = 1;
            f.stamp = stamp += 40;
            f.length = static_cast<std::uint32_t>(bytes.size());
            e.PlayFrame(f, bytes.data(), bytes.size());
            f.f4 = 2;
            f.stamp = stamp += 40;
            f.length = 1500;
            e.PlayFrame(f, bytes.data(), 1500);
            f.f2 = 1;
            e.PlayFrame(f, bytes.data() + 1500, 1500);
        }
    });
    for (int i = 0; i < 50; ++i) {
        ASSERT_TRUE(e.PlayInit(0, 320, 240));
        e.PlayStart();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        if (i % 2) e.PlayClear();
        e.PlayStop();
        e.PlayRelease();
    }
    stop = true;
    connection.join();
    EXPECT_FALSE(e.HasPlay());
}

}  // namespace
