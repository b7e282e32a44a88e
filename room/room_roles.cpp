#include "room/room_roles.h"

#include "core/log.h"
#include "platform/kitlib/kitlib.h"

CRoomRoles::CRoomRoles(CRoomSession& session, IRoomAccount& account) : session_(session), account_(account) {
    session_.AddFeature(this);
}

CRoomRoles::~CRoomRoles() { session_.RemoveFeature(this); }

bool CRoomRoles::OnWindowMessage(const WindowMessage& m) {
    if (m.msg != UM_ROLE_LIST) return false;
    // The HTTP helper's answer; without one the request failed and the
    // roles known so far stay.
    if (const auto* a = m.As<KitlibAnswer>())
        table_.LoadAnswer(std::string_view(reinterpret_cast<const char*>(a->bytes.data()), a->bytes.size()));
    else
        log_msg("role list request fail\r\n");
    return true;
}
