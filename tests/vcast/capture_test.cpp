// The capture instance with the test-pattern camera: what it encodes decodes
// back to the pattern's frame counters, keyframes come when the network
// needs them, the encoder modes set the size, and bad calls are harmless.
#include <gtest/gtest.h>

#include <thread>

#include "capture_recorder.h"
#include "h264_test_decoder.h"
#include "platform/vcast/nal_scan.h"
#include "platform/vcast/test_pattern.h"
#include "platform/vcast/vcast.h"

namespace {
// Takes the window messages the capture posts, for one window id.
class CPreviewWindow : public IMessageRouter {
public:
    static constexpr HWND kWindow = 0x5150;
    CPreviewWindow() { SetMessageRouter(this); }
    ~CPreviewWindow() override { SetMessageRouter(nullptr); }
    bool Post(HWND target, WindowMessage m, std::unique_ptr<CMessageData> data) override {
        if (target != kWindow) return false;
        std::lock_guard<std::mutex> g(lock_);
        ++posts_;
        msg_ = m.msg;
        if (auto* box = dynamic_cast<TMessageData<std::shared_ptr<CPictureMailbox>>*>(data.get()))
            mailbox_ = box->value;
        return true;
    }
    std::intptr_t Send(HWND, const WindowMessage&) override { return 0; }
    bool IsWindow(HWND target) override { return target == kWindow; }

    // The newest preview, as the window would take it on its message.
    std::shared_ptr<const VcastPicture> Take(unsigned& msg, int& posts) {
        std::lock_guard<std::mutex> g(lock_);
        msg = msg_;
        posts = posts_;
        return mailbox_ ? mailbox_->Take() : nullptr;
    }

private:
    std::mutex lock_;
    std::shared_ptr<CPictureMailbox> mailbox_;
    unsigned msg_ = 0;
    int posts_ = 0;
};

// True when column x is lifted half way to white in every channel from y0 to y1.
bool GridColumn(const VcastPicture& p, int x, int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
        const std::uint32_t c = p.argb[static_cast<std::size_t>(y) * p.width + x];
        if (((c >> 16) & 255) < 0x7F || ((c >> 8) & 255) < 0x7F || (c & 255) < 0x7F) return false;
    }
    return true;
}

using namespace std::chrono_literals;

int PatternIndex() { return VCAST_GetVideoCount() - 1; }

// A capture of the pattern at 320×240, 30 fps (mode 0), started.
vcast_capture_t* StartPattern(CCaptureRecorder& recorder, int mode = 0) {
    vcast_capture_t* c = VCAST_CaptureInit(0, 320, 240, 30, &CCaptureRecorder::OnFrame, &recorder);
    if (!c) return nullptr;
    VCAST_SetX264Mode(c, mode);
    VCAST_SetCamID(c, PatternIndex());
    if (!VCAST_CaptureMasterStart(c)) {
        VCAST_CaptureRelease(c);
        return nullptr;
    }
    return c;
}

bool Counter(CTestH264Decoder& decoder, const CapturedFrame& f, std::uint32_t& counter,
             VcastPicture* out = nullptr) {
    VcastPicture picture;
    if (!decoder.Decode(f.bytes, picture)) return false;
    if (out) *out = picture;
    return vcast_pattern::ReadCounter(picture, counter);
}
}  // namespace

TEST(CaptureCameraList, ThePatternIsAlwaysTheLastCamera) {
    const int count = VCAST_GetVideoCount();
    ASSERT_GE(count, 1);
    char name[128];
    ASSERT_EQ(VCAST_GetVideoName(count - 1, name, sizeof name), 1);
    EXPECT_STREQ(name, vcast_pattern::kName);
    EXPECT_EQ(VCAST_GetVideoName(count, name, sizeof name), 0);
    EXPECT_STREQ(name, "");
    EXPECT_EQ(VCAST_GetVideoName(-1, name, sizeof name), 0);
    // A short buffer cuts on a character boundary: "测" is 3 bytes.
    char shortName[5];
    ASSERT_EQ(VCAST_GetVideoName(count - 1, shortName, sizeof shortName), 1);
    EXPECT_STREQ(shortName, "测");
    EXPECT_EQ(VCAST_GetVideoName(count - 1, nullptr, 10), 0);
}

TEST(CaptureEncoding, HundredFramesDecodeToThePatternCountersInOrder) {
    CCaptureRecorder recorder;
    vcast_capture_t* c = StartPattern(recorder);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(VCAST_IsCapture(c), 1);
    const auto frames = recorder.WaitFrames(100, 30s);
    VCAST_CaptureRelease(c);
    ASSERT_GE(frames.size(), 100u);

    CTestH264Decoder decoder;
    std::uint32_t previousStamp = frames[0].frame.stamp;
    for (std::size_t i = 0; i < 100; ++i) {
        const CapturedFrame& f = frames[i];
        std::uint32_t counter = ~0u;
        ASSERT_TRUE(Counter(decoder, f, counter)) << "frame " << i;
        EXPECT_EQ(counter, i);
        EXPECT_EQ(f.frame.f0, media_frame::kCodecH264);
        EXPECT_EQ(f.frame.f1, i == 0 ? media_frame::kKeyFrame : f.frame.f1);
        EXPECT_EQ(f.frame.f3, f.frame.f1 == media_frame::kKeyFrame ? 1 : 0);
        EXPECT_EQ(f.frame.f2, 0);
        EXPECT_EQ(f.frame.f4, 0);
        EXPECT_EQ(f.frame.length, f.bytes.size());
        EXPECT_EQ(f.important, 1);  // without B-frames every frame is referenced
        EXPECT_GE(static_cast<std::int32_t>(f.frame.stamp - previousStamp), 0);
        previousStamp = f.frame.stamp;
    }
    // 30 fps: a keyframe at least every 60 frames, each with SPS/PPS in front.
    std::size_t sinceKey = 0;
    for (std::size_t i = 0; i < 100; ++i) {
        if (frames[i].frame.f1 == media_frame::kKeyFrame) {
            EXPECT_TRUE(vcast_nal::IsSelfContainedKey(frames[i].bytes.data(), frames[i].bytes.size()));
            sinceKey = 0;
        } else {
            EXPECT_EQ(frames[i].frame.f1, media_frame::kDeltaFrame);
            EXPECT_LT(++sinceKey, 60u) << "frame " << i;
        }
    }
    // Paced at the rate: 100 frames at 30 fps take at least 3.3 s of capture
    // time (more on a loaded machine, never less).
    EXPECT_GT(frames[99].frame.stamp - frames[0].frame.stamp, 3200u);
}

TEST(CaptureEncoding, TheFirstFrameIsAKeyframeThatDecodesAlone) {
    CCaptureRecorder recorder;
    vcast_capture_t* c = StartPattern(recorder);
    ASSERT_NE(c, nullptr);
    const auto frames = recorder.WaitFrames(3, 10s);
    VCAST_CaptureRelease(c);
    ASSERT_GE(frames.size(), 3u);
    EXPECT_EQ(frames[0].frame.f1, media_frame::kKeyFrame);
    EXPECT_EQ(frames[0].frame.f3, 1);
    // A fresh decoder given a later delta alone shows nothing usable.
    {
        CTestH264Decoder late;
        VcastPicture picture;
        EXPECT_FALSE(late.Decode(frames[2].bytes, picture));
    }
    CTestH264Decoder decoder;
    std::uint32_t counter = ~0u;
    VcastPicture picture;
    ASSERT_TRUE(Counter(decoder, frames[0], counter, &picture));
    EXPECT_EQ(counter, 0u);
    EXPECT_EQ(picture.width, 320);
    EXPECT_EQ(picture.height, 240);
}

TEST(CaptureEncoding, ARefusedFrameMakesTheNextDeliveredFrameAKeyframe) {
    CCaptureRecorder recorder;
    // Refuse the 10th and the 13th frame delivered.
    recorder.accept = [](std::size_t i, const MediaFrame&) { return i != 10 && i != 13; };
    vcast_capture_t* c = StartPattern(recorder);
    ASSERT_NE(c, nullptr);
    const auto frames = recorder.WaitFrames(25, 30s);
    VCAST_CaptureRelease(c);
    ASSERT_GE(frames.size(), 25u);
    ASSERT_EQ(frames[10].frame.f1, media_frame::kDeltaFrame);
    EXPECT_EQ(frames[11].frame.f1, media_frame::kKeyFrame);
    EXPECT_EQ(frames[11].frame.f3, 1);
    // The next refusal right after: its keyframe waits out the 500 ms gap,
    // and the pictures in between are not encoded at all.
    EXPECT_EQ(frames[14].frame.f1, media_frame::kKeyFrame);
    EXPECT_GE(frames[14].frame.stamp - frames[11].frame.stamp, 500u);
    {
        // Every frame as encoded, refused ones included, decodes in sequence;
        // the pattern counters jump where pictures waited for the keyframe.
        CTestH264Decoder all;
        std::vector<std::uint32_t> counters;
        for (const auto& f : frames) {
            std::uint32_t counter = 0;
            ASSERT_TRUE(Counter(all, f, counter));
            counters.push_back(counter);
        }
        EXPECT_EQ(counters[11], counters[10] + 1);  // the first forced keyframe needs no wait
        if (frames[13].frame.stamp - frames[11].frame.stamp < 400) {
            EXPECT_GT(counters[14], counters[13] + 1);
        }
    }

    // What the network took decodes cleanly, in order, with the gaps where
    // pictures were skipped.
    CTestH264Decoder decoder;
    std::uint32_t last = 0;
    bool first = true;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        if (!frames[i].taken) continue;
        std::uint32_t counter = 0;
        ASSERT_TRUE(Counter(decoder, frames[i], counter)) << "frame " << i;
        if (!first) {
            EXPECT_GT(counter, last);
        }
        last = counter;
        first = false;
    }
}

TEST(CaptureEncoding, EncoderModesSetThePictureSize) {
    struct Case {
        int mode, width, height;
    } cases[] = {{1, 640, 360}, {2, 640, 360}, {0, 320, 240}, {9, 640, 360}};
    for (const Case& k : cases) {
        CCaptureRecorder recorder;
        vcast_capture_t* c = StartPattern(recorder, k.mode);
        ASSERT_NE(c, nullptr);
        const auto frames = recorder.WaitFrames(2, 10s);
        VCAST_CaptureRelease(c);
        ASSERT_GE(frames.size(), 1u);
        CTestH264Decoder decoder;
        VcastPicture picture;
        std::uint32_t counter = 0;
        ASSERT_TRUE(Counter(decoder, frames[0], counter, &picture)) << "mode " << k.mode;
        EXPECT_EQ(picture.width, k.width) << "mode " << k.mode;
        EXPECT_EQ(picture.height, k.height) << "mode " << k.mode;
    }
}

TEST(CaptureEncoding, ChangingModeWhileRunningStartsOverWithAKeyframe) {
    CCaptureRecorder recorder;
    vcast_capture_t* c = StartPattern(recorder, 0);
    ASSERT_NE(c, nullptr);
    ASSERT_GE(recorder.WaitFrames(5, 10s).size(), 5u);
    VCAST_SetX264Mode(c, 2);
    std::this_thread::sleep_for(300ms);
    const std::size_t before = recorder.WaitFrames(0, 0ms).size();
    const auto frames = recorder.WaitFrames(before + 3, 10s);
    VCAST_CaptureRelease(c);
    // Somewhere after the switch a keyframe of the new size starts the stream again.
    CTestH264Decoder decoder;
    bool found = false;
    for (std::size_t i = 5; i < frames.size() && !found; ++i) {
        if (frames[i].frame.f1 != media_frame::kKeyFrame) continue;
        VcastPicture picture;
        ASSERT_TRUE(decoder.Decode(frames[i].bytes, picture));
        found = picture.width == 640 && picture.height == 360;
    }
    EXPECT_TRUE(found);
}

TEST(CaptureSources, StoppingTheCameraStopsCaptureAndFrames) {
    CCaptureRecorder recorder;
    vcast_capture_t* c = StartPattern(recorder);
    ASSERT_NE(c, nullptr);
    ASSERT_GE(recorder.WaitFrames(2, 10s).size(), 2u);
    EXPECT_EQ(VCAST_CaptureMasterStart(c), 1);  // already running: still ok
    VCAST_CaptureMasterStop(c);
    EXPECT_EQ(VCAST_IsCapture(c), 0);
    std::this_thread::sleep_for(300ms);  // a tick under way may still finish
    const std::size_t stopped = recorder.WaitFrames(0, 0ms).size();
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(recorder.WaitFrames(0, 0ms).size(), stopped);
    // And it starts again on the same instance.
    ASSERT_EQ(VCAST_CaptureMasterStart(c), 1);
    EXPECT_GT(recorder.WaitFrames(stopped + 2, 10s).size(), stopped + 1);
    VCAST_CaptureRelease(c);
}

TEST(CaptureSources, ThePreviewWindowGetsTheNewestPictureWithTheGridWhenAsked) {
    CPreviewWindow window;
    CCaptureRecorder recorder;
    vcast_capture_t* c = VCAST_CaptureInit(CPreviewWindow::kWindow, 320, 240, 30,
                                           &CCaptureRecorder::OnFrame, &recorder);
    ASSERT_NE(c, nullptr);
    VCAST_SetX264Mode(c, 0);
    VCAST_SetCamID(c, PatternIndex());
    ASSERT_EQ(VCAST_CaptureMasterStart(c), 1);
    ASSERT_GE(recorder.WaitFrames(10, 10s).size(), 10u);
    // Ten pictures, but the window never took one: it was told once.
    unsigned msg = 0;
    int posts = 0;
    auto preview = window.Take(msg, posts);
    EXPECT_EQ(msg, UM_VCAST_PICTURE);
    EXPECT_EQ(posts, 1);
    ASSERT_NE(preview, nullptr);
    std::uint32_t counter = 0;
    ASSERT_TRUE(vcast_pattern::ReadCounter(*preview, counter));
    EXPECT_GE(counter, 8u);  // the newest, not the first
    EXPECT_FALSE(GridColumn(*preview, 320 / 3, 40, 200));

    VCAST_SetGridEnabled(c, 1);
    std::this_thread::sleep_for(200ms);
    window.Take(msg, posts);
    std::this_thread::sleep_for(100ms);
    preview = window.Take(msg, posts);
    ASSERT_NE(preview, nullptr);
    EXPECT_TRUE(GridColumn(*preview, 320 / 3, 40, 200));
    EXPECT_TRUE(GridColumn(*preview, 2 * 320 / 3, 40, 200));
    VCAST_CaptureRelease(c);
    // The encoded pictures never had the grid.
    const auto frames = recorder.WaitFrames(0, 0ms);
    CTestH264Decoder decoder;
    VcastPicture last;
    for (const auto& f : frames) ASSERT_TRUE(decoder.Decode(f.bytes, last));
    EXPECT_FALSE(GridColumn(last, 320 / 3, 40, 200));
}

TEST(CaptureRobustness, NullHandlesAreHarmless) {
    vcast_capture_t* n = nullptr;
    VCAST_CaptureRelease(n);
    EXPECT_EQ(VCAST_CaptureMasterStart(n), 0);
    VCAST_CaptureMasterStop(n);
    EXPECT_EQ(VCAST_IsCapture(n), 0);
    VCAST_SetCamID(n, 0);
    EXPECT_EQ(VCAST_CaptureChildStart(n, 1), 0);
    VCAST_CaptureChildStop(n);
    VCAST_SetChildMaster(n, 1);
    VCAST_SetGridEnabled(n, 1);
    VCAST_SetX264Mode(n, 2);
    VCAST_SetZdyFont(n, "Sans");
    VCAST_SetScreen(n, 0, VcastRect{0, 0, 100, 100});
    VCAST_SetScreenMouse(n, 0);
    unsigned char record[1488] = {};
    EXPECT_EQ(VCAST_SetEffect(n, record), 0);
    EXPECT_EQ(VCAST_MoviePlay(n, "x.mp4"), 0);
    VCAST_MoviePause(n);
    VCAST_MovieStop(n);
    VCAST_Seek_to(n, 3);
    EXPECT_EQ(VCAST_GetMovieTotalTime(n), 0);
    EXPECT_EQ(VCAST_GetMovieCurrentTime(n), 0);
    VCAST_PushLrc(n, 0, 0, "la");
    VCAST_CaptureSetPictureCallback(n, nullptr, nullptr);
}

TEST(CaptureRobustness, BadValuesAreRefusedWithoutHarm) {
    CCaptureRecorder recorder;
    EXPECT_EQ(VCAST_CaptureInit(0, 0, 0, 0, &CCaptureRecorder::OnFrame, &recorder), nullptr);
    EXPECT_EQ(VCAST_CaptureInit(0, 320, 240, 0, &CCaptureRecorder::OnFrame, &recorder), nullptr);
    EXPECT_EQ(VCAST_CaptureInit(0, 100000, 240, 10, &CCaptureRecorder::OnFrame, &recorder), nullptr);
    EXPECT_EQ(VCAST_CaptureInit(0, -320, 240, 10, &CCaptureRecorder::OnFrame, &recorder), nullptr);
    EXPECT_EQ(VCAST_CaptureInit(0, 320, 240, 100000, &CCaptureRecorder::OnFrame, &recorder), nullptr);

    // Odd sizes are made even; no callback at all is allowed.
    vcast_capture_t* c = VCAST_CaptureInit(0, 321, 241, 10, nullptr, nullptr);
    ASSERT_NE(c, nullptr);
    VCAST_SetCamID(c, 9999);
    EXPECT_EQ(VCAST_CaptureMasterStart(c), 0);
    EXPECT_EQ(VCAST_IsCapture(c), 0);
    VCAST_SetCamID(c, -5);  // ignored: the last good index stays
    EXPECT_EQ(VCAST_CaptureChildStart(c, 0), 0);
    EXPECT_EQ(VCAST_CaptureChildStart(c, 7), 0);
    EXPECT_EQ(VCAST_MoviePlay(c, nullptr), 0);
    EXPECT_EQ(VCAST_MoviePlay(c, ""), 0);
    EXPECT_EQ(VCAST_MoviePlay(c, "/nonexistent/film.mp4"), 0);
    EXPECT_EQ(VCAST_MoviePlay(c, "/proc/self/status"), 0);  // not a movie
    EXPECT_EQ(VCAST_GetMovieTotalTime(c), 0);
    EXPECT_EQ(VCAST_SetEffect(c, nullptr), 0);
    VCAST_SetZdyFont(c, nullptr);
    VCAST_PushLrc(c, 0, 0, nullptr);
    const std::string longLine(100000, 'x');
    VCAST_PushLrc(c, 1, 10, longLine.c_str());
    VCAST_SetCamID(c, PatternIndex());
    ASSERT_EQ(VCAST_CaptureMasterStart(c), 1);
    std::this_thread::sleep_for(300ms);  // frames encoded with nobody to take them
    VCAST_CaptureRelease(c);
}
