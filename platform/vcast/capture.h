#pragma once
// The capture instance: its sources, its settings and the one thread that
// composes, previews and encodes at the capture rate.
//
// Locks: lock_ guards every setting and source pointer; the UI thread sets
// them, the capture thread copies what it needs at each tick and works
// without the lock, so callbacks never run under it.

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/vcast/capture_source.h"
#include "platform/vcast/compositor.h"
#include "platform/vcast/effect_settings.h"
#include "platform/vcast/h264_encoder.h"
#include "platform/vcast/movie_source.h"
#include "platform/vcast/vcast.h"

namespace vcast_capture {
inline constexpr int kMaxFps = 60;
// After a refused frame, a forced keyframe comes at most this often.
inline constexpr std::uint32_t kForcedKeyGapMs = 500;

struct Mode {
    int width, height, fps;
};
// The encoder mode's picture size and rate; unknown modes act as mode 1.
Mode ModeSize(int mode, int initWidth, int initHeight, int initFps);
// Draws the rule-of-thirds grid, for the preview only.
void DrawGrid(VcastPicture& picture);
}  // namespace vcast_capture

struct vcast_capture_t {
public:
    // Null (with a log line) for sizes or rates outside what the encoder takes.
    static vcast_capture_t* Create(HWND window, int width, int height, int fps,
                                   VcastFrameCallback callback, void* context);
    ~vcast_capture_t();

    int MasterStart();
    void MasterStop();
    bool IsCapturing();
    void SetCamera(int index);
    int ChildStart(int kind);
    void ChildStop();
    void SetChildMaster(bool flag);
    void SetGrid(bool flag);
    void SetMode(int mode);
    void SetFace(const char* face);
    void SetScreen(std::uintptr_t window, VcastRect rect);
    void SetScreenMouse(bool enabled);
    int SetEffect(const unsigned char* record);
    int MoviePlay(const char* path);
    void MoviePause();
    void MovieStop();
    void MovieSeek(int seconds);
    int MovieTotal();
    int MovieNow();
    void PushLyric(int index, int timeMs, const char* text);
    void SetPictureCallback(VcastPictureCallback callback, void* context);

private:
    vcast_capture_t() = default;
    void Run();
    void Tick(std::uint32_t ms);
    bool ChildRunning() const;  // under lock_

    // Fixed at creation.
    HWND window_ = 0;
    int initWidth_ = 0, initHeight_ = 0, initFps_ = 0;
    VcastFrameCallback callback_ = nullptr;
    void* context_ = nullptr;
    std::shared_ptr<CPictureMailbox> mailbox_ = std::make_shared<CPictureMailbox>();

    std::mutex lock_;
    std::condition_variable wake_;
    bool stop_ = false;
    int cameraIndex_ = 0;
    std::shared_ptr<ICaptureSource> camera_;
    int childKind_ = 0;  // 0 none, 1 screen, 2 movie
    std::shared_ptr<ICaptureSource> screen_;
    std::shared_ptr<CMovieSource> movie_;
    std::uintptr_t screenWindow_ = 0;
    VcastRect screenRect_;
    bool screenMouse_ = true;
    bool childMaster_ = false;
    bool grid_ = false;
    int mode_ = 1;
    std::string face_;
    std::string lyric_;
    EffectSettings effect_;
    bool effectChanged_ = false;
    VcastPictureCallback pictureCallback_ = nullptr;
    void* pictureContext_ = nullptr;

    // The capture thread's own.
    CCompositor compositor_;
    CH264Encoder encoder_;
    CPictureFit fitMain_, fitInset_;
    VcastPicture inset_;
    std::int64_t tick_ = 0;  // capture ticks with a picture, the encoder's clock
    bool needKey_ = false;
    bool forcedOnce_ = false;
    std::uint32_t lastForcedMs_ = 0;
    std::thread thread_;
};
