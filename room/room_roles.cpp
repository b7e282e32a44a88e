#include "room/room_roles.h"

CRoomRoles::CRoomRoles(CRoomSession& session, CRoleVest& vests, HWND window)
    : session_(session), vests_(vests), window_(window) {
    session_.AddFeature(this);
    session_.SetRoleTable(&vests_);
}

CRoomRoles::~CRoomRoles() {
    vests_.Stop();
    session_.SetRoleTable(nullptr);
    session_.RemoveFeature(this);
}

void CRoomRoles::Request() {
    vests_.LoadAndRefresh(window_, session_.me().userId);
    session_.RefreshVests();  // what the cache knows, until the service answers
}

bool CRoomRoles::OnWindowMessage(const WindowMessage& m) {
    if (m.msg != UM_ROLE_VESTS_DONE) return false;
    if (vests_.TakeNewList()) session_.RefreshVests();
    return true;
}
