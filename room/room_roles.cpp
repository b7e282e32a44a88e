#include "room/room_roles.h"

CRoomRoles::CRoomRoles(CRoomSession& session, CRoleVest& vests, HWND window)
    : session_(session), vests_(vests), window_(window) {
    session_.AddFeature(this);
}

CRoomRoles::~CRoomRoles() {
    vests_.Stop();
    session_.RemoveFeature(this);
}

void CRoomRoles::Request() {
    vests_.LoadAndRefresh(window_, session_.me().userId);
    session_.RedecorateUsers();  // what the cache knows, until the service answers
}

void CRoomRoles::DecorateUser(RoomUser& u) {
    u.vestIcon = u.role <= 255 ? vests_.VestPicture(static_cast<std::uint8_t>(u.role), u.cardValue3)
                               : std::string();
}

bool CRoomRoles::OnWindowMessage(const WindowMessage& m) {
    if (m.msg != UM_ROLE_VESTS_DONE) return false;
    if (vests_.TakeNewList()) session_.RedecorateUsers();
    return true;
}
