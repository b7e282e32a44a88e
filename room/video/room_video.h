#pragma once
// The room's video: my broadcast (camera, screen or movie, only while I
// hold the anchor microphone), the anchor's picture (the play instance
// lives from the video login to the logout; only the current anchor's
// frames reach it), and my local recording. The work is the video
// engine's; this decides when, sends the encoded frames and shows the
// buttons.

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "core/app_context.h"
#include "room/room_session.h"
#include "video/settings.h"
#include "video/video_engine.h"

namespace room_timer {
inline constexpr unsigned kRecordBlink = 211;  // the recording light
inline constexpr unsigned kRoomGrid = 207;     // turns the preview grid off again
}  // namespace room_timer

// `path`, or when a file is there already "name-1.ext", "name-2.ext"…:
// a recording never replaces another.
std::string UnusedRecordPath(const std::string& path);

// A first picture of an anchor was shown (wParam the anchor, lParam
// width << 16 | height): the headless client reports it.
inline constexpr unsigned UM_VIDEO_FIRST_PICTURE = 1791;

class CRoomVideo : public IRoomFeature, public IVideoFrameSink {
public:
    // What broadcasts when video is wanted without a choice in a window.
    enum class Source { camera, pattern, movie, screen };

    struct Setup {
        CVideoEngine* engine = nullptr;  // logged only without one
        HWND roomWindow = 0;             // the first-picture message goes here
        HWND previewWindow = 0;          // my camera's preview (CaptureInit)
        HWND videoWindow = 0;            // the anchor's picture (PlayInit)
        // Whether I hold the anchor microphone, and its open tick: frame
        // stamps count from it, like the voice's.
        std::function<bool()> holdsAnchorMic;
        std::function<std::uint32_t()> audioBaseTick;
        // The recording's path: the suggested one, or the user's choice in a
        // save dialog ("" = cancelled). Unset: the suggestion, made unique.
        std::function<std::string(const std::string& suggested)> chooseRecordPath;
        // Told when my broadcast starts (true) and ends: the talk key rests
        // meanwhile.
        std::function<void(bool on)> onBroadcast;
    };

    CRoomVideo(CRoomSession& session, Setup setup);
    ~CRoomVideo() override;
    CRoomVideo(const CRoomVideo&) = delete;
    CRoomVideo& operator=(const CRoomVideo&) = delete;

    enum class Result { done, refused, failed, ignored };

    // bnt_videoOpen / bnt_videoClose.
    Result OpenCamera();
    void CloseCamera();
    // Video is wanted (headless flag): starts from `source` as soon as my
    // anchor microphone is accepted, again after every grant.
    void SetWanted(Source source, const std::string& moviePath = {});
    // For the live-settings dialog's screen and movie sources: a capture
    // instance, made when there is none (only while I hold the anchor
    // microphone: "请先上麦!" otherwise); then told whether a source
    // started (my broadcast is on) or stopped (off when nothing runs).
    bool EnsureCapture();
    void SourceStarted();
    void SourceStopped();
    // bnt_music_play: the music player, made once, shown again after.
    bool OpenMusicPlayer() { return setup_.engine && setup_.engine->OpenMusicPlayer(); }
    // bnt_record_start / bnt_record_stop.
    Result StartRecording();
    void StopRecording();

    // From the microphone: the media server accepted my anchor microphone;
    // my microphone closed.
    void OnSendingAccepted();
    void OnMicClosed();

    bool broadcasting() const { return broadcasting_; }
    bool recording() const;
    const std::string& recordPath() const { return recordPath_; }
    // Every picture of the anchor as shown, on the play thread (tests).
    using PictureObserver = std::function<void(const VcastPicture& picture)>;
    void SetPictureObserver(PictureObserver observer) {
        std::lock_guard<std::mutex> g(observerLock_);
        observer_ = std::move(observer);
    }
    // Frames sent and dropped by the congestion rule (tests, "/video").
    std::uint64_t framesSent() const { return sent_.load(); }
    std::uint64_t framesDropped() const { return dropped_.load(); }

    // IRoomFeature
    bool OnPacket(std::uint32_t command, const unsigned char* body, std::size_t length) override;
    void OnRoomCleared() override;
    void OnTimer(unsigned id) override;
    bool OnWindowMessage(const WindowMessage& m) override;
    bool OnTypedCommand(const std::string& line) override;
    void OnVideoLoginSent() override;
    void OnVideoLoggedIn() override;
    void OnAnchorChanged(std::uint32_t anchorId) override;

    // IVideoFrameSink (the connection's thread).
    void PlayFrame(const VideoFrameHeader& header, const unsigned char* bytes,
                   std::size_t length) override;

private:
    static constexpr unsigned kGridMs = 3000;

    Result StartBroadcast(Source source, const std::string& moviePath);
    bool OpenCapture();
    void MarkBroadcasting();
    void StopBroadcast();
    void StartPlay();
    void StopPlay();
    void ShowCameraButtons(bool on);
    void ShowRecordButtons(bool on);
    std::string SuggestedRecordPath() const;
    static bool OnFrame(const MediaFrame& frame, bool important, void* self);
    bool SendFrame(const MediaFrame& frame, bool important);
    static void OnPicture(const VcastPicture& picture, void* self);

    CRoomSession& session_;
    Setup setup_;
    bool broadcasting_ = false;
    bool wanted_ = false;
    Source wantedSource_ = Source::camera;
    std::string wantedMovie_;
    bool recordLight_ = false;
    std::string recordPath_;
    std::atomic<std::uint32_t> baseTick_{0};
    // Until the room tells who the anchor is, frames are taken from whoever
    // the server relays (it relays the anchor's only).
    static constexpr std::uint32_t kAnchorUnknown = 0xFFFFFFFFu;
    std::atomic<std::uint32_t> anchor_{kAnchorUnknown};
    std::atomic<std::uint32_t> lastSource_{0};  // whose frame played last
    std::atomic<std::uint64_t> sent_{0};
    std::atomic<std::uint64_t> dropped_{0};
    std::mutex observerLock_;
    PictureObserver observer_;
    // The anchor whose first picture was reported (play thread).
    std::atomic<std::uint32_t> reported_{0};
};
