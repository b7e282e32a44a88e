#pragma once
// The room's one role table, CRoleVest: the cache at once when the room
// window starts, the role service's list when its pictures are in
// (UM_ROLE_VESTS_DONE, taken on this thread), and each user's vest drawn
// from it.

#include "core/message.h"
#include "room/role_vest.h"
#include "room/room_session.h"

class CRoomRoles : public IRoomFeature {
public:
    // Adds itself to the session and gives it the table for the vests.
    CRoomRoles(CRoomSession& session, CRoleVest& vests, HWND window);
    // Stops the vests' request and worker: they report to this window.
    ~CRoomRoles() override;
    CRoomRoles(const CRoomRoles&) = delete;
    CRoomRoles& operator=(const CRoomRoles&) = delete;

    // At the room window's start.
    void Request();
    const IRoleTable& table() const { return vests_; }

    bool OnPacket(std::uint32_t, const unsigned char*, std::size_t) override { return false; }
    bool OnWindowMessage(const WindowMessage& m) override;

private:
    CRoomSession& session_;
    CRoleVest& vests_;
    HWND window_;
};
