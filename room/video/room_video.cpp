#include "room/video/room_video.h"

#include <ctime>
#include <filesystem>

#include "core/log.h"
#include "core/paths.h"
#include "net/catalogue_media.h"
#include "video/effect_record.h"
#include "video/frame_fragments.h"
#include "video/media_frame_word.h"
#include "video/thinning.h"

namespace {

constexpr const char* kTipNeedMic = "请先上麦!";
constexpr const char* kTipRecordFailed = "录制失败，无法创建视频文件";

// What the source of a movie file is: our own kind by its exact extension.
int MovieKind(const std::string& path) {
    const auto dot = path.rfind('.');
    return dot != std::string::npos && path.compare(dot + 1, std::string::npos, "zvf") == 0 ? 3
                                                                                              : 2;
}

}  // namespace

std::string UnusedRecordPath(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) return path;
    const auto dot = path.rfind('.');
    const std::string stem = dot == std::string::npos ? path : path.substr(0, dot);
    const std::string ext = dot == std::string::npos ? "" : path.substr(dot);
    for (int i = 1;; ++i) {
        std::string p = stem + "-" + std::to_string(i) + ext;
        if (!std::filesystem::exists(p, ec)) return p;
    }
}

CRoomVideo::CRoomVideo(CRoomSession& session, Setup setup)
    : session_(session), setup_(std::move(setup)) {
    session_.AddFeature(this);
}

CRoomVideo::~CRoomVideo() {
    session_.RemoveFeature(this);
    StopBroadcast();
    StopRecording();
    StopPlay();
}

// ---- my broadcast ----

CRoomVideo::Result CRoomVideo::OpenCamera() {
    if (broadcasting_) return Result::ignored;
    if (!setup_.holdsAnchorMic || !setup_.holdsAnchorMic()) {
        session_.view().ShowTip(kTipNeedMic);
        return Result::refused;
    }
    return StartBroadcast(Source::camera, {});
}

void CRoomVideo::CloseCamera() { StopBroadcast(); }

void CRoomVideo::SetWanted(Source source, const std::string& moviePath) {
    wanted_ = true;
    wantedSource_ = source;
    wantedMovie_ = moviePath;
}

void CRoomVideo::OnSendingAccepted() {
    if (wanted_ && !broadcasting_) StartBroadcast(wantedSource_, wantedMovie_);
}

void CRoomVideo::OnMicClosed() { StopBroadcast(); }

bool CRoomVideo::OpenCapture() {
    CVideoEngine* engine = setup_.engine;
    if (!engine) {
        log_msg("video: no video engine, nothing is broadcast\r\n");
        return false;
    }
    if (engine->HasCapture()) return true;
    if (!engine->CaptureInit(setup_.previewWindow, 320, 240, 10, &CRoomVideo::OnFrame, this)) {
        log_msg("video: the capture did not start\r\n");
        return false;
    }
    const std::string folder = paths::UserFolder(session_.myUserId());
    CSettingsStore settings;
    VideoSettings video;
    if (settings.SetPath(folder + "common.xml")) settings.ReadVideo(video);
    engine->SetEncodeMode(static_cast<int>(video.encode_mode));
    baseTick_ = setup_.audioBaseTick ? setup_.audioBaseTick() : 0;
    EffectRecord effect = EffectRecord::Defaults();
    LoadEffect(folder + "effect.dat", effect);
    engine->SetEffect(effect.ToBytes());
    if (!session_.chatFont().empty()) engine->SetFont(session_.chatFont());
    return true;
}

void CRoomVideo::MarkBroadcasting() {
    broadcasting_ = true;
    ShowCameraButtons(true);
    if (setup_.onBroadcast) setup_.onBroadcast(true);
    // The framing grid shows on my preview for a moment.
    if (setup_.engine) setup_.engine->SetGrid(true);
    session_.timers().SetTimer(room_timer::kRoomGrid, kGridMs);
    session_.view().Report("video", "broadcasting");
}

CRoomVideo::Result CRoomVideo::StartBroadcast(Source source, const std::string& moviePath) {
    if (broadcasting_) return Result::ignored;
    if (!OpenCapture()) return Result::failed;
    CVideoEngine* engine = setup_.engine;
    CSettingsStore settings;
    VideoSettings video;
    if (settings.SetPath(paths::UserFolder(session_.myUserId()) + "common.xml"))
        settings.ReadVideo(video);
    bool ok = false;
    switch (source) {
        case Source::camera:
            engine->SetCamera(CVideoEngine::CameraIndex(video.videoname));
            ok = engine->StartCamera();
            break;
        case Source::pattern:
            engine->SetCamera(CVideoEngine::PatternIndex());
            ok = engine->StartCamera();
            break;
        case Source::movie:
            engine->SetChildMaster(true);
            ok = engine->MoviePlay(moviePath) && engine->StartChild(MovieKind(moviePath));
            break;
        case Source::screen:
            // The whole screen: the library clamps the rectangle to it.
            engine->SetScreen(0, VcastRect{0, 0, 4096, 4096}, video.mouse_enabled != 0);
            engine->SetChildMaster(true);
            ok = engine->StartChild(1);
            break;
    }
    if (!ok) {
        log_msg("video: the source did not start\r\n");
        if (!engine->IsCapturing()) engine->CaptureRelease();
        return Result::failed;
    }
    MarkBroadcasting();
    return Result::done;
}

bool CRoomVideo::EnsureCapture() {
    if (setup_.engine && setup_.engine->HasCapture()) return true;
    if (!setup_.holdsAnchorMic || !setup_.holdsAnchorMic()) {
        session_.view().ShowTip(kTipNeedMic);
        return false;
    }
    return OpenCapture();
}

void CRoomVideo::SourceStarted() {
    if (!broadcasting_) MarkBroadcasting();
}

void CRoomVideo::SourceStopped() {
    CVideoEngine* engine = setup_.engine;
    if (!engine || engine->IsCapturing()) return;
    if (broadcasting_) StopBroadcast();
    else engine->CaptureRelease();
}

void CRoomVideo::StopBroadcast() {
    if (!broadcasting_) return;
    broadcasting_ = false;
    if (CVideoEngine* engine = setup_.engine) {
        engine->StopCamera();
        engine->StopChild();
        engine->MovieStop();
        engine->CaptureRelease();
    }
    session_.timers().KillTimer(room_timer::kRoomGrid);
    ShowCameraButtons(false);
    if (setup_.onBroadcast) setup_.onBroadcast(false);
    session_.view().Report("video", "stopped");
}

void CRoomVideo::ShowCameraButtons(bool on) {
    session_.view().SetVisible("bnt_videoOpen", !on);
    session_.view().SetVisible("bnt_videoClose", on);
}

bool CRoomVideo::OnFrame(const MediaFrame& frame, bool important, void* self) {
    return static_cast<CRoomVideo*>(self)->SendFrame(frame, important);
}

// The capture thread. A false answer makes the next frame a keyframe, so a
// frame that is dropped or only partly sent never leaves viewers decoding
// deltas against a picture they do not have.
bool CRoomVideo::SendFrame(const MediaFrame& frame, bool important) {
    log_debug("av data len = %d, stamp=%d\n", static_cast<int>(frame.length),
              static_cast<int>(frame.stamp));
    IRoomLink& link = session_.link();
    if (ThinVideoFrame(frame, important, link.VideoPending())) {
        ++dropped_;
        return false;
    }
    const auto pieces = SplitFrame(frame, frame.data, frame.length);
    if (pieces.empty()) {
        ++dropped_;
        return false;
    }
    const std::uint32_t base = baseTick_.load();
    for (const FramePiece& p : pieces) {
        msg::Video_Data m;
        m.stamp_diff = frame.stamp - base;
        m.header_word = PackFrameWord(p.frame);
        m.frame = wire::bytes(p.data, p.length);
        if (!link.Send(m)) {
            ++dropped_;
            return false;
        }
    }
    ++sent_;
    return true;
}

// ---- the anchor's picture ----

// The play instance is ready before the video login leaves: the latest
// keyframe the server sends behind its answer must find it, or a newcomer
// waits for the next keyframe.
void CRoomVideo::OnVideoLoginSent() { StartPlay(); }

void CRoomVideo::OnVideoLoggedIn() { StartPlay(); }

void CRoomVideo::StartPlay() {
    CVideoEngine* engine = setup_.engine;
    // A login again (after a reconnect) keeps the instance it has.
    if (!engine || engine->HasPlay()) return;
    engine->SetPlayPictureCallback(&CRoomVideo::OnPicture, this);
    if (engine->PlayInit(setup_.videoWindow, 320, 240)) engine->PlayStart();
}

void CRoomVideo::StopPlay() {
    CVideoEngine* engine = setup_.engine;
    if (!engine || !engine->HasPlay()) return;
    engine->PlayStop();
    engine->PlayRelease();
    engine->SetPlayPictureCallback(nullptr, nullptr);
    log_msg("video loginout succeed\r\n");
}

void CRoomVideo::OnAnchorChanged(std::uint32_t anchorId) {
    const std::uint32_t old = anchor_.exchange(anchorId);
    // The first word on the anchor only confirms whose frames already play
    // (the newcomer's keyframe may have come first); a change clears them,
    // so nothing of the previous anchor shows under the new one's name.
    const std::uint32_t playing = old == kAnchorUnknown ? lastSource_.load() : old;
    if (playing == anchorId || playing == 0) return;
    reported_ = 0;
    if (setup_.engine) setup_.engine->PlayClear();
}

void CRoomVideo::PlayFrame(const VideoFrameHeader& h, const unsigned char* bytes,
                           std::size_t length) {
    const std::uint32_t anchor = anchor_.load();
    if (!setup_.engine || h.source == 0 || (anchor != kAnchorUnknown && h.source != anchor)) return;
    lastSource_ = h.source;
    MediaFrame f;
    f.f0 = h.f0, f.f1 = h.f1, f.f2 = h.f2, f.f3 = h.f3, f.f4 = h.f4;
    f.stamp = h.extra;
    f.length = static_cast<std::uint32_t>(length);
    setup_.engine->PlayFrame(f, bytes, length);
}

// The play thread: one message per anchor's first picture.
void CRoomVideo::OnPicture(const VcastPicture& picture, void* self) {
    auto* v = static_cast<CRoomVideo*>(self);
    {
        std::lock_guard<std::mutex> g(v->observerLock_);
        if (v->observer_) v->observer_(picture);
    }
    const std::uint32_t anchor = v->lastSource_.load();
    if (anchor == 0 || v->reported_.exchange(anchor) == anchor) return;
    const auto size = static_cast<std::intptr_t>(picture.width) << 16 |
                      static_cast<std::intptr_t>(picture.height & 0xFFFF);
    PostMessage(v->setup_.roomWindow, UM_VIDEO_FIRST_PICTURE, anchor, size);
}

bool CRoomVideo::OnWindowMessage(const WindowMessage& m) {
    if (m.msg != UM_VIDEO_FIRST_PICTURE) return false;
    const auto size = static_cast<std::uint32_t>(m.lParam);
    session_.view().Report("video", std::to_string(m.wParam) + " " +
                                        std::to_string(size >> 16) + "x" +
                                        std::to_string(size & 0xFFFF));
    return true;
}

// ---- recording ----

std::string CRoomVideo::SuggestedRecordPath() const {
    const std::string folder = paths::UserFolder(session_.myUserId()) + "record/";
    paths::MakeDirs(folder);
    const std::time_t now = std::time(nullptr);
    std::tm t{};
    localtime_r(&now, &t);
    char name[64];
    std::snprintf(name, sizeof name, "%d%02d%02d%02d%02d%02d.mp4", t.tm_year + 1900,
                  t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    return folder + name;
}

bool CRoomVideo::recording() const { return setup_.engine && setup_.engine->Recording(); }

CRoomVideo::Result CRoomVideo::StartRecording() {
    CVideoEngine* engine = setup_.engine;
    if (!engine) return Result::failed;
    if (engine->Recording()) return Result::ignored;
    const std::string suggested = SuggestedRecordPath();
    const std::string path =
        setup_.chooseRecordPath ? setup_.chooseRecordPath(suggested) : UnusedRecordPath(suggested);
    if (path.empty()) return Result::ignored;
    CSettingsStore settings;
    RecordSettings r;
    if (settings.SetPath(paths::UserFolder(session_.myUserId()) + "common.xml"))
        settings.ReadRecord(r);
    if (!engine->RecordOpen(path, static_cast<int>(r.record_width),
                            static_cast<int>(r.record_height), static_cast<int>(r.record_fps),
                            static_cast<int>(r.record_quality), 16, 22050, 1)) {
        session_.view().ShowTip(kTipRecordFailed);
        return Result::failed;
    }
    recordPath_ = path;
    ShowRecordButtons(true);
    recordLight_ = false;
    session_.timers().SetTimer(room_timer::kRecordBlink, 500);
    session_.view().Report("record", "started " + path);
    return Result::done;
}

void CRoomVideo::StopRecording() {
    CVideoEngine* engine = setup_.engine;
    if (!engine || !engine->Recording()) return;
    const bool whole = engine->RecordClose();
    session_.timers().KillTimer(room_timer::kRecordBlink);
    ShowRecordButtons(false);
    session_.view().Report("record", (whole ? "finished " : "damaged ") + recordPath_);
}

void CRoomVideo::ShowRecordButtons(bool on) {
    session_.view().SetVisible("bnt_record_start", !on);
    session_.view().SetVisible("bnt_record_stop", on);
}

void CRoomVideo::OnTimer(unsigned id) {
    if (id == room_timer::kRecordBlink) {
        recordLight_ = !recordLight_;
        session_.view().SetImage("bnt_record_stop",
                                 recordLight_ ? "video_recording1.png" : "video_recording2.png");
    } else if (id == room_timer::kRoomGrid) {
        session_.timers().KillTimer(room_timer::kRoomGrid);
        if (setup_.engine) setup_.engine->SetGrid(false);
    }
}

// ---- the room ----

bool CRoomVideo::OnPacket(std::uint32_t command, const unsigned char* body, std::size_t length) {
    (void)body;
    (void)length;
    // The logout's answer may come after the room is gone; the play
    // instance went with the room already.
    return command == cmd::Video_Logout_Resp;
}

void CRoomVideo::OnRoomCleared() {
    if (setup_.engine) setup_.engine->CloseMusicPlayer();
    StopBroadcast();
    StopRecording();
    StopPlay();
    anchor_ = kAnchorUnknown;
    lastSource_ = 0;
    reported_ = 0;
}

bool CRoomVideo::OnTypedCommand(const std::string& line) {
    if (line == "/video on") return OpenCamera(), true;
    if (line == "/video off") return CloseCamera(), true;
    if (line == "/record start") return StartRecording(), true;
    if (line == "/record stop") return StopRecording(), true;
    if (line == "/video") {
        session_.view().Report("video", std::string(broadcasting_ ? "on" : "off") + " sent=" +
                                            std::to_string(sent_.load()) + " dropped=" +
                                            std::to_string(dropped_.load()));
        return true;
    }
    return false;
}
