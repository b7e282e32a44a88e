// The anchor microphone and the mic queue. Every power is checked here; the
// client's own checks are a courtesy. The slot, the queue and its two
// switches live in memory beside the memberships and end with them; only a
// room's turn length is stored.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "core/log.h"
#include "net/catalogue_media.h"
#include "net/catalogue_mic.h"
#include "net/catalogue_room.h"
#include "net/commands.h"
#include "net/fields.h"
#include "net/power.h"
#include "server/room_handler.h"
#include "server/room_broadcast.h"
#include "server/room_wire.h"

namespace server {

namespace {

constexpr std::size_t kMaxQueue = 100;
constexpr std::int64_t kMaxTurn = 65535;  // what the list's 16-bit countdown can show
constexpr std::uint32_t kDefaultTurn = 300;

constexpr const char* kTextNoPower = "无权限!";
constexpr const char* kTextNotInRoom = "对方不在房间";
constexpr const char* kTextBadValue = "请求的参数不正确";
constexpr const char* kTextTaken = "麦克风已被占用";
constexpr const char* kTextWrongMode = "房间该模式下不能进行该操作";
constexpr const char* kTextForbidden = "当前禁止排麦";
constexpr const char* kTextNotQueued = "不在麦序中或未轮到";
constexpr const char* kTextAlreadyQueued = "已在麦序中";
constexpr const char* kTextFull = "麦序已满";
constexpr const char* kTextVoicesFull = "同时说话的人数已满，请稍后";

using msg::Control_Top_Wheat_Resp;

const char* TextOf(std::uint32_t code) {
    switch (code) {
        case room_error::bad_request: return kTextBadRequest;
        case room_error::not_logged_in: return kTextNotLoggedIn;
        case room_error::no_power: return kTextNoPower;
        case room_error::not_in_room: return kTextNotInRoom;
        case room_error::already: return kTextAlreadyQueued;
        case room_error::mic_taken: return kTextTaken;
        case room_error::wrong_mode: return kTextWrongMode;
        case room_error::queue_closed: return kTextForbidden;
        case room_error::not_queued: return kTextNotQueued;
        case room_error::queue_full: return kTextFull;
        case room_error::voices_full: return kTextVoicesFull;
        default: return kTextBadValue;
    }
}

// The response of the request. `a` and `b` are what it carries: the holder
// for the anchor request, the user and switch value for the others.
void Answer(const SessionPtr& s, std::uint32_t command, std::uint32_t code, std::uint32_t a = 0,
            std::uint32_t b = 0, std::uint32_t c = 0) {
    const auto send = [&](auto r, std::uint8_t channel = kRoomChatChannel) {
        if (code) r.message = TextOf(code), r.code = code;
        SendMsg(s, channel, r.id, r);
    };
    switch (command) {
        case cmd::Control_Open_Mic_Req: {
            msg::Control_Open_Mic_Resp r;
            r.user_id = a;
            return send(r);
        }
        case cmd::Control_Close_Mic_Req: return send(msg::Control_Close_Mic_Resp{});
        case cmd::Control_Set_User_Mic_Req: {
            msg::Control_Set_User_Mic_Resp r;
            r.user_id = a, r.value = b;
            return send(r);
        }
        case cmd::Control_Rob_Wheat_Req: {
            msg::Control_Rob_Wheat_Resp r;
            r.user_id = a;
            return send(r);
        }
        case cmd::Control_Put_Wheat_Req: {
            msg::Control_Put_Wheat_Resp r;
            r.user_id = a;
            return send(r);
        }
        case cmd::Control_Control_Wheat_Req: {
            msg::Control_Control_Wheat_Resp r;
            r.user_id = a, r.value = b;
            return send(r);
        }
        case cmd::Control_Disable_Wheat_Req: {
            msg::Control_Disable_Wheat_Resp r;
            r.user_id = a, r.value = b;
            return send(r);
        }
        case cmd::Control_Add_WheatTm_Req: return send(msg::Control_Add_WheatTm_Resp{});
        case cmd::Control_Remove_Wheat_Req: {
            msg::Control_Remove_Wheat_Resp r;
            r.user_id = a;
            return send(r);
        }
        case cmd::Control_RemoveAll_Wheat_Req: return send(msg::Control_RemoveAll_Wheat_Resp{});
        case cmd::Control_Top_Wheat_Req: return send(Control_Top_Wheat_Resp{});
        case cmd::Mix_Open_Mic_Req: {
            msg::Mix_Open_Mic_Resp r;
            r.user_id = a, r.room_id = b, r.value3 = c;
            return send(r, kRoomMixChannel);
        }
    }
}

// Where tag 1 or 2 is "my user id", and where a room id comes with it.
int ClaimTag(std::uint32_t command) {
    switch (command) {
        case cmd::Control_Open_Mic_Req:
        case cmd::Control_Close_Mic_Req: return 2;
        case cmd::Control_Set_User_Mic_Req:
        case cmd::Control_Rob_Wheat_Req:
        case cmd::Control_Put_Wheat_Req:
        case cmd::Control_Control_Wheat_Req:
        case cmd::Control_Disable_Wheat_Req:
        case cmd::Mix_Open_Mic_Req: return 1;
        default: return 0;  // top, add time, remove name the target; remove all names nobody
    }
}
int RoomTag(std::uint32_t command) {
    switch (command) {
        case cmd::Control_Open_Mic_Req:
        case cmd::Control_Close_Mic_Req: return 1;
        case cmd::Mix_Open_Mic_Req: return 2;
        default: return 0;
    }
}

}  // namespace

void CRoomHandler::Mic(const SessionPtr& s, std::uint8_t, std::uint32_t command,
                       const unsigned char* body, std::size_t n) {
    TLV::body b;
    b.parse(body, n);
    bool wide = false;
    const auto num = [&](unsigned char tag) -> std::uint32_t {
        const std::uint64_t v = b.has(tag) ? b.get_int(tag) : 0;
        if (v > UINT32_MAX) wide = true;
        return static_cast<std::uint32_t>(v);
    };
    const std::uint32_t t1 = num(1), t2 = num(2), t3 = num(3);
    const std::uint32_t tags[] = {0, t1, t2, t3};
    const bool media = command == cmd::Mix_Open_Mic_Req;

    std::lock_guard<std::mutex> g(lock_);
    // Who asks, as this server knows them: the chat login, or for the media
    // channel the media-server login (bound to that chat login).
    std::uint32_t room = 0, me = 0;
    std::uint8_t myRole = 0;
    if (auto it = sessions_.find(s->id()); it != sessions_.end()) {
        const Binding bind = media ? it->second.mix : it->second.chat;
        if (auto r = members_.find(bind.room); bind.live() && r != members_.end())
            if (auto m = r->second.find(bind.user); m != r->second.end() &&
                                                    (media || m->second.session == s->id())) {
                room = bind.room, me = bind.user, myRole = m->second.role;
            }
    }
    const auto refuse = [&](std::uint32_t code) {
        // The refusal carries what was asked, as the answer would.
        const bool valued = command == cmd::Control_Set_User_Mic_Req ||
                            command == cmd::Control_Control_Wheat_Req ||
                            command == cmd::Control_Disable_Wheat_Req;
        Answer(s, command, code, command == cmd::Control_Remove_Wheat_Req ? t1 : me,
               valued ? t2 : 0);
    };
    if (room == 0) return refuse(room_error::not_logged_in);
    if (const int tag = ClaimTag(command); tag && tags[tag] != me)
        return refuse(room_error::bad_request);
    if (const int tag = RoomTag(command); tag && tags[tag] != room)
        return refuse(room_error::bad_request);
    if (wide) return refuse(room_error::bad_value);

    const auto record = db_.RoomById(room);
    const std::uint8_t mode = record ? record->mode : 1;
    const std::int64_t now = clock_.Now();
    MicState& m = mic_[room];
    const auto placeOf = [&](std::uint32_t user) {
        return std::find_if(m.queue.begin(), m.queue.end(),
                            [&](const QueueEntry& e) { return e.user == user; });
    };
    // The target of top, add time, remove and set user mic: a member, over
    // whose role the actor must hold the power to manage microphones.
    const auto targetCheck = [&](std::uint32_t target, std::uint8_t& role) -> std::uint32_t {
        if (target == 0) return room_error::bad_request;
        auto r = members_.find(room);
        auto t = r->second.find(target);
        if (t == r->second.end()) return room_error::not_in_room;
        role = t->second.role;
        if (!RoleHasPowerOver(myRole, role, kPowerManageMic)) return room_error::no_power;
        return 0;
    };

    switch (command) {
        case cmd::Control_Open_Mic_Req: {
            if (!RoleHasPower(myRole, power_id::open_mic)) return refuse(room_error::no_power);
            // Taken: the answer names the holder, which the client shows.
            if (m.anchor && m.anchor != me) return Answer(s, command, 0, m.anchor);
            // A listener hears two voices at most.
            if (m.anchor != me && m.VoicesBesides(me) >= 2) return refuse(room_error::voices_full);
            const bool changed = m.anchor != me;
            m.anchor = me;
            Answer(s, command, 0, 0);
            if (changed) SendAnchor(room);
            log_msg("room: user %u holds the anchor microphone of room %u", me, room);
            return;
        }
        case cmd::Control_Close_Mic_Req: {
            Answer(s, command, 0);
            if (m.anchor == me) {
                m.anchor = 0;
                SendAnchor(room);
                log_msg("room: user %u left the anchor microphone of room %u", me, room);
            }
            return;
        }
        case cmd::Control_Set_User_Mic_Req: {
            std::uint8_t role = 0;
            if (const auto code = targetCheck(t2, role)) return refuse(code);
            if (!RoleHasPower(role, power_id::open_mic)) return refuse(room_error::no_power);
            if (m.anchor) return refuse(room_error::mic_taken);
            if (m.VoicesBesides(t2) >= 2) return refuse(room_error::voices_full);
            m.anchor = t2;
            Answer(s, command, 0, me, t2);
            const Member& target = members_[room][t2];
            if (auto o = sessions_.find(target.session); o != sessions_.end()) {
                msg::Control_Open_Mic_Resp granted;  // tag 3 = 0: it is yours
                SendMsg(o->second.s, kRoomChatChannel, granted.id, granted);
            }
            SendAnchor(room);
            log_msg("room: user %u gave the anchor microphone of room %u to user %u", me, room, t2);
            return;
        }
        case cmd::Mix_Open_Mic_Req: {
            if (t3 > 1) return refuse(room_error::bad_value);
            if (t3 == 1) {
                if (m.anchor != me) return refuse(room_error::no_power);
            } else {
                switch (mode) {
                    case 1:
                        if (!RoleHasPower(myRole, power_id::mic_in_mode_1))
                            return refuse(room_error::no_power);
                        break;
                    case 2:
                        if (!RoleHasPower(myRole, power_id::mic_in_mode_2))
                            return refuse(room_error::no_power);
                        break;
                    case 4:
                        if (!RoleHasPower(myRole, power_id::mic_in_mode_4))
                            return refuse(room_error::no_power);
                        if (m.queue.empty() || m.queue.front().user != me)
                            return refuse(room_error::not_queued);
                        break;
                    default: return refuse(room_error::wrong_mode);
                }
                if (!m.freeTurns.count(me) && m.VoicesBesides(me) >= 2)
                    return refuse(room_error::voices_full);
                m.freeTurns[me] = clock_.TickMs();
            }
            return Answer(s, command, 0, me, room, t3);
        }
        case cmd::Control_Rob_Wheat_Req: {
            if (mode != 4) return refuse(room_error::wrong_mode);
            if (!RoleHasPower(myRole, power_id::mic_in_mode_4)) return refuse(room_error::no_power);
            if (m.forbidden) return refuse(room_error::queue_closed);
            if (placeOf(me) != m.queue.end()) return refuse(room_error::already);
            if (m.queue.size() >= kMaxQueue) return refuse(room_error::queue_full);
            m.queue.push_back({me, 0});
            if (m.queue.size() == 1) StartTurn(room, m, now);
            Answer(s, command, 0, me);
            SendQueue(room);
            return;
        }
        case cmd::Control_Put_Wheat_Req: {
            Answer(s, command, 0, me);
            const auto at = placeOf(me);
            if (at == m.queue.end()) return;
            const bool head = at == m.queue.begin();
            m.queue.erase(at);
            if (head) StartTurn(room, m, now);
            SendQueue(room);
            return;
        }
        case cmd::Control_Control_Wheat_Req:
        case cmd::Control_Disable_Wheat_Req:
        case cmd::Control_RemoveAll_Wheat_Req: {
            if (!RoleHasPower(myRole, kPowerManageMic)) return refuse(room_error::no_power);
            if (command == cmd::Control_RemoveAll_Wheat_Req) {
                const bool had = !m.queue.empty();
                m.queue.clear();
                Answer(s, command, 0);
                if (had) SendQueue(room);
                log_msg("room: user %u emptied the mic queue of room %u", me, room);
                return;
            }
            if (t2 > 1) return refuse(room_error::bad_value);
            const bool on = t2 == 1;
            bool& flag = command == cmd::Control_Control_Wheat_Req ? m.controlled : m.forbidden;
            const bool changed = flag != on;
            flag = on;
            // Released from control, the head starts a fresh turn.
            if (changed && command == cmd::Control_Control_Wheat_Req && !on) StartTurn(room, m, now);
            Answer(s, command, 0, me, t2);
            if (changed) SendQueue(room);
            return;
        }
        case cmd::Control_Top_Wheat_Req:
        case cmd::Control_Add_WheatTm_Req:
        case cmd::Control_Remove_Wheat_Req: {
            std::uint8_t role = 0;
            if (const auto code = targetCheck(t1, role)) return refuse(code);
            const auto at = placeOf(t1);
            if (at == m.queue.end()) return refuse(room_error::not_queued);
            const std::uint32_t turn = record ? record->micTurnSeconds : kDefaultTurn;
            if (command == cmd::Control_Top_Wheat_Req) {
                QueueEntry e = *at;
                m.queue.erase(at);
                e.bonus = 0;
                m.queue.insert(m.queue.begin(), e);
                StartTurn(room, m, now);
            } else if (command == cmd::Control_Add_WheatTm_Req) {
                if (at == m.queue.begin() && !m.controlled)
                    m.headUntil = std::min<std::int64_t>(m.headUntil + turn, now + kMaxTurn);
                else
                    at->bonus = static_cast<std::uint32_t>(
                        std::min<std::int64_t>(std::int64_t{at->bonus} + turn, kMaxTurn - turn));
            } else {
                const bool head = at == m.queue.begin();
                m.queue.erase(at);
                if (head) StartTurn(room, m, now);
            }
            Answer(s, command, 0, t1);
            SendQueue(room);
            return;
        }
    }
}

void CRoomHandler::StartTurn(std::uint32_t room, MicState& m, std::int64_t now) {
    // The turn passes: a free turn was only ever the head's.
    const std::uint32_t head = m.queue.empty() ? 0 : m.queue.front().user;
    std::erase_if(m.freeTurns, [head](const auto& t) { return t.first != head; });
    if (m.queue.empty()) return;
    const auto record = db_.RoomById(room);
    const std::int64_t turn = record ? record->micTurnSeconds : kDefaultTurn;
    m.headUntil = now + std::min(turn + m.queue.front().bonus, kMaxTurn);
    m.queue.front().bonus = 0;
}

void CRoomHandler::SendQueue(std::uint32_t room) {
    const MicState& m = mic_[room];
    msg::Control_Wheat_List_Notify note;
    if (!m.queue.empty() && !m.controlled)
        note.remaining = static_cast<std::uint16_t>(
            std::clamp<std::int64_t>(m.headUntil - clock_.Now(), 0, kMaxTurn));
    note.controlled = m.controlled ? 1 : 0;
    note.forbidden = m.forbidden ? 1 : 0;
    for (const QueueEntry& e : m.queue) note.queue.push_back(e.user);
    ToAll(room, note);
}

void CRoomHandler::SendAnchor(std::uint32_t room) {
    msg::Control_Anchor_Notify note;
    if (const std::uint32_t a = mic_[room].anchor) note.anchor.user_id = a;
    ToAll(room, note);
    VideoAnchorChanged(room);
}

void CRoomHandler::MicWelcome(const SessionPtr& s, std::uint32_t room, std::uint8_t mode) {
    msg::Control_Anchor_Notify anchor;
    auto it = mic_.find(room);
    if (it != mic_.end() && it->second.anchor) anchor.anchor.user_id = it->second.anchor;
    SendMsg(s, kRoomChatChannel, anchor.id, anchor);
    if (mode != 4) return;
    msg::Control_Wheat_List_Notify note;
    if (it != mic_.end()) {
        const MicState& m = it->second;
        if (!m.queue.empty() && !m.controlled)
            note.remaining = static_cast<std::uint16_t>(
                std::clamp<std::int64_t>(m.headUntil - clock_.Now(), 0, kMaxTurn));
        note.controlled = m.controlled ? 1 : 0;
        note.forbidden = m.forbidden ? 1 : 0;
        for (const QueueEntry& e : m.queue) note.queue.push_back(e.user);
    }
    SendMsg(s, kRoomChatChannel, note.id, note);
}

void CRoomHandler::MicLeave(std::uint32_t room, std::uint32_t user) {
    auto it = mic_.find(room);
    if (it == mic_.end()) return;
    MicState& m = it->second;
    m.freeTurns.erase(user);
    if (m.anchor == user) {
        m.anchor = 0;
        SendAnchor(room);
    }
    const auto at = std::find_if(m.queue.begin(), m.queue.end(),
                                 [&](const QueueEntry& e) { return e.user == user; });
    if (at != m.queue.end()) {
        const bool head = at == m.queue.begin();
        m.queue.erase(at);
        if (head) StartTurn(room, m, clock_.Now());
        SendQueue(room);
    }
    const auto r = members_.find(room);
    if (m.empty() || r == members_.end() || r->second.empty()) mic_.erase(it);
}

void CRoomHandler::MicRoleChanged(std::uint32_t room, std::uint32_t user, std::uint8_t role) {
    auto it = mic_.find(room);
    if (it == mic_.end()) return;
    if (it->second.freeTurns.count(user)) {
        // The turn lasts only while the role may speak in this mode.
        const auto record = db_.RoomById(room);
        const std::uint8_t mode = record ? record->mode : 1;
        const std::uint16_t power = mode == 1   ? power_id::mic_in_mode_1
                                    : mode == 2 ? power_id::mic_in_mode_2
                                                : power_id::mic_in_mode_4;
        if (mode == 3 || !RoleHasPower(role, power)) it->second.freeTurns.erase(user);
    }
    if (it->second.anchor != user) return;
    if (RoleHasPower(role, power_id::open_mic)) return;
    it->second.anchor = 0;
    SendAnchor(room);
    log_msg("room: user %u lost the anchor microphone of room %u with its power", user, room);
}

void CRoomHandler::MicModeChanged(std::uint32_t room, std::uint8_t mode) {
    auto it = mic_.find(room);
    if (it == mic_.end()) return;
    MicState& m = it->second;
    // Each mode grants free turns by its own rule.
    m.freeTurns.clear();
    if (mode == 4) return;
    if (m.queue.empty() && !m.controlled && !m.forbidden) return;
    m.queue.clear();
    m.controlled = m.forbidden = false;
    SendQueue(room);
}

void CRoomHandler::OnTick(std::int64_t now) {
    std::lock_guard<std::mutex> g(lock_);
    const std::uint32_t tick = clock_.TickMs();
    for (auto& [room, m] : mic_)
        std::erase_if(m.freeTurns,
                      [tick](const auto& t) { return tick - t.second > kFreeTurnSilenceMs; });
    for (auto& [room, m] : mic_) {
        if (m.queue.empty() || m.controlled || now < m.headUntil) continue;
        m.queue.erase(m.queue.begin());
        StartTurn(room, m, now);
        SendQueue(room);
    }
}

std::uint32_t CRoomHandler::AnchorOf(std::uint32_t room) {
    std::lock_guard<std::mutex> g(lock_);
    auto it = mic_.find(room);
    return it == mic_.end() ? 0 : it->second.anchor;
}

std::vector<std::uint32_t> CRoomHandler::FreeTurnsOf(std::uint32_t room) {
    std::lock_guard<std::mutex> g(lock_);
    std::vector<std::uint32_t> out;
    if (auto it = mic_.find(room); it != mic_.end())
        for (const auto& [user, tick] : it->second.freeTurns) out.push_back(user);
    return out;
}

std::vector<std::uint32_t> CRoomHandler::QueueOf(std::uint32_t room) {
    std::lock_guard<std::mutex> g(lock_);
    std::vector<std::uint32_t> out;
    if (auto it = mic_.find(room); it != mic_.end())
        for (const QueueEntry& e : it->second.queue) out.push_back(e.user);
    return out;
}

}  // namespace server
