#pragma once
// Catalogue messages onto relay sessions, for the room handler's files.

#include <cstdint>
#include <string_view>

#include "core/log.h"
#include "net/fields.h"
#include "server/relay_session.h"

namespace server {

inline constexpr std::uint8_t kRoomChatChannel = 1;
inline constexpr std::uint8_t kRoomVideoChannel = 2;
inline constexpr std::uint8_t kRoomMixChannel = 3;

// Texts the client shows in its tip or login-status label, used by more
// than one of the handler's files.
inline constexpr const char* kTextBadRequest = "请求缺少用户或房间";
inline constexpr const char* kTextOtherUser = "用户与登录不符";
inline constexpr const char* kTextNotLoggedIn = "请先登录频道";
inline constexpr const char* kTextKicked = "你已被踢出该房间，暂时不能进入";

// Encodes and sends; false (and logged) when a field does not fit, which the
// caps on what members bring along keep from happening.
// A message encoded once for many receivers; null when it does not fit.
template <class Msg>
SharedPacket Pack(std::uint8_t channel, const Msg& m) {
    TLV::body b;
    if (!wire::write_fields(b, m)) {
        log_err("room: message 0x%X does not fit its fields", Msg::id);
        return nullptr;
    }
    const unsigned char* bytes = nullptr;
    std::size_t n = 0;
    b.encode(bytes, n);
    return CSharedPacket::Make(channel, Msg::id,
                               std::string_view(reinterpret_cast<const char*>(bytes), n));
}

template <class Msg>
bool SendMsg(const SessionPtr& s, std::uint8_t channel, std::uint32_t id, const Msg& m) {
    TLV::body b;
    if (!wire::write_fields(b, m)) {
        log_err("room: response 0x%X does not fit its fields", id);
        return false;
    }
    const unsigned char* bytes = nullptr;
    std::size_t n = 0;
    b.encode(bytes, n);
    s->Send(channel, id, std::string_view(reinterpret_cast<const char*>(bytes), n));
    return true;
}

}  // namespace server
