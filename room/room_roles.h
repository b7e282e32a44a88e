#pragma once
// The room's role table, asked of the role service once when the room
// window starts and replaced by each answer that reads (UM_ROLE_LIST).

#include "room/role_table.h"
#include "room/room_session.h"

class CRoomRoles : public IRoomFeature {
public:
    // Adds itself to the session.
    CRoomRoles(CRoomSession& session, IRoomAccount& account);
    ~CRoomRoles() override;
    CRoomRoles(const CRoomRoles&) = delete;
    CRoomRoles& operator=(const CRoomRoles&) = delete;

    void Request() { account_.RequestRoles(); }
    const CRoleTable& table() const { return table_; }

    bool OnPacket(std::uint32_t, const unsigned char*, std::size_t) override { return false; }
    bool OnWindowMessage(const WindowMessage& m) override;

private:
    CRoomSession& session_;
    IRoomAccount& account_;
    CRoleTable table_;
};
