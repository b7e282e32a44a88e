// Pushed data: system texts and pictures that the service sends to a whole
// room. Who may push is decided by the caller (the room service's admin
// endpoint); this only delivers.
#include <vector>

#include "core/log.h"
#include "net/catalogue_chat.h"
#include "server/room_handler.h"

namespace server {

std::optional<std::size_t> CRoomHandler::PushToRoom(std::uint32_t room, int type,
                                                    std::string_view payload) {
    const std::string text = msg::push_data_text(type, payload);
    if (text.empty()) return std::nullopt;
    msg::Control_Push_Data_Notify note;
    note.json = wire::bytes(reinterpret_cast<const unsigned char*>(text.data()), text.size());
    TLV::body b;
    if (!wire::write_fields(b, note)) return std::nullopt;
    const unsigned char* bytes = nullptr;
    std::size_t n = 0;
    b.encode(bytes, n);
    const std::string body(reinterpret_cast<const char*>(bytes), n);

    // Sessions are collected under the lock and written to outside it, as
    // the chat relay does: a slow peer must not hold up the room.
    std::vector<SessionPtr> to;
    Ended expired;
    {
        std::lock_guard<std::mutex> g(lock_);
        EndExpired(expired);  // an expired login hears nothing more
        if (auto r = members_.find(room); r != members_.end())
            for (const auto& [id, m] : r->second)
                if (auto o = sessions_.find(m.session); o != sessions_.end()) to.push_back(o->second.s);
    }
    Finish(expired);
    std::size_t sent = 0;
    const SharedPacket packet = CSharedPacket::Make(1, msg::Control_Push_Data_Notify::id, body);
    for (const SessionPtr& s : to)
        if (s->Send(packet)) ++sent;
    log_msg("room: push type %d to room %u, %zu members", type, room, sent);
    return sent;
}

}  // namespace server
