#pragma once
// What the user menu, its dialogs and the room-mode selector ask of the
// room, and the room's side of it: the menu's model from the session, the
// role table, my pack and the microphone; each choice goes to the feature
// that checks and sends it.

#include <cstdint>
#include <optional>
#include <string>

#include "room/role_table.h"
#include "room/room_user.h"
#include "room/user_menu.h"

class CRoomMic;
class CRoomModeration;
class CRoomSession;
class CRoomVolumes;

class IModerationActions {
public:
    virtual ~IModerationActions() = default;
    // The menu for a user of the room; none when the user is not in it.
    virtual std::optional<UserMenuModel> UserMenu(std::uint32_t userId) = 0;
    // A user of the room as now; none once the user has left.
    virtual std::optional<RoomUser> Member(std::uint32_t userId) const = 0;
    virtual void Gag(std::uint32_t userId, const std::string& reason, std::uint32_t option) = 0;
    virtual void CancelGag(std::uint32_t userId) = 0;
    virtual void Kick(std::uint32_t userId, std::uint32_t seconds, const std::string& reason) = 0;
    virtual void SetRole(std::uint32_t userId, std::uint8_t role, std::int64_t days) = 0;
    // A gag (prop 100) or cancel-gag (prop 10) card of my pack.
    virtual void UseCard(std::uint32_t userId, std::uint32_t prop) = 0;
    virtual void AddFriend(std::uint32_t userId) = 0;
    // "Menu_Set_MIC": the anchor microphone given to the user.
    virtual void SetUserMic(std::uint32_t userId) = 0;
    // The room-mode selector's entry the person picked.
    virtual void ChooseRoomMode(int index) = 0;
};

class CRoomModerationActions : public IModerationActions {
public:
    // `mic` and `volumes` may be null: the menu's microphone or volume entry
    // is then disabled.
    CRoomModerationActions(CRoomSession& session, CRoomModeration& moderation, const IRoleTable& roles,
                           CRoomMic* mic, const CRoomVolumes* volumes = nullptr);

    std::optional<UserMenuModel> UserMenu(std::uint32_t userId) override;
    std::optional<RoomUser> Member(std::uint32_t userId) const override;
    void Gag(std::uint32_t userId, const std::string& reason, std::uint32_t option) override;
    void CancelGag(std::uint32_t userId) override;
    void Kick(std::uint32_t userId, std::uint32_t seconds, const std::string& reason) override;
    void SetRole(std::uint32_t userId, std::uint8_t role, std::int64_t days) override;
    void UseCard(std::uint32_t userId, std::uint32_t prop) override;
    void AddFriend(std::uint32_t userId) override;
    void SetUserMic(std::uint32_t userId) override;
    void ChooseRoomMode(int index) override;

private:
    CRoomSession& session_;
    CRoomModeration& moderation_;
    const IRoleTable& roles_;
    CRoomMic* mic_;
    const CRoomVolumes* volumes_;
};
