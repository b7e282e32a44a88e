// Moderation: kick, gag, cancel gag, set power and room mode. Every power
// is checked here against the database's rules; the client's own checks are
// a courtesy. A request that passes is stored, logged, answered and relayed;
// one that does not is answered with a code and touches nothing.
#include <cstdint>
#include <string>
#include <vector>

#include "core/log.h"
#include "net/catalogue_moderation.h"
#include "net/catalogue_room.h"
#include "net/commands.h"
#include "net/fields.h"
#include "net/power.h"
#include "server/room_handler.h"
#include "server/room_broadcast.h"
#include "server/room_wire.h"

namespace server {

namespace {

constexpr std::size_t kMaxReasonBytes = 512;
constexpr std::uint32_t kMaxKickSeconds = 315'360'000;  // ten years, the client's "for good"
// A grant of this many minutes or more is kept for good (expiry 0).
constexpr std::uint32_t kPermanentMinutes = 8'640'000;

constexpr const char* kTextNoPower = "无权限!";
constexpr const char* kTextNotInRoom = "对方不在房间";
constexpr const char* kTextNotOnSelf = "不能对自己进行该操作";
constexpr const char* kTextAlreadyGagged = "对方已被禁言";
constexpr const char* kTextAlreadyFree = "对方未被禁言";
constexpr const char* kTextBadValue = "请求的参数不正确";

// What a moderation request asks, read once with the width of every
// integer checked: a value wider than its field is refused, never cut.
struct Ask {
    std::uint32_t command = 0;
    bool claims = false;         // carries tag 1 "my user id"
    std::uint32_t claimed = 0;
    std::uint32_t target = 0;
    std::uint32_t value = 0;     // kick seconds, grant minutes, room mode
    std::uint8_t role = 0;       // the role given
    std::uint32_t option = 0;
    std::string reason;
};

// 0, or the code that refuses the request.
std::uint32_t Read(std::uint32_t command, const unsigned char* body, std::size_t n, Ask& a) {
    TLV::body b;
    b.parse(body, n);
    a.command = command;
    bool wide = false;
    const auto num = [&](unsigned char tag, std::uint64_t max) -> std::uint64_t {
        const std::uint64_t v = b.has(tag) ? b.get_int(tag) : 0;
        if (v > max) wide = true;
        return v;
    };
    bool longText = false;
    const auto text = [&](unsigned char tag) {
        std::size_t raw = 0;
        b.get_raw(tag, &raw);
        const std::string t(b.get_text(tag));
        if (t.size() > kMaxReasonBytes || raw > kMaxReasonBytes + 1) longText = true;
        return longText ? std::string() : t;
    };
    constexpr std::uint64_t u32max = UINT32_MAX;
    a.claims = command != cmd::Control_Kick_Req;
    if (a.claims) a.claimed = static_cast<std::uint32_t>(num(1, u32max));
    switch (command) {
        case cmd::Control_Kick_Req:
            a.target = static_cast<std::uint32_t>(num(2, u32max));
            a.value = static_cast<std::uint32_t>(num(3, u32max));
            a.reason = text(4);
            break;
        case cmd::Control_Gag_Req:
            a.target = static_cast<std::uint32_t>(num(2, u32max));
            a.reason = text(3);
            a.option = static_cast<std::uint32_t>(num(4, u32max));
            break;
        case cmd::Control_Cancel_Gag_Req:
            a.target = static_cast<std::uint32_t>(num(2, u32max));
            break;
        case cmd::Control_Set_Power_Req:
            a.target = static_cast<std::uint32_t>(num(2, u32max));
            a.role = static_cast<std::uint8_t>(num(3, UINT8_MAX));
            a.value = static_cast<std::uint32_t>(num(4, u32max));
            break;
        case cmd::Control_Set_Room_Mode_Req:
            a.value = static_cast<std::uint32_t>(num(2, u32max));
            break;
        default: return room_error::bad_request;
    }
    if (wide || longText) return room_error::bad_value;
    if (command != cmd::Control_Set_Room_Mode_Req && a.target == 0) return room_error::bad_request;
    switch (command) {
        case cmd::Control_Kick_Req:
            if (a.value == 0 || a.value > kMaxKickSeconds) return room_error::bad_value;
            break;
        case cmd::Control_Set_Power_Req:
            if (a.role == 0 || a.value == 0) return room_error::bad_value;
            break;
        case cmd::Control_Set_Room_Mode_Req:
            if (a.value < 1 || a.value > 4) return room_error::bad_value;
            break;
    }
    return 0;
}

// The response of the request, carrying what it was about.
void Answer(const SessionPtr& s, const Ask& a, std::uint32_t me, std::uint32_t code = 0,
            const char* text = nullptr) {
    const auto fill = [&](wire::status& r) {
        if (code) r.message = text, r.code = code;
    };
    switch (a.command) {
        case cmd::Control_Kick_Req: {
            msg::Control_Kick_Resp r;
            fill(r);
            SendMsg(s, kRoomChatChannel, r.id, r);
            return;
        }
        case cmd::Control_Gag_Req: {
            msg::Control_Gag_Resp r;
            r.target_id = a.target;
            fill(r);
            SendMsg(s, kRoomChatChannel, r.id, r);
            return;
        }
        case cmd::Control_Cancel_Gag_Req: {
            msg::Control_Cancel_Gag_Resp r;
            r.target_id = a.target;
            fill(r);
            SendMsg(s, kRoomChatChannel, r.id, r);
            return;
        }
        case cmd::Control_Set_Power_Req: {
            msg::Control_Set_Power_Resp r;
            r.user_id = me;
            r.target_id = a.target;
            fill(r);
            SendMsg(s, kRoomChatChannel, r.id, r);
            return;
        }
        case cmd::Control_Set_Room_Mode_Req: {
            msg::Control_Set_Room_Mode_Resp r;
            r.user_id = me;
            r.mode = a.value;
            fill(r);
            SendMsg(s, kRoomChatChannel, r.id, r);
            return;
        }
    }
}

const char* TextOf(std::uint32_t code) {
    switch (code) {
        case room_error::bad_request: return kTextBadRequest;
        case room_error::no_power: return kTextNoPower;
        case room_error::not_in_room: return kTextNotInRoom;
        case room_error::not_on_self: return kTextNotOnSelf;
        default: return kTextBadValue;
    }
}

const char* ActionOf(std::uint32_t command) {
    switch (command) {
        case cmd::Control_Kick_Req: return "kick";
        case cmd::Control_Gag_Req: return "gag";
        case cmd::Control_Cancel_Gag_Req: return "cancel gag";
        case cmd::Control_Set_Power_Req: return "set power";
        default: return "room mode";
    }
}

}  // namespace

std::optional<RoomRecord> CRoomHandler::CachedRoom(std::uint32_t room) {
    std::lock_guard<std::mutex> g(roomsLock_);
    const std::uint64_t generation = db_.Generation();
    if (generation != roomsGeneration_) {
        rooms_.clear();
        roomsGeneration_ = generation;
    }
    auto it = rooms_.find(room);
    // Bounded by the rooms that exist (and a few unknown ids) until the next change.
    if (it == rooms_.end()) {
        if (rooms_.size() >= 4096) rooms_.clear();
        it = rooms_.emplace(room, db_.RoomById(room)).first;
    }
    return it->second;
}

bool CRoomHandler::RoleHasPower(std::uint8_t role, std::uint16_t powerId) {
    return RoleHasPowerOver(role, 0, powerId);
}

bool CRoomHandler::RoleHasPowerOver(std::uint8_t role, std::uint8_t targetRole,
                                    std::uint16_t powerId) {
    // Kept until the database changes, so a changed rule holds at once
    // without reading every rule for every chat line; the lookup itself is
    // the client's, so both sides agree on what a rule means.
    std::lock_guard<std::mutex> g(powersLock_);
    const std::uint64_t generation = db_.Generation();
    if (!powers_ || generation != powersGeneration_) {
        auto table = std::make_unique<CPowerTable>();
        for (const PowerRule& r : db_.PowerRules()) table->AddRule(r.powerId, r.role, r.yesNo, r.byRole);
        powers_ = std::move(table);
        powersGeneration_ = generation;
    }
    return targetRole == 0 ? powers_->HasPower(role, powerId)
                           : powers_->HasPowerOver(role, targetRole, powerId);
}

void CRoomHandler::Moderate(const SessionPtr& s, std::uint32_t command, const unsigned char* body,
                            std::size_t n) {
    Ask a;
    const std::uint32_t readCode = Read(command, body, n, a);

    // Who asks, as this server knows them.
    std::uint32_t room = 0, me = 0;
    std::uint8_t myRole = 0;
    {
        std::lock_guard<std::mutex> g(lock_);
        auto it = sessions_.find(s->id());
        if (it == sessions_.end()) return;
        const Binding b = it->second.chat;
        if (auto r = members_.find(b.room); b.live() && r != members_.end())
            if (auto m = r->second.find(b.user);
                m != r->second.end() && m->second.session == s->id()) {
                room = b.room, me = b.user, myRole = m->second.role;
            }
    }
    if (room == 0) return Answer(s, a, me, room_error::not_logged_in, kTextNotLoggedIn);
    if (a.claims && a.claimed != me) return Answer(s, a, me, room_error::bad_request, kTextOtherUser);
    if (readCode) return Answer(s, a, me, readCode, TextOf(readCode));
    const std::int64_t now = clock_.Now();

    if (command == cmd::Control_Set_Room_Mode_Req) {
        bool allowed = false;
        switch (a.value) {
            case 1: allowed = RoleHasPower(myRole, power_id::room_mode_1); break;
            case 2: allowed = RoleHasPower(myRole, power_id::room_mode_2); break;
            case 3: allowed = RoleHasPower(myRole, power_id::room_mode_3); break;
            case 4:
                allowed = RoleHasPower(myRole, power_id::room_mode_1) ||
                          RoleHasPower(myRole, power_id::room_mode_2) ||
                          RoleHasPower(myRole, power_id::room_mode_3);
                break;
        }
        if (!allowed) return Answer(s, a, me, room_error::no_power, kTextNoPower);
        if (!db_.SetRoomMode(room, static_cast<std::uint8_t>(a.value))) {
            log_err("room: mode of room %u not stored: %s", room, db_.lastError().c_str());
            return Answer(s, a, me, room_error::no_room, kTextBadValue);
        }
        db_.LogModeration(now, room, me, 0, ActionOf(command), std::to_string(a.value));
        Answer(s, a, me);
        msg::Control_Room_Mode_Notify note;
        note.mode = a.value;
        std::vector<SessionPtr> to;
        {
            std::lock_guard<std::mutex> g(lock_);
            if (auto r = members_.find(room); r != members_.end())
                for (const auto& [id, m] : r->second)
                    if (auto o = sessions_.find(m.session); o != sessions_.end())
                        to.push_back(o->second.s);
        }
        const SharedPacket packet = Pack(kRoomChatChannel, note);
        for (const SessionPtr& p : to) p->Send(packet);
        {
            // The queue lives in mode 4 only.
            std::lock_guard<std::mutex> g(lock_);
            MicModeChanged(room, static_cast<std::uint8_t>(a.value));
        }
        log_msg("room: user %u set room %u to mode %u", me, room, a.value);
        return;
    }

    if (a.target == me) return Answer(s, a, me, room_error::not_on_self, kTextNotOnSelf);
    // The target as a member of the actor's room (under lock_).
    const auto find = [&]() -> Member* {
        auto r = members_.find(room);
        if (r == members_.end()) return nullptr;
        auto m = r->second.find(a.target);
        return m == r->second.end() ? nullptr : &m->second;
    };
    std::uint8_t targetRole = 0;
    {
        std::lock_guard<std::mutex> g(lock_);
        const Member* t = find();
        if (!t) return Answer(s, a, me, room_error::not_in_room, kTextNotInRoom);
        targetRole = t->role;
    }
    std::uint16_t power = power_id::kick;
    if (command == cmd::Control_Gag_Req || command == cmd::Control_Cancel_Gag_Req)
        power = power_id::gag;
    if (command == cmd::Control_Set_Power_Req) {
        power = power_id::set_power;
        bool known = false;
        for (const RoleRecord& r : db_.Roles()) known = known || r.id == a.role;
        if (!known) return Answer(s, a, me, room_error::bad_value, kTextBadValue);
        if (!RoleHasPowerOver(myRole, a.role, power))
            return Answer(s, a, me, room_error::no_power, kTextNoPower);
    }
    if (!RoleHasPowerOver(myRole, targetRole, power))
        return Answer(s, a, me, room_error::no_power, kTextNoPower);

    // Applied under the lock, so that the state checked is the state changed
    // and the rows match what the room was told. The database takes no lock
    // of the relay's, so holding ours over it cannot deadlock.
    std::string logDetail = a.reason;
    {
        std::lock_guard<std::mutex> g(lock_);
        Member* t = find();
        // Gone between the checks and now.
        if (!t) return Answer(s, a, me, room_error::not_in_room, kTextNotInRoom);
        Member& target = *t;
        if (target.role != targetRole)  // changed meanwhile: the power was checked over another
            return Answer(s, a, me, room_error::no_power, kTextNoPower);
        bool stored = true;
        // Logged before anyone hears of it, so what was told was recorded.
        const auto record = [&] {
            db_.LogModeration(now, room, me, a.target, ActionOf(command), logDetail);
        };
        const auto tellEveryone = [&](const auto& note) {
            record();
            Answer(s, a, me);
            ToAll(room, note);
        };
        switch (command) {
            case cmd::Control_Gag_Req:
            case cmd::Control_Cancel_Gag_Req: {
                const bool gag = command == cmd::Control_Gag_Req;
                if (target.gagged == gag)
                    return Answer(s, a, me, room_error::already,
                                  gag ? kTextAlreadyGagged : kTextAlreadyFree);
                if (!(stored = StoreGag(room, me, a.target, gag, a.reason, a.option, now,
                                        ActionOf(command), a.reason)))
                    break;
                Answer(s, a, me);
                TellGag(room, a.target, target, gag);
                break;
            }
            case cmd::Control_Set_Power_Req: {
                const std::int64_t expiry =
                    a.value >= kPermanentMinutes ? 0 : now + std::int64_t{a.value} * 60;
                // Guest is what a user without a row is.
                stored = a.role == kRoleGuest ? db_.RemoveRoomRole(room, a.target)
                                              : db_.SetRoomRole(room, a.target, a.role, expiry);
                if (!stored) break;
                target.role = a.role;
                target.Encode(a.target);
                logDetail = "role " + std::to_string(a.role) + " expiry " + std::to_string(expiry);
                msg::Control_Power_Notify note;
                note.user_id = a.target;
                note.role = a.role;
                tellEveryone(note);
                MicRoleChanged(room, a.target, a.role);
                break;
            }
            case cmd::Control_Kick_Req: {
                if (!(stored = db_.AddKick(room, a.target, me, a.reason, now + a.value))) break;
                logDetail = std::to_string(a.value) + "s " + a.reason;
                auto o = sessions_.find(target.session);
                record();
                Answer(s, a, me);
                if (o != sessions_.end()) {
                    msg::Control_Kick_Notify note;
                    note.user_id = a.target;
                    note.text2 = a.reason;
                    SendMsg(o->second.s, kRoomChatChannel, note.id, note);
                    // Its membership and media logins end; the rest hear it leave.
                    DropChat(o->second);
                    o->second.s->userId = 0;
                }
                break;
            }
        }
        if (!stored) {
            log_err("room: %s of user %u in room %u not stored: %s", ActionOf(command), a.target,
                    room, db_.lastError().c_str());
            return Answer(s, a, me, room_error::bad_value, kTextBadValue);
        }
    }
    log_msg("room: user %u: %s user %u in room %u", me, ActionOf(command), a.target, room);
}

bool CRoomHandler::StoreGag(std::uint32_t room, std::uint32_t actor, std::uint32_t target,
                            bool gag, const std::string& reason, std::uint32_t option,
                            std::int64_t now, std::string_view action, std::string_view detail,
                            const std::function<bool()>& also) {
    return db_.InTransaction([&] {
        if (also && !also()) return false;
        const bool changed = gag ? db_.AddGag({room, target, actor, reason, option, now})
                                 : db_.RemoveGag(room, target);
        return changed && db_.LogModeration(now, room, actor, target, action, detail);
    });
}

void CRoomHandler::TellGag(std::uint32_t room, std::uint32_t targetId, Member& target, bool gag) {
    target.gagged = gag;
    target.Encode(targetId);
    const auto tell = [&](const auto& note) { ToAll(room, note); };
    if (gag) {
        msg::Control_Gag_Notify note;
        note.user_id = targetId;
        note.nickname = target.nickname;
        tell(note);
    } else {
        msg::Control_Cancel_Gag_Notify note;
        note.user_id = targetId;
        tell(note);
    }
}

CRoomHandler::CardUse CRoomHandler::GagByCard(std::uint32_t room, std::uint32_t actor,
                                              std::uint32_t target, bool gag,
                                              const std::string& detail,
                                              const std::function<bool()>& spend) {
    const std::int64_t now = clock_.Now();
    std::lock_guard<std::mutex> g(lock_);
    auto r = members_.find(room);
    if (r == members_.end() || !r->second.count(actor)) return CardUse::caller_not_in_room;
    auto t = r->second.find(target);
    if (t == r->second.end()) return CardUse::target_not_in_room;
    if (gag && target == actor) return CardUse::on_self;
    if (t->second.gagged == gag) return CardUse::already;
    bool refused = false;
    const char* action = gag ? "gag card" : "cancel gag card";
    if (!StoreGag(room, actor, target, gag, gag ? "禁言卡" : "", 0, now, action, detail,
                  [&] { return !(refused = !spend()); })) {
        if (refused) return CardUse::not_spent;
        log_err("room: %s of user %u on user %u in room %u not stored: %s", action, actor, target,
                room, db_.lastError().c_str());
        return CardUse::failed;
    }
    TellGag(room, target, t->second, gag);
    log_msg("room: user %u: %s on user %u in room %u", actor, action, target, room);
    return CardUse::done;
}

}  // namespace server
