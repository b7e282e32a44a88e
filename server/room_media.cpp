// The audio/video connection: video-transfer and media-server logins and
// logouts. They carry no token; a login is bound to the user's chat login
// in that room by the key that login was answered with, and ends with it.
#include "net/catalogue_media.h"
#include "server/password.h"
#include "server/room_handler.h"
#include "server/room_wire.h"

namespace server {

void CRoomHandler::VideoLogin(const SessionPtr& s, const unsigned char* body, std::size_t n) {
    const auto req = wire::decode<msg::Video_Login_Req>(body, n);
    msg::Video_Login_Resp resp;
    resp.room_id = req.room_id;
    std::string why;
    {
        std::lock_guard<std::mutex> g(lock_);
        // The same login again on a connection that has it (a client sends
        // one at room login and one when its connection comes up) already
        // gets the live frames: a second catch-up would replay them.
        auto it = sessions_.find(s->id());
        const bool again = it != sessions_.end() && it->second.video.live() &&
                           it->second.video.user == req.user_id &&
                           it->second.video.room == req.room_id;
        if (MediaLogin(s, videoOf_, &Session::video, req.user_id, req.room_id, req.media_key,
                       why)) {
            // Under the lock: no live frame slips between the answer and the
            // catch-up, which starts at the room's last keyframe.
            SendMsg(s, kRoomVideoChannel, resp.id, resp);
            if (!again && it != sessions_.end()) VideoWelcome(it->second);
            return;
        }
    }
    resp.message = why, resp.code = req.user_id && req.room_id ? room_error::not_logged_in
                                                               : room_error::bad_request;
    SendMsg(s, kRoomVideoChannel, resp.id, resp);
}

void CRoomHandler::MixLogin(const SessionPtr& s, const unsigned char* body, std::size_t n) {
    const auto req = wire::decode<msg::Mix_Login_Req>(body, n);
    msg::Mix_Login_Resp resp;
    std::string why;
    bool ok;
    {
        std::lock_guard<std::mutex> g(lock_);
        ok = MediaLogin(s, mixOf_, &Session::mix, req.user_id, req.room_id, req.media_key, why);
    }
    if (!ok) resp.message = why, resp.code = req.user_id && req.room_id
                                                 ? room_error::not_logged_in
                                                 : room_error::bad_request;
    SendMsg(s, kRoomMixChannel, resp.id, resp);
}

void CRoomHandler::VideoLogout(const SessionPtr& s, const unsigned char* body, std::size_t n) {
    const auto req = wire::decode<msg::Video_Logout_Req>(body, n);
    msg::Video_Logout_Resp resp;
    std::uint32_t code;
    {
        std::lock_guard<std::mutex> g(lock_);
        code = MediaLogout(s, videoOf_, &Session::video, req.user_id, req.room_id);
    }
    if (code) resp.message = kTextOtherUser, resp.code = code;
    SendMsg(s, kRoomVideoChannel, resp.id, resp);
}

void CRoomHandler::MixLogout(const SessionPtr& s, const unsigned char* body, std::size_t n) {
    const auto req = wire::decode<msg::Mix_Logout_Req>(body, n);
    msg::Mix_Logout_Resp resp;
    std::uint32_t code;
    {
        std::lock_guard<std::mutex> g(lock_);
        code = MediaLogout(s, mixOf_, &Session::mix, req.user_id, req.room_id);
    }
    if (code) resp.message = kTextOtherUser, resp.code = code;
    SendMsg(s, kRoomMixChannel, resp.id, resp);
}

bool CRoomHandler::MediaAllowed(std::uint32_t user, std::uint32_t room, std::string_view key) {
    auto c = chatOf_.find(user);
    if (c == chatOf_.end()) return false;
    auto chat = sessions_.find(c->second);
    if (chat == sessions_.end() || chat->second.chat.room != room) return false;
    // Without a token of its own, the media login proves it belongs to the
    // chat login by the key that login was answered with; an address would
    // not tell two users behind one router apart.
    const std::string& expected = chat->second.mediaKey;
    return !expected.empty() && SameSecret(key, expected);
}

bool CRoomHandler::MediaLogin(const SessionPtr& s, Index& index, Binding Session::*which,
                              std::uint32_t user, std::uint32_t room, std::string_view key,
                              std::string& why) {
    auto it = sessions_.find(s->id());
    if (it == sessions_.end()) return false;
    Session& st = it->second;
    if (user == 0 || room == 0) {
        why = kTextBadRequest;
        DropBinding(index, which, st);
        return false;
    }
    if (!MediaAllowed(user, room, key)) {
        why = kTextNotLoggedIn;
        DropBinding(index, which, st);
        return false;
    }
    if ((st.*which).live() && (st.*which).user != user) DropBinding(index, which, st);
    if (auto old = index.find(user); old != index.end() && old->second != s->id()) {
        if (auto o = sessions_.find(old->second); o != sessions_.end())
            DropBinding(index, which, o->second);
    }
    st.*which = {user, room};
    index[user] = s->id();
    return true;
}

std::uint32_t CRoomHandler::MediaLogout(const SessionPtr& s, Index& index,
                                        Binding Session::*which, std::uint32_t user,
                                        std::uint32_t room) {
    auto it = sessions_.find(s->id());
    if (it == sessions_.end()) return 0;
    Session& st = it->second;
    const Binding& b = st.*which;
    if (b.live() && b.user != user) return room_error::bad_request;
    if (b.live() && b.room == room) DropBinding(index, which, st);
    return 0;
}

}  // namespace server
