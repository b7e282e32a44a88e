// Screen capture on an X server the test starts itself: the root window's
// colour reaches the composed picture and the encoded frames.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <thread>

#include "capture_recorder.h"
#include "h264_test_decoder.h"
#include "platform/vcast/screen_source.h"

extern char** environ;

namespace {
using namespace std::chrono_literals;

bool Near(std::uint32_t p, int r, int g, int b, int tolerance = 40) {
    return std::abs(int((p >> 16) & 255) - r) <= tolerance && std::abs(int((p >> 8) & 255) - g) <= tolerance &&
           std::abs(int(p & 255) - b) <= tolerance;
}

// An Xvfb of 320×240 on a free display, root painted red; killed at the end.
// -noreset: without it the server resets (and forgets the root colour) each
// time its last client leaves, as xsetroot does.
class XvfbScreen : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(std::system("command -v Xvfb >/dev/null && command -v xsetroot >/dev/null"), 0)
            << "Xvfb and xsetroot are needed (scripts/setup installs them)";
        // Numbers spread by pid, so parallel tests of other folders rarely meet.
        const int base = 100 + static_cast<int>(getpid() % 400);
        for (int n = base; n < base + 50 && display_.empty(); ++n) {
            const std::string lock = "/tmp/.X" + std::to_string(n) + "-lock";
            const std::string socket = "/tmp/.X11-unix/X" + std::to_string(n);
            if (access(lock.c_str(), F_OK) == 0 || access(socket.c_str(), F_OK) == 0) continue;
            const std::string name = ":" + std::to_string(n);
            const char* argv[] = {"Xvfb", name.c_str(), "-screen", "0", "320x240x24", "-nolisten", "tcp", "-noreset", nullptr};
            ASSERT_EQ(posix_spawnp(&pid_, "Xvfb", nullptr, nullptr, const_cast<char**>(argv), environ), 0);
            for (int i = 0; i < 100 && access(socket.c_str(), F_OK) != 0; ++i) std::this_thread::sleep_for(50ms);
            std::this_thread::sleep_for(100ms);
            // Ours only if it still runs: another server may have taken the number first.
            if (waitpid(pid_, nullptr, WNOHANG) == 0 && access(socket.c_str(), F_OK) == 0) {
                display_ = name;
            } else {
                kill(pid_, SIGTERM);
                waitpid(pid_, nullptr, 0);
                pid_ = -1;
            }
        }
        ASSERT_FALSE(display_.empty()) << "no Xvfb display came up";
        const char* old = std::getenv("DISPLAY");
        if (old) oldDisplay_ = old;
        setenv("DISPLAY", display_.c_str(), 1);
        ASSERT_EQ(std::system(("xsetroot -display " + display_ + " -solid '#ff0000'").c_str()), 0);
    }
    void TearDown() override {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
        if (oldDisplay_.empty()) unsetenv("DISPLAY");
        else setenv("DISPLAY", oldDisplay_.c_str(), 1);
    }

    pid_t pid_ = -1;
    std::string display_;
    std::string oldDisplay_;
};
}  // namespace

TEST_F(XvfbScreen, TheScreenColourIsCapturedAndEncoded) {
    CCaptureRecorder recorder;
    vcast_capture_t* c = VCAST_CaptureInit(0, 320, 240, 10, &CCaptureRecorder::OnFrame, &recorder);
    ASSERT_NE(c, nullptr);
    VCAST_SetX264Mode(c, 0);
    VCAST_CaptureSetPictureCallback(c, &CCaptureRecorder::OnPicture, &recorder);
    VCAST_SetScreenMouse(c, 0);
    // Far larger than the screen: clamped to it.
    VCAST_SetScreen(c, 0, VcastRect{-100, -100, 5000, 5000});
    ASSERT_EQ(VCAST_CaptureChildStart(c, 1), 1);
    EXPECT_EQ(VCAST_IsCapture(c), 1);
    const VcastPicture picture = recorder.WaitPicture(
        [](const VcastPicture& p) { return !p.argb.empty() && Near(p.argb[p.argb.size() / 2 + 160], 255, 0, 0); },
        10s);
    ASSERT_FALSE(picture.argb.empty());
    EXPECT_TRUE(Near(picture.argb[120 * 320 + 160], 255, 0, 0)) << std::hex << picture.argb[120 * 320 + 160];
    EXPECT_TRUE(Near(picture.argb[5 * 320 + 5], 255, 0, 0));

    // A repaint shows in later pictures.
    ASSERT_EQ(std::system(("xsetroot -display " + display_ + " -solid '#0000ff'").c_str()), 0);
    const VcastPicture blue = recorder.WaitPicture(
        [](const VcastPicture& p) { return Near(p.argb[120 * 320 + 160], 0, 0, 255); }, 10s);
    EXPECT_TRUE(Near(blue.argb[120 * 320 + 160], 0, 0, 255));

    const auto frames = recorder.WaitFrames(2, 10s);
    ASSERT_GE(frames.size(), 1u);
    CTestH264Decoder decoder;
    VcastPicture decoded;
    ASSERT_TRUE(decoder.Decode(frames[0].bytes, decoded));
    EXPECT_TRUE(Near(decoded.argb[120 * 320 + 160], 255, 0, 0, 60) ||
                Near(decoded.argb[120 * 320 + 160], 0, 0, 255, 60));

    VCAST_CaptureChildStop(c);
    EXPECT_EQ(VCAST_IsCapture(c), 0);
    VCAST_CaptureRelease(c);
}

TEST_F(XvfbScreen, ARegionIsCutFromTheScreenAndTheScreenGoesInsetUnderTheCamera) {
    ASSERT_EQ(std::system(("xsetroot -display " + display_ + " -solid '#00ff00'").c_str()), 0);
    CCaptureRecorder recorder;
    vcast_capture_t* c = VCAST_CaptureInit(0, 320, 240, 10, nullptr, nullptr);
    ASSERT_NE(c, nullptr);
    VCAST_SetX264Mode(c, 0);
    VCAST_CaptureSetPictureCallback(c, &CCaptureRecorder::OnPicture, &recorder);
    VCAST_SetScreen(c, 0, VcastRect{10, 10, 101, 71});
    ASSERT_EQ(VCAST_CaptureChildStart(c, 1), 1);
    const auto green = [](const VcastPicture& p) { return Near(p.argb[120 * 320 + 160], 0, 255, 0); };
    EXPECT_TRUE(green(recorder.WaitPicture(green, 10s)));

    // The pattern camera as the main picture: the screen shrinks to the inset, bottom right.
    VCAST_SetCamID(c, VCAST_GetVideoCount() - 1);
    ASSERT_EQ(VCAST_CaptureMasterStart(c), 1);
    const auto inset = [](const VcastPicture& p) {
        return !Near(p.argb[120 * 320 + 160], 0, 255, 0) && Near(p.argb[220 * 320 + 290], 0, 255, 0);
    };
    EXPECT_TRUE(inset(recorder.WaitPicture(inset, 10s)));
    // And back: the screen fills the picture again.
    VCAST_SetChildMaster(c, 1);
    EXPECT_TRUE(green(recorder.WaitPicture(green, 10s)));
    VCAST_CaptureRelease(c);
}

TEST(ScreenRect, RectanglesAreClampedEvenAndAtLeastSixteen) {
    using vcast_screen::Clamp;
    const auto eq = [](VcastRect a, VcastRect b) {
        return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
    };
    EXPECT_TRUE(eq(Clamp({-10, -10, 5000, 5000}, 1920, 1080), {0, 0, 1920, 1080}));
    EXPECT_TRUE(eq(Clamp({11, 21, 112, 73}, 1920, 1080), {10, 20, 110, 72}));
    EXPECT_TRUE(eq(Clamp({100, 100, 101, 103}, 1920, 1080), {100, 100, 116, 116}));
    // Grown past the edge: moved back inside.
    EXPECT_TRUE(eq(Clamp({1915, 1075, 1920, 1080}, 1920, 1080), {1904, 1064, 1920, 1080}));
    // Empty or inverted: the whole area.
    EXPECT_TRUE(eq(Clamp({50, 50, 50, 50}, 800, 600), {0, 0, 800, 600}));
    EXPECT_TRUE(eq(Clamp({300, 300, 100, 100}, 800, 600), {0, 0, 800, 600}));
    // Odd areas lose their last pixel; huge ones stop at the source cap.
    EXPECT_TRUE(eq(Clamp({0, 0, 0, 0}, 801, 601), {0, 0, 800, 600}));
    EXPECT_TRUE(eq(Clamp({0, 0, 0, 0}, 100000, 100000), {0, 0, 4096, 4096}));
}

TEST(ScreenRect, NoDisplayMeansNoScreenSource) {
    const char* old = std::getenv("DISPLAY");
    const std::string saved = old ? old : "";
    vcast_capture_t* c = VCAST_CaptureInit(0, 320, 240, 10, nullptr, nullptr);
    ASSERT_NE(c, nullptr);
    unsetenv("DISPLAY");
    EXPECT_EQ(VCAST_CaptureChildStart(c, 1), 0);
    setenv("DISPLAY", ":4999", 1);  // no server there
    EXPECT_EQ(VCAST_CaptureChildStart(c, 1), 0);
    VCAST_SetScreen(c, 12345, VcastRect{0, 0, 100, 100});
    EXPECT_EQ(VCAST_CaptureChildStart(c, 1), 0);
    EXPECT_EQ(VCAST_IsCapture(c), 0);
    VCAST_CaptureRelease(c);
    if (old) setenv("DISPLAY", saved.c_str(), 1);
    else unsetenv("DISPLAY");
}
