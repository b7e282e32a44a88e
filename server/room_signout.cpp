// Ending a user's relay sessions from outside the relay: signing out, and
// the expiry of the token a chat login was made with. The client hears what
// it hears when its account signs in elsewhere, leaves the room and does not
// log in again on its own.
#include <algorithm>
#include <cstdint>

#include "core/log.h"
#include "net/catalogue_room.h"
#include "server/room_handler.h"
#include "server/room_wire.h"

namespace server {

void CRoomHandler::EndUserSessions(std::uint32_t user) {
    if (user == 0) return;
    Ended ended;
    {
        std::lock_guard<std::mutex> g(lock_);
        EndUser(user, ended);
    }
    Finish(ended);
    if (!ended.chat.empty() || !ended.av.empty())
        log_msg("room: sessions of user %u ended (%zu chat, %zu av)", user, ended.chat.size(),
                ended.av.size());
}

void CRoomHandler::EndUser(std::uint32_t user, Ended& ended) {
    // Found first: ending the chat login drops the media bindings, and the
    // connections that held them must still be closed.
    std::vector<Session*> chat, av;
    for (auto& [id, st] : sessions_) {
        if (st.chat.live() && st.chat.user == user) chat.push_back(&st);
        if ((st.video.live() && st.video.user == user) || (st.mix.live() && st.mix.user == user))
            av.push_back(&st);
    }
    for (Session* st : av) {
        if (st->video.user == user) DropBinding(videoOf_, &Session::video, *st);
        if (st->mix.user == user) DropBinding(mixOf_, &Session::mix, *st);
        ended.av.push_back(st->s);
    }
    for (Session* st : chat) {
        DropChat(*st);
        st->s->userId = 0;
        ended.chat.emplace_back(st->s, user);
    }
}

void CRoomHandler::EndExpired(Ended& ended) {
    const std::int64_t now = clock_.Now();
    if (now < nextExpiry_) return;
    std::vector<std::uint32_t> users;
    std::int64_t next = INT64_MAX;
    for (const auto& [id, st] : sessions_) {
        if (!st.chat.live()) continue;
        if (st.tokenExpiry <= now) users.push_back(st.chat.user);
        else next = std::min(next, st.tokenExpiry);
    }
    nextExpiry_ = next;
    for (std::uint32_t user : users) {
        log_msg("room: token of user %u expired, sessions ended", user);
        EndUser(user, ended);
    }
}

void CRoomHandler::Finish(const Ended& ended) {
    for (const auto& [s, user] : ended.chat) {
        msg::Control_Login_Other_Notify note;
        note.user_id = user;
        note.kind = 2;  // the client leaves the room and logs in no more
        SendMsg(s, kRoomChatChannel, note.id, note);
        s->CloseAfterSending();
    }
    for (const SessionPtr& s : ended.av) s->CloseAfterSending();
}

}  // namespace server
