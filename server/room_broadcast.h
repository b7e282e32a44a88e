#pragma once
// Telling a whole room, for the room handler's files: one frame for all.

#include "server/room_handler.h"
#include "server/room_wire.h"

namespace server {

// Under lock_. Encoded once and shared; sending only queues on each
// session (the writing is the session's own), so the lock is held briefly
// and the room hears its notices in the order they were decided.
template <class Msg>
void CRoomHandler::Broadcast(std::uint32_t room, std::uint32_t except, const Msg& m) {
    auto r = members_.find(room);
    if (r == members_.end()) return;
    const SharedPacket packet = Pack(kRoomChatChannel, m);
    if (!packet) return;
    for (const auto& [id, member] : r->second) {
        if (id == except) continue;
        auto o = sessions_.find(member.session);
        if (o != sessions_.end()) o->second.s->Send(packet);
    }
}

template <class Msg>
void CRoomHandler::ToAll(std::uint32_t room, const Msg& note) {
    Broadcast(room, 0, note);  // no member has id 0
}

}  // namespace server
