#pragma once
// The video library: camera, screen and movie capture with effects and
// H.264 encoding; decoding and drawing the anchor's video against the audio
// clock; MP4 recording. Handles are opaque, null means failure, "ok" is a
// non-zero result. Only the video engine (video/) calls it.
//
// Threads: VCAST_IntoData comes from the media connection's thread,
// VCAST_SignStamp from the playback thread, VCAST_push_audio from the audio
// engine's thread, frame callbacks from the capture thread; the rest from
// the UI thread. Each instance locks for itself, and a release waits until
// no call into that instance is running (the caller still must not use the
// handle afterwards).

#include <cstdint>

#include "core/message.h"
#include "platform/vcast/media_frame.h"
#include "platform/vcast/picture.h"

struct vcast_capture_t;
struct vcast_play_t;
struct vcast_record_t;

struct VcastRect {
    int left = 0, top = 0, right = 0, bottom = 0;  // screen pixels, right/bottom exclusive
};

// An encoded frame of the capture instance: (descriptor with data, important
// flag, context) → whether it was taken. False makes the next frame a
// keyframe (no delta is encoded before it).
using VcastFrameCallback = bool (*)(const MediaFrame* frame, std::uint8_t important, void* context);
// A picture as shown (tests, the headless client), on the instance's thread.
using VcastPictureCallback = void (*)(const VcastPicture& picture, void* context);

// ---- process ----
// Registers the capture devices (v4l2, x11grab…) and starts the network
// layer of the container library. Once per process; a second call only
// counts. 1 on success.
int VCAST_Init();
// Undoes VCAST_Init when the last caller releases.
void VCAST_Release();
// Input devices the media library offers after VCAST_Init (0 before).
int VCAST_InputDeviceCount();

// ---- cameras ----
// v4l2 cameras by card name, then the test pattern ("测试图案"), always last.
int VCAST_GetVideoCount();
// Narrow zero-terminated name into `buffer` (cut to size-1); 0 for a bad index.
int VCAST_GetVideoName(int index, char* buffer, int size);

// ---- capture instance ----
// Preview pictures go to `window` (0: none); frames of width×height at fps
// (the encoder mode may override, VCAST_SetX264Mode) go to `callback`.
vcast_capture_t* VCAST_CaptureInit(HWND window, int width, int height, int fps,
                                   VcastFrameCallback callback, void* context);
void VCAST_CaptureRelease(vcast_capture_t* capture);
int VCAST_CaptureMasterStart(vcast_capture_t* capture);  // the camera
void VCAST_CaptureMasterStop(vcast_capture_t* capture);
// Non-zero while the camera or the second source runs.
int VCAST_IsCapture(vcast_capture_t* capture);
void VCAST_SetCamID(vcast_capture_t* capture, int index);
// Second source: 1 screen, 2 movie file, 3 movie file of our own kind (probed the same).
int VCAST_CaptureChildStart(vcast_capture_t* capture, int kind);
void VCAST_CaptureChildStop(vcast_capture_t* capture);
// 1: the second source fills the picture, the camera is inset; 0 the other way.
void VCAST_SetChildMaster(vcast_capture_t* capture, int flag);
void VCAST_SetGridEnabled(vcast_capture_t* capture, int flag);  // the preview only
// 0 = the CaptureInit size and rate, 1 = 640×360 at 15 fps, 2 = 640×360 at 25 fps.
void VCAST_SetX264Mode(vcast_capture_t* capture, int mode);
void VCAST_SetZdyFont(vcast_capture_t* capture, const char* face);  // UTF-8 face name
// Screen capture: `nativeWindow` an X11 window id, 0 for the whole screen;
// `rect` in screen pixels (clamped to the screen, made even, at least 16×16).
void VCAST_SetScreen(vcast_capture_t* capture, std::uintptr_t nativeWindow, VcastRect rect);
// Mouse pointer in screen capture (the "mouse_enabled " setting).
void VCAST_SetScreenMouse(vcast_capture_t* capture, int enabled);
// The 1488-byte effect record (platform/vcast/effect_layout.h). ok.
int VCAST_SetEffect(vcast_capture_t* capture, const unsigned char* record);
// Movie source (then VCAST_CaptureChildStart(2 or 3)). ok when it opened.
int VCAST_MoviePlay(vcast_capture_t* capture, const char* path);
void VCAST_MoviePause(vcast_capture_t* capture);  // toggles
void VCAST_MovieStop(vcast_capture_t* capture);
void VCAST_Seek_to(vcast_capture_t* capture, int seconds);
int VCAST_GetMovieTotalTime(vcast_capture_t* capture);    // seconds; 0 unknown
int VCAST_GetMovieCurrentTime(vcast_capture_t* capture);  // seconds
// A lyric line for the overlay: (line index, its time in ms, UTF-8 text);
// an empty text clears it.
void VCAST_PushLrc(vcast_capture_t* capture, int index, int timeMs, const char* text);
// Pictures as composed (before encoding), for tests.
void VCAST_CaptureSetPictureCallback(vcast_capture_t* capture, VcastPictureCallback callback,
                                     void* context);

// ---- play instance ----
vcast_play_t* VCAST_PlayInit(HWND window, int width, int height);
int VCAST_PlayStart(vcast_play_t* play);
void VCAST_PlayStop(vcast_play_t* play);
void VCAST_PlayRelease(vcast_play_t* play);
// Drops buffered frames; nothing shows until the next keyframe.
void VCAST_Clear(vcast_play_t* play);
// A whole frame (fragments already joined): validated and copied into a
// bounded queue; decoding happens on the instance's thread. ok when queued.
int VCAST_IntoData(vcast_play_t* play, const MediaFrame* frame, const unsigned char* data,
                   std::uint32_t length);
// The audio clock: the stamp of the anchor's voice just handed to the output.
void VCAST_SignStamp(vcast_play_t* play, std::uint32_t stamp);
// Every shown picture also goes here (the headless client, tests).
void VCAST_PlaySetPictureCallback(vcast_play_t* play, VcastPictureCallback callback,
                                  void* context);

// ---- recorder ----
// An MP4 of one H.264 track (width×height at fps, quality 0 low … 2 high)
// and one AAC track (rate, channels; bits must be 16). The recorder encodes
// and writes on its own thread: a push is checked, queued and returns
// (ok when queued), never waiting for a codec or the disk.
vcast_record_t* VCAST_RecordOpen(const char* path, int width, int height, int fps, int quality,
                                 int bits, int rate, int channels);
// Whole H.264 frames as sent or received (f0 kCodecH264), with their clock.
int VCAST_push_video(vcast_record_t* record, const MediaFrame* frame, const unsigned char* data,
                     std::uint32_t length);
// Voice frames (f0 kCodecAacAdts or kCodecAmrNb), with their clock.
int VCAST_push_audio(vcast_record_t* record, const MediaFrame* frame, const unsigned char* data,
                     std::uint32_t length);
// Writes what is still queued, finishes and closes the file (so it may
// take a while). ok when it was written whole.
int VCAST_RecordClose(vcast_record_t* record);
