#pragma once
// The room window's actions carried out by the room session and its chat.

#include <functional>

#include "room/room_chat.h"
#include "room/room_session.h"
#include "ui/room_ui.h"

class CVoiceSet;
class CRoomVoiceMessages;

class CRoomSessionActions : public IRoomActions {
public:
    // `chat` and `faces` may be null (no chat yet: nothing is sent, the
    // face button stays disabled). `onClose` runs for the close button;
    // without it the session leaves the room (CRoomSession::OnWindowClose).
    CRoomSessionActions(CRoomSession& session, CRoomChat* chat, const CFaceTable* faces,
                        std::function<void()> onClose = {});

    void SetChat(CRoomChat* chat) { chat_ = chat; }
    void SetMic(CRoomMic* mic) { mic_ = mic; }
    void SetModeration(IModerationActions* m) { moderation_ = m; }
    void SetVoice(CVoiceSet* voice) { voice_ = voice; }
    void SetVolumes(CRoomVolumes* volumes) { volumes_ = volumes; }
    void SetVideo(CRoomVideo* video) { video_ = video; }
    void SetAnchorSign(CAnchorSign* sign) { sign_ = sign; }
    void SetPurchases(IPurchaseActions* purchases) { purchases_ = purchases; }
    void SetVoiceMessages(CRoomVoiceMessages* v) { voiceMessages_ = v; }

    void EnterRoom(std::uint32_t roomId) override;
    bool SendChat(const IChatInput& input) override;
    void SendPicture(const std::string& path) override;
    BUDDY_HANDLE Buddy() const override;
    std::uint32_t RoomId() const override;
    void CloseWindow() override;
    void PlayVoiceClip(ChatObjectKey key) override;
    void ToggleVoiceMessage() override;
    void ChatCleared() override;
    const CFaceTable* Faces() const override { return faces_; }
    CRoomMic* Mic() const override { return mic_; }
    void ShowUserInfo(std::uint32_t userId) override;
    IModerationActions* Moderation() const override { return moderation_; }
    RoomSound Sound() const override;
    CRoomVolumes* Volumes() const override { return volumes_; }
    CRoomVideo* Video() const override { return video_; }
    CAnchorSign* AnchorSign() const override { return sign_; }
    IPurchaseActions* Purchases() const override { return purchases_; }
    MyChatStyle MyStyle() const override;
    void SetMyStyle(const MyChatStyle& style) override;

private:
    CRoomSession& session_;
    CRoomChat* chat_;
    CRoomMic* mic_ = nullptr;
    IModerationActions* moderation_ = nullptr;
    CVoiceSet* voice_ = nullptr;
    CRoomVolumes* volumes_ = nullptr;
    CRoomVideo* video_ = nullptr;
    CAnchorSign* sign_ = nullptr;
    IPurchaseActions* purchases_ = nullptr;
    CRoomVoiceMessages* voiceMessages_ = nullptr;
    const CFaceTable* faces_;
    std::function<void()> onClose_;
};
