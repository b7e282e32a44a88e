#include "ui/room_actions.h"

#include "core/log.h"
#include "room/mic/voice_set.h"
#include "room/voice_message/room_voice_messages.h"

CRoomSessionActions::CRoomSessionActions(CRoomSession& session, CRoomChat* chat, const CFaceTable* faces,
                                         std::function<void()> onClose)
    : session_(session), chat_(chat), faces_(faces), onClose_(std::move(onClose)) {}

void CRoomSessionActions::EnterRoom(std::uint32_t roomId) {
    // The room the user is in already is entered again (a fresh login).
    if (roomId != 0) session_.EnterRoom(roomId);
}

bool CRoomSessionActions::SendChat(const IChatInput& input) {
    return chat_ && chat_->SendInput(input) == CRoomChat::SendResult::sent;
}

void CRoomSessionActions::SendPicture(const std::string& path) {
    if (chat_) chat_->SendPicture(path);
}

BUDDY_HANDLE CRoomSessionActions::Buddy() const { return session_.buddy(); }

std::uint32_t CRoomSessionActions::RoomId() const { return session_.roomId(); }

void CRoomSessionActions::CloseWindow() {
    if (onClose_) onClose_();
    else session_.OnWindowClose();
}

void CRoomSessionActions::PlayVoiceClip(ChatObjectKey key) {
    if (voiceMessages_) voiceMessages_->PlayClip(key);
}

void CRoomSessionActions::ToggleVoiceMessage() {
    if (voiceMessages_) voiceMessages_->ToggleRecording();
}

void CRoomSessionActions::ChatCleared() {
    if (chat_) chat_->pictures().Clear();
}

void CRoomSessionActions::ShowUserInfo(std::uint32_t userId) {
    if (userId != 0) session_.account().ShowUserInfo(userId);
}

RoomSound CRoomSessionActions::Sound() const {
    if (!voice_) return {};
    return {&voice_->mixer(), voice_->micDevice(), voice_->speakerDevice()};
}

MyChatStyle CRoomSessionActions::MyStyle() const {
    if (!chat_) return {};
    return MyChatStyle{chat_->myColour(), chat_->myFont()};
}

void CRoomSessionActions::SetMyStyle(const MyChatStyle& style) {
    if (!chat_) return;
    chat_->SetMyStyle(style.colour, style.font);
    const std::string file = MyChatStyleFile(session_.myUserId());
    if (!WriteMyChatStyle(file, style)) log_msg("chat style not kept in %s\r\n", file.c_str());
}
