#include "ui/moderation_actions.h"

#include "core/log.h"
#include "platform/buddy/buddy.h"
#include "room/mic/room_mic.h"
#include "room/room_moderation.h"
#include "room/room_session.h"

CRoomModerationActions::CRoomModerationActions(CRoomSession& session, CRoomModeration& moderation,
                                               const IRoleTable& roles, CRoomMic* mic,
                                               const CRoomVolumes* volumes)
    : session_(session), moderation_(moderation), roles_(roles), mic_(mic), volumes_(volumes) {}

std::optional<UserMenuModel> CRoomModerationActions::UserMenu(std::uint32_t userId) {
    UserMenuFacts facts;
    facts.ownsGagCard = moderation_.pack().OwnsCard(kPropGagCard);
    facts.ownsCancelGagCard = moderation_.pack().OwnsCard(kPropCancelGagCard);
    facts.canSetMic = mic_ != nullptr;
    facts.canSetVolume = volumes_ != nullptr;
    return BuildUserMenu(session_, userId, roles_, facts);
}

std::optional<RoomUser> CRoomModerationActions::Member(std::uint32_t userId) const {
    const auto it = session_.users().find(userId);
    if (it == session_.users().end()) return std::nullopt;
    return it->second;
}

void CRoomModerationActions::Gag(std::uint32_t userId, const std::string& reason, std::uint32_t option) {
    moderation_.Gag(userId, reason, option);
}

void CRoomModerationActions::CancelGag(std::uint32_t userId) { moderation_.CancelGag(userId); }

void CRoomModerationActions::Kick(std::uint32_t userId, std::uint32_t seconds, const std::string& reason) {
    moderation_.Kick(userId, seconds, reason);
}

void CRoomModerationActions::SetRole(std::uint32_t userId, std::uint8_t role, std::int64_t days) {
    moderation_.SetPower(userId, role, days);
}

void CRoomModerationActions::UseCard(std::uint32_t userId, std::uint32_t prop) {
    if (prop == kPropGagCard) moderation_.UseGagCard(userId);
    else if (prop == kPropCancelGagCard) moderation_.UseCancelGagCard(userId);
}

void CRoomModerationActions::AddFriend(std::uint32_t userId) {
    const auto user = Member(userId);
    if (!user || !session_.buddy()) return;
    if (!BUDDY_AddFriend(session_.buddy(), userId, user->nickname))
        log_msg("add friend %u fail\r\n", static_cast<unsigned>(userId));
}

void CRoomModerationActions::SetUserMic(std::uint32_t userId) {
    if (mic_) mic_->SetUserMic(userId);
}

void CRoomModerationActions::ChooseRoomMode(int index) { moderation_.ChooseRoomMode(index); }
