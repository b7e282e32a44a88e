#pragma once
// The video half of the engine: owns the library's capture, play and
// record instances and wraps every call, so that the room and the
// live-settings dialog never hold a library handle. Every operation does
// nothing (false, 0) while its instance is missing.
//
// Locks: the play lock guards the play instance (init, frames, clear,
// stop, release), the record lock the recorder (open, pushes, close), the
// capture lock the capture instance. A release takes the same lock as the
// calls it could otherwise pull the instance from under. Never nested.

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/vcast/effect_layout.h"
#include "platform/vcast/vcast.h"
#include "video/frame_assembler.h"

struct jukebox_t;

using EffectBytes = std::array<unsigned char, effect_layout::kSize>;

// The room's side of the frame callback: (frame with its data, important
// flag, context) → sent.
using VideoSendCallback = bool (*)(const MediaFrame& frame, bool important, void* context);

class CVideoEngine {
public:
    CVideoEngine() = default;
    ~CVideoEngine();
    CVideoEngine(const CVideoEngine&) = delete;
    CVideoEngine& operator=(const CVideoEngine&) = delete;

    // The cameras by name (the test pattern last); the first whose name is
    // exactly `name`, else 0; the test pattern's index.
    static std::vector<std::string> CameraNames();
    static int CameraIndex(const std::string& name);
    static int PatternIndex();

    // ---- capture ----
    // Only without an instance; a second call keeps the first callback. True
    // when an instance exists afterwards.
    bool CaptureInit(HWND window, int width, int height, int fps, VideoSendCallback callback,
                     void* context);
    void CaptureRelease();
    bool HasCapture() const;
    void SetCamera(int index);
    void SetScreen(std::uintptr_t nativeWindow, VcastRect rect, bool mouse);
    bool IsCapturing() const;
    bool StartCamera();
    void StopCamera();
    bool StartChild(int kind);  // 1 screen, 2 movie, 3 movie of our own kind
    void StopChild();
    void SetChildMaster(bool childIsMain);
    bool SetEffect(const EffectBytes& record);
    void SetFont(const std::string& face);
    void SetGrid(bool on);
    void SetEncodeMode(int mode);
    bool MoviePlay(const std::string& path);
    void MoviePause();
    void MovieStop();
    int MovieTotal() const;
    int MovieNow() const;
    void MovieSeek(int seconds);
    void PushLrc(int index, int timeMs, const char* text);
    // Composed pictures before encoding (tests).
    void SetCapturePictureCallback(VcastPictureCallback callback, void* context);

    // ---- play ----
    // Only without an instance (under the play lock).
    bool PlayInit(HWND window, int width, int height);
    void PlayRelease();
    bool HasPlay() const;
    bool PlayStart();
    void PlayStop();
    // Drops what is buffered and any half-joined frame.
    void PlayClear();
    // A frame or a fragment of the anchor's video, on the connection's
    // thread: joined, then queued to the library and copied to the recorder.
    void PlayFrame(const MediaFrame& frame, const unsigned char* data, std::size_t length);
    void SignStamp(std::uint32_t stamp);
    void SetPlayPictureCallback(VcastPictureCallback callback, void* context);

    // ---- recorder ----
    bool RecordOpen(const std::string& path, int width, int height, int fps, int quality,
                    int bits, int rate, int channels);
    bool RecordClose();
    bool Recording() const;
    void RecordVideo(const MediaFrame& frame, const unsigned char* data, std::size_t length);
    void RecordAudio(const MediaFrame& frame, const unsigned char* data, std::size_t length);

    // ---- music player ----
    // Made on first use (its lyric lines go over my broadcast), shown again
    // after; false when it cannot be made or shown.
    bool OpenMusicPlayer();
    void CloseMusicPlayer();

private:
    vcast_capture_t* CaptureHandle() const;
    static bool OnCaptured(const MediaFrame* frame, std::uint8_t important, void* self);

    mutable std::mutex captureLock_;
    vcast_capture_t* capture_ = nullptr;
    VideoSendCallback callback_ = nullptr;
    void* context_ = nullptr;

    mutable std::mutex playLock_;
    vcast_play_t* play_ = nullptr;
    CFrameAssembler assembler_;
    VcastPictureCallback playPicture_ = nullptr;
    void* playPictureContext_ = nullptr;

    mutable std::mutex recordLock_;
    vcast_record_t* recorder_ = nullptr;

    static void OnLyric(int index, int timeMs, const char* text, void* self);
    jukebox_t* musicPlayer_ = nullptr;  // the UI thread's only
};
