// The capture-side calls of the video library: each tolerates a null handle.
#include "platform/vcast/capture.h"

vcast_capture_t* VCAST_CaptureInit(HWND window, int width, int height, int fps,
                                   VcastFrameCallback callback, void* context) {
    return vcast_capture_t::Create(window, width, height, fps, callback, context);
}

void VCAST_CaptureRelease(vcast_capture_t* c) { delete c; }

int VCAST_CaptureMasterStart(vcast_capture_t* c) { return c ? c->MasterStart() : 0; }
void VCAST_CaptureMasterStop(vcast_capture_t* c) {
    if (c) c->MasterStop();
}
int VCAST_IsCapture(vcast_capture_t* c) { return c && c->IsCapturing() ? 1 : 0; }
void VCAST_SetCamID(vcast_capture_t* c, int index) {
    if (c) c->SetCamera(index);
}
int VCAST_CaptureChildStart(vcast_capture_t* c, int kind) { return c ? c->ChildStart(kind) : 0; }
void VCAST_CaptureChildStop(vcast_capture_t* c) {
    if (c) c->ChildStop();
}
void VCAST_SetChildMaster(vcast_capture_t* c, int flag) {
    if (c) c->SetChildMaster(flag != 0);
}
void VCAST_SetGridEnabled(vcast_capture_t* c, int flag) {
    if (c) c->SetGrid(flag != 0);
}
void VCAST_SetX264Mode(vcast_capture_t* c, int mode) {
    if (c) c->SetMode(mode);
}
void VCAST_SetZdyFont(vcast_capture_t* c, const char* face) {
    if (c) c->SetFace(face);
}
void VCAST_SetScreen(vcast_capture_t* c, std::uintptr_t nativeWindow, VcastRect rect) {
    if (c) c->SetScreen(nativeWindow, rect);
}
void VCAST_SetScreenMouse(vcast_capture_t* c, int enabled) {
    if (c) c->SetScreenMouse(enabled != 0);
}
int VCAST_SetEffect(vcast_capture_t* c, const unsigned char* record) {
    return c ? c->SetEffect(record) : 0;
}
int VCAST_MoviePlay(vcast_capture_t* c, const char* path) { return c ? c->MoviePlay(path) : 0; }
void VCAST_MoviePause(vcast_capture_t* c) {
    if (c) c->MoviePause();
}
void VCAST_MovieStop(vcast_capture_t* c) {
    if (c) c->MovieStop();
}
void VCAST_Seek_to(vcast_capture_t* c, int seconds) {
    if (c) c->MovieSeek(seconds);
}
int VCAST_GetMovieTotalTime(vcast_capture_t* c) { return c ? c->MovieTotal() : 0; }
int VCAST_GetMovieCurrentTime(vcast_capture_t* c) { return c ? c->MovieNow() : 0; }
void VCAST_PushLrc(vcast_capture_t* c, int index, int timeMs, const char* text) {
    if (c) c->PushLyric(index, timeMs, text);
}
void VCAST_CaptureSetPictureCallback(vcast_capture_t* c, VcastPictureCallback callback,
                                     void* context) {
    if (c) c->SetPictureCallback(callback, context);
}
