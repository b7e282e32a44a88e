#pragma once
// The room window's parts, in the order they depend on each other: the view
// (the Qt room window, or the headless view), the message target running
// the room session, the window's actions, and, once the session has
// started, the chat with its transfers over the HTTP helper. The program
// builds one over the connection library; tests build several in-process,
// each over its own connection and account.

#include <cstdio>
#include <memory>

#include "app/room_host.h"
#include "chat/face_table.h"
#include "net/room_link.h"
#include "room/anchor_sign.h"
#include "room/chat_transfers.h"
#include "room/room_badges.h"
#include "room/early_lines.h"
#include "room/headless_view.h"
#include "room/room_account.h"
#include "room/catalogue/room_catalogue.h"
#include "room/mic/room_mic.h"
#include "room/mic/voice_set.h"
#include "room/room_chat.h"
#include "room/voice_message/room_voice_messages.h"
#include "audio/voice_message/play_audio.h"
#include "audio/voice_message/voice_recorder.h"
#include "room/room_moderation.h"
#include "room/purchases/room_purchases.h"
#include "room/room_volumes.h"
#include "room/room_roles.h"
#include "room/video/room_live_video.h"
#include "room/video/room_video.h"
#include "room/video/video_audio_bridge.h"
#include "room/video/video_mic_audio.h"
#include "video/video_engine.h"
#include "ui/moderation_actions.h"
#include "ui/room_actions.h"
#include "ui/live_setting_dlg.h"
#include "ui/room_directory_wnd.h"
#include "ui/room_ui.h"

class CRoomStack {
public:
    enum class Mode { headless, window };

    // The window mode needs the QApplication and the skin root set.
    CRoomStack(Mode mode, FILE* out, IRoomLink& link, IRoomAccount& account);
    ~CRoomStack();
    CRoomStack(const CRoomStack&) = delete;
    CRoomStack& operator=(const CRoomStack&) = delete;

    // Creates the window from its skin (window mode) and titles it. The
    // room window shows once a room is entered.
    void Open(const std::string& title);
    // Voice (capture, engine, playback) on these devices; before Start.
    // Without it the room is silent and the microphone only logs.
    void EnableVoice(const CVoiceSet::Options& options);
    // Video (broadcast, the anchor's picture, recording); before Start.
    // Without it the room shows no video.
    void EnableVideo();
    // The session's start, then the chat. False when the session cannot run
    // (no friends store); the caller then runs the exit path.
    bool Start();

    // The room directory (window mode, after Start): shown now when
    // `showNow`, and again after every leave that does not end the program.
    // Its choice goes to `enter`, its close to `quit`.
    void OpenDirectory(std::function<void(std::uint32_t room)> enter, std::function<void()> quit,
                       bool showNow);
    CRoomDirectoryWnd* directory() { return directory_.get(); }

    // A line as if typed at the headless input (kept until a room is entered).
    void Type(const std::string& line) {
        if (early_) early_->Typed(line);
    }

    IRoomView& view();
    CHeadlessView* headless() { return headless_.get(); }
    CRoomUI* window() { return window_.get(); }
    CRoomHost& host() { return host_; }
    CRoomSession& session() { return host_.session(); }
    CRoomChat* chat() { return chat_.get(); }
    CRoomCatalogue* catalogues() { return catalogues_.get(); }
    CRoomMic* mic() { return mic_.get(); }
    CRoomPurchases* purchases() { return purchases_.get(); }
    CRoomVoiceMessages* voiceMessages() { return voiceMessages_.get(); }
    CVoiceSet* voice() { return voice_.get(); }
    CVideoEngine* videoEngine() { return videoEngine_.get(); }
    CRoomVideo* video() { return video_.get(); }
    // The live settings (bnt_videoOpen2), made once and shown again after.
    CLiveSettingDlg* OpenLiveSettings();
    // The user's settings file and effects applied to the voice, the talk
    // key and the video: at start and whenever the dialog saved them.
    void ApplySettings();
    const CFaceTable& faces() const { return faces_; }

private:
    // The window needs its actions when it is made, the actions need the
    // session, and the session needs the window: the window gets this
    // forwarder, pointed at the actions once they exist.
    class CForwardActions : public IRoomActions {
    public:
        IRoomActions* to = nullptr;
        void EnterRoom(std::uint32_t roomId) override;
        bool SendChat(const IChatInput& input) override;
        void SendPicture(const std::string& path) override;
        BUDDY_HANDLE Buddy() const override;
        std::uint32_t RoomId() const override;
        void CloseWindow() override;
        void PlayVoiceClip(ChatObjectKey key) override;
        void ToggleVoiceMessage() override;
        void ChatCleared() override;
        const CFaceTable* Faces() const override;
        CRoomMic* Mic() const override;
        void ShowUserInfo(std::uint32_t userId) override;
        IModerationActions* Moderation() const override;
        RoomSound Sound() const override;
        CRoomVolumes* Volumes() const override;
        MyChatStyle MyStyle() const override;
        void SetMyStyle(const MyChatStyle& style) override;
        CRoomVideo* Video() const override;
        CAnchorSign* AnchorSign() const override;
        IPurchaseActions* Purchases() const override;
    };

    IRoomAccount& account_;
    CForwardActions forward_;
    std::unique_ptr<CHeadlessView> headless_;
    std::unique_ptr<CRoomUI> window_;
    CFaceTable faces_;
    CRoomHost host_;
    CRoomSessionActions actions_;
    std::unique_ptr<CKitlibStarter> starter_;
    std::unique_ptr<CSerialTransfers> transfers_;
    std::unique_ptr<CRoomChat> chat_;
    std::unique_ptr<CRoomCatalogue> catalogues_;
    std::unique_ptr<CRoomBadges> badges_;
    std::unique_ptr<CEarlyLines> early_;
    std::unique_ptr<CRoomModeration> moderation_;
    std::unique_ptr<CRoomRoles> roles_;
    std::unique_ptr<CAnchorSign> sign_;
    std::unique_ptr<CRoomModerationActions> moderationActions_;
    std::unique_ptr<CRoomPurchases> purchases_;
    std::unique_ptr<IKeyState> keys_;  // the window's talk key; none headless
    std::unique_ptr<CVoiceSet::Options> voiceOptions_;
    // The engine outlives everything that feeds it: the voice path (through
    // the bridge) and the room's video.
    std::unique_ptr<CVideoEngine> videoEngine_;
    std::unique_ptr<CVideoAudioBridge> videoBridge_;
    std::unique_ptr<CRoomVolumes> volumes_;
    // After the volumes it reads and before the microphone that drives it,
    // so it goes first.
    std::unique_ptr<CVoiceSet> voice_;
    // The voice messages' player and recorder need the voice path; the
    // feature goes before both.
    std::unique_ptr<CPlayAudio> player_;
    std::unique_ptr<voice::CVoiceRecorder> recorder_;
    std::unique_ptr<CRoomVoiceMessages> voiceMessages_;
    std::unique_ptr<CVideoMicAudio> micAudio_;
    std::unique_ptr<CRoomMic> mic_;
    std::unique_ptr<CRoomVideo> video_;
    std::unique_ptr<CRoomLiveVideo> liveVideo_;
    QPointer<CLiveSettingDlg> liveSettings_;
    std::unique_ptr<CRoomDirectoryWnd> directory_;
};
