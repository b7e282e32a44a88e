#include "server/room_handler.h"

#include <algorithm>
#include <tuple>
#include <vector>

#include "core/log.h"
#include "net/catalogue_media.h"
#include "net/catalogue_room.h"
#include "net/commands.h"
#include "net/fields.h"
#include "server/password.h"
#include "server/room_broadcast.h"
#include "server/room_wire.h"

namespace server {

namespace {

constexpr const char* kChatName = "pc_chat";
constexpr const char* kAvName = "pc_av";
constexpr std::uint8_t kChatChannel = kRoomChatChannel;
constexpr std::uint8_t kVideoChannel = kRoomVideoChannel;
constexpr std::uint8_t kMixChannel = kRoomMixChannel;

// Texts the client shows in its tip or login-status label.
constexpr const char* kTextBadToken = "登录令牌无效或已过期，请重新登录";
constexpr const char* kTextNoRoom = "房间不存在";
constexpr const char* kTextTooMany = "操作过于频繁，请稍后再试";
constexpr const char* kTextUnsupported = "服务器暂不支持该请求";
constexpr const char* kTextWrongChannel = "请求发错了通道";
constexpr const char* kTextTooLarge = "登录信息过长";

// A response that carries only the server's text and code.
struct StatusOnly : wire::status {
    static constexpr auto fields() { return std::tuple{}; }
};

template <class Msg>
void Reply(const SessionPtr& s, std::uint8_t channel, const Msg& m) {
    SendMsg(s, channel, Msg::id, m);
}

bool ChannelFits(std::uint8_t channel, std::uint32_t command) {
    const std::uint32_t service = command >> 24;
    switch (channel) {
        case kChatChannel: return service == 0x02 || service == 0x08;
        case kVideoChannel: return service == 0x03;
        case kMixChannel: return service == 0x05;
        default: return false;
    }
}

// The refusal of any request, in the shape of its own response: logins keep
// the room they were for, so a client can tell a refusal from a stale answer.
void Refuse(const SessionPtr& s, std::uint8_t channel, std::uint32_t command,
            const unsigned char* body, std::size_t n, std::uint32_t code, const char* text) {
    switch (command) {
        case cmd::Control_Login_Req: {
            msg::Control_Login_Resp r;
            r.room_id = wire::decode<msg::Control_Login_Req>(body, n).room_id;
            r.message = text, r.code = code;
            return Reply(s, channel, r);
        }
        case cmd::Video_Login_Req: {
            msg::Video_Login_Resp r;
            r.room_id = wire::decode<msg::Video_Login_Req>(body, n).room_id;
            r.message = text, r.code = code;
            return Reply(s, channel, r);
        }
        case cmd::Control_Logout_Req: {
            const auto q = wire::decode<msg::Control_Logout_Req>(body, n);
            msg::Control_Logout_Resp r;
            r.room_id = q.room_id, r.user_id = q.user_id;
            r.message = text, r.code = code;
            return Reply(s, channel, r);
        }
        default: {
            StatusOnly r;
            r.message = text, r.code = code;
            SendMsg(s, channel, command + 1, r);
            return;
        }
    }
}

}  // namespace

CRoomHandler::CRoomHandler(CServerDb& db, CAccountStore& accounts, IClock& clock,
                           RoomLimits limits)
    : db_(db),
      accounts_(accounts),
      clock_(clock),
      limits_(limits),
      requests_(limits.requestsPerSecond, limits.requestBurst),
      media_(limits.mediaPerSecond, limits.mediaBurst) {}

bool CRoomHandler::OnHello(const SessionPtr& s, const std::string& name, std::string& reason) {
    Session st;
    st.s = s;
    if (name == kChatName) st.kind = Kind::chat;
    else if (name == kAvName) st.kind = Kind::av;
    else {
        reason = "unknown connection name '" + name.substr(0, 32) + "'";
        return false;
    }
    std::lock_guard<std::mutex> g(lock_);
    sessions_[s->id()] = std::move(st);
    return true;
}

void CRoomHandler::OnClosed(const SessionPtr& s) {
    std::lock_guard<std::mutex> g(lock_);
    auto it = sessions_.find(s->id());
    if (it == sessions_.end()) return;  // refused at hello
    Session& st = it->second;
    DropChat(st);
    DropBinding(videoOf_, &Session::video, st);
    DropBinding(mixOf_, &Session::mix, st);
    const std::uint64_t key = (1ull << 63) | s->id();
    requests_.Forget(key);
    media_.Forget(key);
    sessions_.erase(it);
    ++ended_;
}

void CRoomHandler::OnPacket(const SessionPtr& s, std::uint8_t channel, std::uint32_t command,
                            const unsigned char* body, std::size_t n) {
    Kind kind;
    bool known = false;
    Ended expired;
    {
        std::lock_guard<std::mutex> g(lock_);
        // Before anything is handled or relayed, so an expired login never
        // sends or hears another line.
        EndExpired(expired);
        auto it = sessions_.find(s->id());
        if (it != sessions_.end()) {
            known = true;
            kind = it->second.kind;
        }
    }
    Finish(expired);
    if (!known) return;
    const bool channelOk = kind == Kind::chat ? channel == kChatChannel
                                              : channel == kVideoChannel || channel == kMixChannel;
    if (!channelOk) {
        // Not a channel of this connection: the client is broken, not busy.
        s->CloseWithError(room_error::wrong_channel, "channel " + std::to_string(channel) +
                                                         " is not served on this connection");
        return;
    }
    const bool media = command == cmd::Video_Data || command == cmd::Mix_Audio_Data;
    if (!Admit(s, channel, command, body, n, media)) return;
    if (!ChannelFits(channel, command)) {
        Refuse(s, channel, command, body, n, room_error::wrong_channel, kTextWrongChannel);
        return;
    }
    switch (command) {
        case cmd::Control_Login_Req: return ControlLogin(s, body, n);
        case cmd::Control_Logout_Req: return ControlLogout(s, body, n);
        case cmd::Control_Get_Room_Info_Req: return RoomInfo(s, body, n);
        case cmd::Control_Send_Chat_Req: return SendChat(s, body, n);
        case cmd::Control_Kick_Req:
        case cmd::Control_Gag_Req:
        case cmd::Control_Cancel_Gag_Req:
        case cmd::Control_Set_Power_Req:
        case cmd::Control_Set_Room_Mode_Req: return Moderate(s, command, body, n);
        case cmd::Control_Open_Mic_Req:
        case cmd::Control_Close_Mic_Req:
        case cmd::Control_Set_User_Mic_Req:
        case cmd::Control_Rob_Wheat_Req:
        case cmd::Control_Put_Wheat_Req:
        case cmd::Control_Control_Wheat_Req:
        case cmd::Control_Disable_Wheat_Req:
        case cmd::Control_Add_WheatTm_Req:
        case cmd::Control_Remove_Wheat_Req:
        case cmd::Control_RemoveAll_Wheat_Req:
        case cmd::Control_Top_Wheat_Req:
        case cmd::Mix_Open_Mic_Req: return Mic(s, channel, command, body, n);
        case cmd::Video_Login_Req: return VideoLogin(s, body, n);
        case cmd::Video_Logout_Req: return VideoLogout(s, body, n);
        case cmd::Mix_Login_Req: return MixLogin(s, body, n);
        case cmd::Mix_Logout_Req: return MixLogout(s, body, n);
        case cmd::Mix_Audio_Data: return Voice(s, body, n);
        case cmd::Video_Data: return Video(s, body, n);
        default:
            Refuse(s, channel, command, body, n, room_error::unsupported, kTextUnsupported);
            return;
    }
}

bool CRoomHandler::Admit(const SessionPtr& s, std::uint8_t channel, std::uint32_t command,
                         const unsigned char* body, std::size_t n, bool media) {
    bool close = false;
    {
        std::lock_guard<std::mutex> g(lock_);
        auto it = sessions_.find(s->id());
        if (it == sessions_.end()) return false;
        Session& st = it->second;
        // One budget per person, whichever connection they use; a session
        // nobody has logged in on yet has its own.
        std::uint64_t key = (1ull << 63) | s->id();
        if (st.chat.live()) key = st.chat.user;
        else if (st.video.live()) key = st.video.user;
        else if (st.mix.live()) key = st.mix.user;
        CRateLimiter& bucket = media ? media_ : requests_;
        if (bucket.Allow(key, clock_.TickMs())) {
            st.refusedInRow = 0;
            return true;
        }
        ++rateRefusals_;
        close = ++st.refusedInRow > limits_.closeAfterRefusals;
    }
    if (close) {
        log_msg("room: session %llu closed for flooding", static_cast<unsigned long long>(s->id()));
        s->CloseWithError(room_error::too_many, "too many requests");
    } else if (!media) {
        Refuse(s, channel, command, body, n, room_error::too_many, kTextTooMany);
    }
    return false;
}

// --- chat channel ---------------------------------------------------------

void CRoomHandler::ControlLogin(const SessionPtr& s, const unsigned char* body, std::size_t n) {
    TLV::body parsed;
    parsed.parse(body, n);
    const auto req = wire::decode<msg::Control_Login_Req>(parsed);
    std::size_t cardBytes = 0;
    parsed.get_raw(6, &cardBytes);
    const std::int64_t now = clock_.Now();

    std::uint32_t code = 0;
    const char* text = nullptr;
    std::optional<RoomRecord> room;
    std::int64_t expiry = 0;
    if (n > kMaxLoginBytes || cardBytes > kMaxCardBytes) {
        // Checked first: nothing of an oversize request is looked up.
        code = room_error::too_large, text = kTextTooLarge;
        log_msg("room: login refused user=%u room=%u: %zu bytes, card %zu bytes", req.user_id,
                req.room_id, n, cardBytes);
    } else if (req.user_id == 0 || req.room_id == 0) {
        code = room_error::bad_request, text = kTextBadRequest;
    } else if (const TokenCheck tc = db_.CheckToken(req.user_id, req.token, now, &expiry);
               tc != TokenCheck::ok) {
        code = room_error::bad_token, text = kTextBadToken;
        log_msg("room: login refused user=%u room=%u: token %s", req.user_id, req.room_id,
                tc == TokenCheck::expired    ? "expired"
                : tc == TokenCheck::no_token ? "not issued"
                                             : "wrong");
    } else if (!(room = db_.RoomById(req.room_id))) {
        code = room_error::no_room, text = kTextNoRoom;
    } else if (db_.KickedUntil(req.room_id, req.user_id, now) != 0) {
        code = room_error::kicked, text = kTextKicked;
    }

    msg::Control_Login_Resp resp;
    resp.room_id = req.room_id;
    if (code) {
        // A refused login ends whatever this session was logged in as.
        {
            std::lock_guard<std::mutex> g(lock_);
            auto it = sessions_.find(s->id());
            if (it != sessions_.end()) DropChat(it->second);
        }
        s->userId = 0;
        resp.message = text, resp.code = code;
        Reply(s, kChatChannel, resp);
        return;
    }

    const std::uint8_t role = db_.RoomRole(req.room_id, req.user_id, now);
    // Who the room sees is the account, not whatever the request claims.
    const auto user = db_.UserById(req.user_id);
    Member me;
    me.session = s->id();
    me.nickname = RoomNickname(user ? user->nickname : std::string(), req.user_id);
    me.role = role;
    me.gagged = db_.IsGagged(req.room_id, req.user_id);
    me.card = CardOf(req.user_id, user ? user->sex : 0, req.card, now);
    me.Encode(req.user_id);  // outside the lock
    const unsigned grade = me.card.wealth_grade, vip = me.card.vip_level;
    std::string mediaKey = NewToken();
    if (mediaKey.empty()) log_err("room: no random source for the media key of user %u", req.user_id);
    SessionPtr displaced;  // the same account's earlier chat session
    bool newcomer = true;
    resp.room_mode = room->mode;
    resp.role = role;
    resp.gagged = me.gagged ? 1 : 0;
    resp.chat_interval = room->chatInterval;
    resp.announcement = room->announcement;
    resp.room_name = room->name;
    resp.chat_font = room->chatFont;
    const std::uint8_t roomMode = room->mode;
    s->userId = req.user_id;
    {
        std::lock_guard<std::mutex> g(lock_);
        auto it = sessions_.find(s->id());
        if (it == sessions_.end()) return;  // closed meanwhile
        Session& st = it->second;
        const bool again = st.chat.live() && st.chat.user == req.user_id &&
                           st.chat.room == req.room_id;
        if (st.chat.live() && !again) DropChat(st);
        // The same login again keeps its key: media logins already sent
        // with it stay good.
        if (again && !st.mediaKey.empty()) mediaKey = st.mediaKey;
        st.mediaKey = mediaKey;
        st.tokenExpiry = expiry;
        nextExpiry_ = std::min(nextExpiry_, expiry);
        // One room presence per account: an earlier chat session of the same
        // account (another place, or the one a reconnect left behind) ends.
        if (auto old = chatOf_.find(req.user_id); old != chatOf_.end() && old->second != s->id()) {
            if (auto o = sessions_.find(old->second); o != sessions_.end()) {
                const bool sameRoom = o->second.chat.room == req.room_id;
                DropChat(o->second, !sameRoom);
                displaced = o->second.s;
            }
        }
        auto& room = members_[req.room_id];
        newcomer = room.count(req.user_id) == 0 || room[req.user_id].session != s->id();
        st.chat = {req.user_id, req.room_id};
        chatOf_[req.user_id] = s->id();
        room[req.user_id] = std::move(me);
        // Still under the lock: a member who logs in meanwhile is told of
        // only after this answer and list are queued, so the list the
        // newcomer starts from never overwrites a later arrival.
        resp.media_key = mediaKey;
        Reply(s, kChatChannel, resp);
        // The newcomer learns who is there (itself included), who holds the
        // anchor microphone and, in mode 4, the queue; the others learn of
        // the newcomer.
        SendUserList(s, room);
        MicWelcome(s, req.room_id, roomMode);
        if (newcomer) {
            const Member& m = room[req.user_id];
            msg::Control_User_Login_Notify join;
            join.user_id = req.user_id;
            join.nickname = m.nickname;
            join.role = role;
            join.gagged = m.gagged ? 1 : 0;
            join.card = m.card;
            Broadcast(req.room_id, req.user_id, join);
        }
    }
    if (displaced) {
        msg::Control_Login_Other_Notify other;
        other.user_id = req.user_id;
        other.kind = 2;
        Reply(displaced, kChatChannel, other);
        displaced->CloseAfterSending();
    }
    log_msg("room: login user=%u room=%u role=%u grade=%u vip=%u", req.user_id, req.room_id, role,
            grade, vip);
    if (newcomer && onEntered_) onEntered_(req.room_id, req.user_id);
}

void CRoomHandler::RoomInfo(const SessionPtr& s, const unsigned char*, std::size_t) {
    std::uint32_t roomId = 0;
    {
        std::lock_guard<std::mutex> g(lock_);
        auto it = sessions_.find(s->id());
        if (it != sessions_.end()) roomId = it->second.chat.room;
    }
    msg::Control_Get_Room_Info_Resp resp;
    const auto room = roomId ? db_.RoomById(roomId) : std::nullopt;
    if (!room) {
        resp.message = kTextNotLoggedIn, resp.code = room_error::not_logged_in;
        return Reply(s, kChatChannel, resp);
    }
    resp.room_id = room->id;
    resp.text2 = room->name;
    resp.text3 = room->announcement;
    resp.text4 = room->description;
    resp.value5 = room->mode;
    resp.value6 = room->chatInterval;
    Reply(s, kChatChannel, resp);
}

void CRoomHandler::ControlLogout(const SessionPtr& s, const unsigned char* body, std::size_t n) {
    const auto req = wire::decode<msg::Control_Logout_Req>(body, n);
    msg::Control_Logout_Resp resp;
    resp.room_id = req.room_id;
    resp.user_id = req.user_id;
    {
        std::lock_guard<std::mutex> g(lock_);
        auto it = sessions_.find(s->id());
        if (it == sessions_.end()) return;
        Session& st = it->second;
        if (st.chat.live() && st.chat.user != req.user_id) {
            resp.message = kTextOtherUser, resp.code = room_error::bad_request;
        } else if (st.chat.live() && st.chat.room == req.room_id) {
            DropChat(st);
        }
        // Not in that room: already logged out, which is what was asked.
    }
    if (resp.ok()) s->userId = 0;
    Reply(s, kChatChannel, resp);
}

// --- bookkeeping (under lock_) ----------------------------------------------

void CRoomHandler::DropBinding(Index& index, Binding Session::*which, Session& st) {
    Binding& b = st.*which;
    if (!b.live()) return;
    if (which == &Session::video) VideoLoginGone(b);
    if (auto i = index.find(b.user); i != index.end() && i->second == st.s->id()) index.erase(i);
    b = {};
}

void CRoomHandler::DropMedia(std::uint32_t user, std::uint32_t room) {
    for (auto [index, which] : {std::pair{&videoOf_, &Session::video}, std::pair{&mixOf_, &Session::mix}}) {
        auto i = index->find(user);
        if (i == index->end()) continue;
        auto o = sessions_.find(i->second);
        if (o == sessions_.end()) {
            index->erase(i);
            continue;
        }
        if ((o->second.*which).room == room) DropBinding(*index, which, o->second);
    }
}

void CRoomHandler::DropChat(Session& st, bool announce) {
    if (!st.chat.live()) return;
    const Binding b = st.chat;
    st.chat = {};
    st.mediaKey.clear();
    if (auto m = members_.find(b.room); m != members_.end()) {
        auto self = m->second.find(b.user);
        // Only the session that holds the membership may end it.
        if (self != m->second.end() && self->second.session == st.s->id()) {
            const std::string nickname = self->second.nickname;
            m->second.erase(self);
            if (announce) {
                msg::Control_User_Logout_Notify bye;
                bye.user_id = b.user;
                bye.text2 = nickname;
                Broadcast(b.room, b.user, bye);
            }
            // Whoever stays hears the microphone and the queue place freed.
            MicLeave(b.room, b.user);
        }
        if (m->second.empty()) members_.erase(m);
    }
    if (auto i = chatOf_.find(b.user); i != chatOf_.end() && i->second == st.s->id()) {
        chatOf_.erase(i);
        // Media logins hang on the chat login they were admitted by.
        DropMedia(b.user, b.room);
    }
}

// --- views -----------------------------------------------------------------

void CRoomHandler::CloseAll() {
    std::vector<SessionPtr> all;
    {
        std::lock_guard<std::mutex> g(lock_);
        for (auto& [id, st] : sessions_) all.push_back(st.s);
    }
    for (auto& s : all) s->Close();
}

std::size_t CRoomHandler::SessionCount() {
    std::lock_guard<std::mutex> g(lock_);
    return sessions_.size();
}

bool CRoomHandler::ChatIn(std::uint32_t user, std::uint32_t room) {
    std::lock_guard<std::mutex> g(lock_);
    auto i = chatOf_.find(user);
    if (i == chatOf_.end()) return false;
    auto o = sessions_.find(i->second);
    return o != sessions_.end() && o->second.chat.room == room;
}

bool CRoomHandler::VideoIn(std::uint32_t user, std::uint32_t room) {
    std::lock_guard<std::mutex> g(lock_);
    auto i = videoOf_.find(user);
    if (i == videoOf_.end()) return false;
    auto o = sessions_.find(i->second);
    return o != sessions_.end() && o->second.video.room == room;
}

bool CRoomHandler::MixIn(std::uint32_t user, std::uint32_t room) {
    std::lock_guard<std::mutex> g(lock_);
    auto i = mixOf_.find(user);
    if (i == mixOf_.end()) return false;
    auto o = sessions_.find(i->second);
    return o != sessions_.end() && o->second.mix.room == room;
}

std::size_t CRoomHandler::MemberCount(std::uint32_t room) {
    std::lock_guard<std::mutex> g(lock_);
    auto m = members_.find(room);
    return m == members_.end() ? 0 : m->second.size();
}

std::unordered_map<std::uint32_t, std::size_t> CRoomHandler::MemberCounts() {
    std::unordered_map<std::uint32_t, std::size_t> out;
    std::lock_guard<std::mutex> g(lock_);
    for (const auto& [room, members] : members_) out[room] = members.size();
    return out;
}

std::uint64_t CRoomHandler::RateRefusals() {
    std::lock_guard<std::mutex> g(lock_);
    return rateRefusals_;
}

}  // namespace server
