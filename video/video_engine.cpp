#include "video/video_engine.h"

#include "core/log.h"
#include "platform/jukebox/jukebox.h"

CVideoEngine::~CVideoEngine() {
    CloseMusicPlayer();
    RecordClose();
    PlayRelease();
    CaptureRelease();
}

// ---- cameras ----

std::vector<std::string> CVideoEngine::CameraNames() {
    std::vector<std::string> names;
    const int n = VCAST_GetVideoCount();
    for (int i = 0; i < n; ++i) {
        char name[128] = {};
        VCAST_GetVideoName(i, name, sizeof name);
        names.emplace_back(name);
    }
    return names;
}

int CVideoEngine::CameraIndex(const std::string& name) {
    const auto names = CameraNames();
    for (std::size_t i = 0; i < names.size(); ++i)
        if (names[i] == name) return static_cast<int>(i);
    return 0;
}

int CVideoEngine::PatternIndex() { return VCAST_GetVideoCount() - 1; }

// ---- capture ----

bool CVideoEngine::CaptureInit(HWND window, int width, int height, int fps,
                               VideoSendCallback callback, void* context) {
    std::lock_guard<std::mutex> g(captureLock_);
    if (capture_) return true;
    capture_ = VCAST_CaptureInit(window, width, height, fps, &CVideoEngine::OnCaptured, this);
    if (!capture_) return false;
    callback_ = callback;
    context_ = context;
    return true;
}

void CVideoEngine::CaptureRelease() {
    vcast_capture_t* c;
    {
        std::lock_guard<std::mutex> g(captureLock_);
        c = capture_;
        capture_ = nullptr;
    }
    // Outside the lock: the release waits for the capture thread, which may
    // be inside OnCaptured.
    if (c) VCAST_CaptureRelease(c);
    std::lock_guard<std::mutex> g(captureLock_);
    if (!capture_) callback_ = nullptr, context_ = nullptr;
}

bool CVideoEngine::OnCaptured(const MediaFrame* frame, std::uint8_t important, void* self) {
    if (!frame) return true;
    auto* e = static_cast<CVideoEngine*>(self);
    VideoSendCallback cb;
    void* ctx;
    {
        std::lock_guard<std::mutex> g(e->captureLock_);
        cb = e->callback_;
        ctx = e->context_;
    }
    // Every encoded frame is recorded, sent or not: a frame the network
    // dropped is still part of what I broadcast, and the frames after it
    // reference it.
    MediaFrame local = *frame;
    local.clock = media_frame::kClockLocal;
    e->RecordVideo(local, frame->data, frame->length);
    return cb ? cb(*frame, important != 0, ctx) : false;
}

bool CVideoEngine::HasCapture() const {
    std::lock_guard<std::mutex> g(captureLock_);
    return capture_ != nullptr;
}

// The capture instance is released only on the UI thread, which is also
// the only caller of the setters: the lock is needed only to read the
// pointer, not to keep the instance alive while a call runs.
vcast_capture_t* CVideoEngine::CaptureHandle() const {
    std::lock_guard<std::mutex> g(captureLock_);
    return capture_;
}

void CVideoEngine::SetCamera(int index) {
    if (auto* c = CaptureHandle()) VCAST_SetCamID(c, index);
}

void CVideoEngine::SetScreen(std::uintptr_t nativeWindow, VcastRect rect, bool mouse) {
    auto* c = CaptureHandle();
    if (!c) return;
    VCAST_SetScreenMouse(c, mouse ? 1 : 0);
    VCAST_SetScreen(c, nativeWindow, rect);
}

bool CVideoEngine::IsCapturing() const {
    auto* c = CaptureHandle();
    return c && VCAST_IsCapture(c) != 0;
}

bool CVideoEngine::StartCamera() {
    auto* c = CaptureHandle();
    return c && VCAST_CaptureMasterStart(c) != 0;
}

void CVideoEngine::StopCamera() {
    if (auto* c = CaptureHandle()) VCAST_CaptureMasterStop(c);
}

bool CVideoEngine::StartChild(int kind) {
    auto* c = CaptureHandle();
    return c && VCAST_CaptureChildStart(c, kind) != 0;
}

void CVideoEngine::StopChild() {
    if (auto* c = CaptureHandle()) VCAST_CaptureChildStop(c);
}

void CVideoEngine::SetChildMaster(bool childIsMain) {
    if (auto* c = CaptureHandle()) VCAST_SetChildMaster(c, childIsMain ? 1 : 0);
}

bool CVideoEngine::SetEffect(const EffectBytes& record) {
    auto* c = CaptureHandle();
    return c && VCAST_SetEffect(c, record.data()) != 0;
}

void CVideoEngine::SetFont(const std::string& face) {
    if (auto* c = CaptureHandle()) VCAST_SetZdyFont(c, face.c_str());
}

void CVideoEngine::SetGrid(bool on) {
    if (auto* c = CaptureHandle()) VCAST_SetGridEnabled(c, on ? 1 : 0);
}

void CVideoEngine::SetEncodeMode(int mode) {
    if (auto* c = CaptureHandle()) VCAST_SetX264Mode(c, mode);
}

bool CVideoEngine::MoviePlay(const std::string& path) {
    auto* c = CaptureHandle();
    return c && VCAST_MoviePlay(c, path.c_str()) != 0;
}

void CVideoEngine::MoviePause() {
    if (auto* c = CaptureHandle()) VCAST_MoviePause(c);
}

void CVideoEngine::MovieStop() {
    if (auto* c = CaptureHandle()) VCAST_MovieStop(c);
}

int CVideoEngine::MovieTotal() const {
    auto* c = CaptureHandle();
    return c ? VCAST_GetMovieTotalTime(c) : 0;
}

int CVideoEngine::MovieNow() const {
    auto* c = CaptureHandle();
    return c ? VCAST_GetMovieCurrentTime(c) : 0;
}

void CVideoEngine::MovieSeek(int seconds) {
    if (auto* c = CaptureHandle()) VCAST_Seek_to(c, seconds);
}

void CVideoEngine::PushLrc(int index, int timeMs, const char* text) {
    if (auto* c = CaptureHandle()) VCAST_PushLrc(c, index, timeMs, text ? text : "");
}

void CVideoEngine::SetCapturePictureCallback(VcastPictureCallback callback, void* context) {
    if (auto* c = CaptureHandle()) VCAST_CaptureSetPictureCallback(c, callback, context);
}

// ---- play ----

bool CVideoEngine::PlayInit(HWND window, int width, int height) {
    std::lock_guard<std::mutex> g(playLock_);
    if (play_) return true;
    play_ = VCAST_PlayInit(window, width, height);
    if (play_ && playPicture_) VCAST_PlaySetPictureCallback(play_, playPicture_, playPictureContext_);
    return play_ != nullptr;
}

void CVideoEngine::PlayRelease() {
    std::lock_guard<std::mutex> g(playLock_);
    if (!play_) return;
    VCAST_PlayRelease(play_);
    play_ = nullptr;
    assembler_.Clear();
}

bool CVideoEngine::HasPlay() const {
    std::lock_guard<std::mutex> g(playLock_);
    return play_ != nullptr;
}

bool CVideoEngine::PlayStart() {
    std::lock_guard<std::mutex> g(playLock_);
    return play_ && VCAST_PlayStart(play_) != 0;
}

void CVideoEngine::PlayStop() {
    std::lock_guard<std::mutex> g(playLock_);
    if (play_) VCAST_PlayStop(play_);
}

void CVideoEngine::PlayClear() {
    std::lock_guard<std::mutex> g(playLock_);
    assembler_.Clear();
    if (play_) VCAST_Clear(play_);
}

void CVideoEngine::PlayFrame(const MediaFrame& frame, const unsigned char* data,
                             std::size_t length) {
    MediaFrame whole;
    std::vector<unsigned char> bytes;
    {
        std::lock_guard<std::mutex> g(playLock_);
        if (!play_) return;
        if (assembler_.Add(frame, data, length, whole, bytes) != AssembleResult::kWhole) return;
        whole.clock = media_frame::kClockSender;
        VCAST_IntoData(play_, &whole, bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    }
    RecordVideo(whole, bytes.data(), bytes.size());
}

void CVideoEngine::SignStamp(std::uint32_t stamp) {
    std::lock_guard<std::mutex> g(playLock_);
    if (play_) VCAST_SignStamp(play_, stamp);
}

void CVideoEngine::SetPlayPictureCallback(VcastPictureCallback callback, void* context) {
    std::lock_guard<std::mutex> g(playLock_);
    playPicture_ = callback;
    playPictureContext_ = context;
    if (play_) VCAST_PlaySetPictureCallback(play_, callback, context);
}

// ---- recorder ----

bool CVideoEngine::RecordOpen(const std::string& path, int width, int height, int fps,
                              int quality, int bits, int rate, int channels) {
    std::lock_guard<std::mutex> g(recordLock_);
    if (recorder_) return false;
    recorder_ = VCAST_RecordOpen(path.c_str(), width, height, fps, quality, bits, rate, channels);
    return recorder_ != nullptr;
}

bool CVideoEngine::RecordClose() {
    std::lock_guard<std::mutex> g(recordLock_);
    if (!recorder_) return false;
    const bool ok = VCAST_RecordClose(recorder_) != 0;
    recorder_ = nullptr;
    if (!ok) log_err("video: the recording was not finished whole");
    return ok;
}

bool CVideoEngine::Recording() const {
    std::lock_guard<std::mutex> g(recordLock_);
    return recorder_ != nullptr;
}

void CVideoEngine::RecordVideo(const MediaFrame& frame, const unsigned char* data,
                               std::size_t length) {
    std::lock_guard<std::mutex> g(recordLock_);
    if (recorder_) VCAST_push_video(recorder_, &frame, data, static_cast<std::uint32_t>(length));
}

void CVideoEngine::RecordAudio(const MediaFrame& frame, const unsigned char* data,
                               std::size_t length) {
    std::lock_guard<std::mutex> g(recordLock_);
    if (recorder_) VCAST_push_audio(recorder_, &frame, data, static_cast<std::uint32_t>(length));
}

// ---- music player ----

void CVideoEngine::OnLyric(int index, int timeMs, const char* text, void* self) {
    if (self) static_cast<CVideoEngine*>(self)->PushLrc(index, timeMs, text);
}

bool CVideoEngine::OpenMusicPlayer() {
    if (!musicPlayer_) {
        musicPlayer_ = JUKEBOX_InitPlay(&CVideoEngine::OnLyric, this);
        return musicPlayer_ != nullptr;
    }
    return JUKEBOX_ShowPlayDlg(musicPlayer_) == 0;
}

void CVideoEngine::CloseMusicPlayer() {
    if (!musicPlayer_) return;
    JUKEBOX_Realse(musicPlayer_);
    musicPlayer_ = nullptr;
}
