#include "room/room_moderation.h"

#include <string_view>
#include <vector>

#include "core/log.h"
#include "net/catalogue_media.h"
#include "net/catalogue_moderation.h"
#include "net/catalogue_room.h"
#include "room/typed_command.h"

namespace {

constexpr const char* kRecvChat = "Edit_RecvChat";

template <class Msg>
Msg Decode(const unsigned char* body, std::size_t length) {
    return wire::decode<Msg>(body, length);
}

// What the room-mode selector's entries stand for.
constexpr std::uint32_t kSelectorModes[] = {2, 1, 4};

const char* ModeText(std::uint32_t mode) {
    switch (mode) {
        case 1:
            return "房间被更改为抢麦模式";
        case 2:
            return "房间被更改为主播模式";
        case 3:
            return "房间被更改为音乐模式";
        case 4:
            return "房间被更改为麦序模式";
        default:
            return nullptr;
    }
}

}  // namespace

CRoomModeration::CRoomModeration(CRoomSession& session, IRoomAccount& account)
    : session_(session), account_(account) {
    session_.AddFeature(this);
}

CRoomModeration::~CRoomModeration() { session_.RemoveFeature(this); }

// --- requests --------------------------------------------------------------------

CRoomModeration::Result CRoomModeration::Refuse(Result r, const char* noPowerTip) {
    const char* tip = nullptr;
    switch (r) {
        case Result::not_in_room:
            tip = "请先进入房间";
            break;
        case Result::no_target:
            tip = "对方不在房间";
            break;
        case Result::self:
        case Result::no_power:
            tip = noPowerTip;
            break;
        case Result::not_sent:
            tip = "网络未连接，发送失败";
            break;
        case Result::bad_value:
        case Result::already:
        case Result::no_card:
        case Result::sent:
            break;
    }
    if (tip) session_.view().ShowTip(tip);
    return r;
}

// The checks every action on a user shares: in a room, the user in it, not
// me, and my role holds `power` over the user's.
CRoomModeration::Result CRoomModeration::CheckTarget(std::uint32_t target, std::uint16_t power,
                                                     const RoomUser** user) {
    if (!session_.loggedIn()) return Result::not_in_room;
    const auto it = session_.users().find(target);
    if (it == session_.users().end()) return Result::no_target;
    if (target == session_.myUserId()) return Result::self;
    *user = &it->second;
    if (!session_.powers().HasPowerOver(session_.myRole(),
                                        static_cast<std::uint8_t>(it->second.role), power))
        return Result::no_power;
    return Result::sent;
}

CRoomModeration::Result CRoomModeration::Gag(std::uint32_t target, const std::string& reason,
                                             std::uint32_t option) {
    const RoomUser* user = nullptr;
    const Result r = CheckTarget(target, power_id::gag, &user);
    if (r == Result::no_power && user->gagged) return Result::already;
    if (r != Result::sent) return Refuse(r);
    if (user->gagged) return Result::already;
    msg::Control_Gag_Req req;
    req.user_id = session_.myUserId();
    req.target_id = target;
    req.reason = reason;
    req.option = option != 0 ? 1 : 0;
    if (!session_.link().Send(req)) return Refuse(Result::not_sent);
    log_msg("send gag to_userid =%d, reason=%s\r\n", static_cast<int>(target), reason.c_str());
    return Result::sent;
}

CRoomModeration::Result CRoomModeration::CancelGag(std::uint32_t target) {
    const RoomUser* user = nullptr;
    const Result r = CheckTarget(target, power_id::gag, &user);
    if (r == Result::no_power && !user->gagged) return Result::already;
    if (r != Result::sent) return Refuse(r);
    if (!user->gagged) return Result::already;
    msg::Control_Cancel_Gag_Req req;
    req.user_id = session_.myUserId();
    req.target_id = target;
    if (!session_.link().Send(req)) return Refuse(Result::not_sent);
    log_msg("send cancel gag to_userid =%d\r\n", static_cast<int>(target));
    return Result::sent;
}

CRoomModeration::Result CRoomModeration::Kick(std::uint32_t target, std::uint32_t seconds,
                                              const std::string& reason) {
    const RoomUser* user = nullptr;
    if (const Result r = CheckTarget(target, power_id::kick, &user); r != Result::sent)
        return Refuse(r);
    if (seconds == 0 || seconds > kKickForeverSeconds) return Result::bad_value;
    msg::Control_Kick_Req req;
    req.target_id = target;
    req.reason = reason;
    req.duration = seconds;
    if (!session_.link().Send(req)) return Refuse(Result::not_sent);
    kickTarget_ = target;
    return Result::sent;
}

CRoomModeration::Result CRoomModeration::SetPower(std::uint32_t target, std::uint8_t role,
                                                  std::int64_t days) {
    const RoomUser* user = nullptr;
    if (const Result r = CheckTarget(target, power_id::set_power, &user); r != Result::sent)
        return Refuse(r);
    if (!session_.powers().HasPowerOver(session_.myRole(), role, power_id::set_power))
        return Refuse(Result::no_power);
    // 0 minutes would be stored as a permanent role, and a negative count wraps.
    if (days < 1 || days > kMaxRoleDays) {
        if (days > kMaxRoleDays)
            session_.view().MessageBox("天数不能大于6000天", "提示", BoxIcon::Info);
        return Result::bad_value;
    }
    msg::Control_Set_Power_Req req;
    req.user_id = session_.myUserId();
    req.target_id = target;
    req.role = role;
    req.duration = static_cast<std::uint32_t>(days) * kMinutesPerDay;
    if (!session_.link().Send(req)) return Refuse(Result::not_sent);
    log_msg("send  set power to_userid =%d, power=%d, day=%d\r\n", static_cast<int>(target),
            static_cast<int>(role), static_cast<int>(days));
    return Result::sent;
}

CRoomModeration::Result CRoomModeration::ChooseRoomMode(int index) {
    if (index < 0 || index >= static_cast<int>(std::size(kSelectorModes))) return Result::bad_value;
    return SetRoomMode(kSelectorModes[index]);
}

CRoomModeration::Result CRoomModeration::SetRoomMode(std::uint32_t mode) {
    if (!session_.loggedIn()) return Refuse(Result::not_in_room);
    if (mode < 1 || mode > 4) return Result::bad_value;
    if (mode == session_.roomMode()) return Result::already;
    const std::uint16_t needed = mode == 1   ? power_id::room_mode_1
                                 : mode == 2 ? power_id::room_mode_2
                                 : mode == 3 ? power_id::room_mode_3
                                             : 0;
    if (needed != 0 && !session_.powers().HasPower(session_.myRole(), needed)) {
        // The selector must not keep showing a mode the room does not have.
        session_.ShowRoomMode();
        return Refuse(Result::no_power, "没有权限!");
    }
    msg::Control_Set_Room_Mode_Req req;
    req.user_id = session_.myUserId();
    req.mode = mode;
    if (!session_.link().Send(req)) {
        session_.ShowRoomMode();
        return Refuse(Result::not_sent);
    }
    log_msg("send  set room mode =%d\r\n", static_cast<int>(mode));
    return Result::sent;
}

// --- answers and notifies -----------------------------------------------------------

bool CRoomModeration::OnPacket(std::uint32_t command, const unsigned char* body,
                               std::size_t length) {
    switch (command) {
        case cmd::Control_Gag_Resp:
            OnGagResp(body, length);
            return true;
        case cmd::Control_Cancel_Gag_Resp:
            OnCancelGagResp(body, length);
            return true;
        case cmd::Control_Kick_Resp:
            OnKickResp(body, length);
            return true;
        case cmd::Control_Set_Power_Resp:
            OnSetPowerResp(body, length);
            return true;
        case cmd::Control_Set_Room_Mode_Resp:
            OnSetRoomModeResp(body, length);
            return true;
        case cmd::Video_Room_Mode_Notify:
            OnMediaRoomMode(body, length);
            return true;
        case cmd::Control_Gag_Notify:
            OnGagNotify(body, length, true);
            return true;
        case cmd::Control_Cancel_Gag_Notify:
            OnGagNotify(body, length, false);
            return true;
        case cmd::Control_Power_Notify:
            OnPowerNotify(body, length);
            return true;
        case cmd::Control_Room_Mode_Notify:
            OnRoomModeNotify(body, length);
            return true;
        case cmd::Control_Kick_Notify:
            OnKickNotify(body, length);
            return true;
        default:
            return false;
    }
}

void CRoomModeration::OnGagResp(const unsigned char* body, std::size_t length) {
    const auto r = Decode<msg::Control_Gag_Resp>(body, length);
    if (r.ok()) {
        log_msg("gag  succeed to_userid=%d\r\n", static_cast<int>(r.target_id));
        return;
    }
    session_.view().ShowTip(r.message);
    log_msg("gag  fail=%s\r\n", r.message.c_str());
}

void CRoomModeration::OnCancelGagResp(const unsigned char* body, std::size_t length) {
    const auto r = Decode<msg::Control_Cancel_Gag_Resp>(body, length);
    if (r.ok()) {
        log_msg("cancel gag  succeed to_userid=%d\r\n", static_cast<int>(r.target_id));
        return;
    }
    session_.view().ShowTip(r.message);
    log_msg("cancel gag  fail=%s\r\n", r.message.c_str());
}

void CRoomModeration::OnKickResp(const unsigned char* body, std::size_t length) {
    const auto r = Decode<msg::Control_Kick_Resp>(body, length);
    if (r.ok()) {
        log_msg("kick  succeed to_userid=%d\r\n", static_cast<int>(kickTarget_));
        return;
    }
    session_.view().ShowTip(r.message);
    log_msg("kick   fail=%s\r\n", r.message.c_str());
}

void CRoomModeration::OnSetPowerResp(const unsigned char* body, std::size_t length) {
    const auto r = Decode<msg::Control_Set_Power_Resp>(body, length);
    if (r.ok()) {
        log_msg("set power succeed \r\n");
        return;
    }
    session_.view().ShowTip(r.message);
    log_msg("set power fail error=%s\r\n", r.message.c_str());
}

void CRoomModeration::OnSetRoomModeResp(const unsigned char* body, std::size_t length) {
    const auto r = Decode<msg::Control_Set_Room_Mode_Resp>(body, length);
    if (r.ok()) {
        log_msg("set room mode  succeed modeid=%d\r\n", static_cast<int>(r.mode));
        return;
    }
    session_.view().ShowTip(r.message);
    session_.ShowRoomMode();
    log_msg("set room mode fail =%s \r\n", r.message.c_str());
}

void CRoomModeration::OnMediaRoomMode(const unsigned char* body, std::size_t length) {
    const auto r = Decode<msg::Video_Room_Mode_Notify>(body, length);
    if (r.ok())
        log_msg("set room mode   succeed room=%d, mode=%d\r\n", static_cast<int>(r.room_id),
                static_cast<int>(r.value3));
    else
        log_msg("set room mode fail error=%s\r\n", r.message.c_str());
}

void CRoomModeration::OnGagNotify(const unsigned char* body, std::size_t length, bool gagged) {
    std::uint32_t userId = 0;
    if (gagged) {
        const auto r = Decode<msg::Control_Gag_Notify>(body, length);
        if (!r.ok()) return;
        userId = r.user_id;
    } else {
        const auto r = Decode<msg::Control_Cancel_Gag_Notify>(body, length);
        if (!r.ok()) return;
        userId = r.user_id;
    }
    const auto it = session_.users().find(userId);
    if (it == session_.users().end()) return;
    const std::string nickname = it->second.nickname;
    session_.SetUserGagged(userId, gagged);
    if (userId == session_.myUserId()) {
        const char* text = gagged ? "你被禁言!" : "你被取消禁言!";
        session_.view().ShowTip(text);
        session_.AppendSystemLine(kRecvChat, text);
        log_msg(gagged ? "you by gag\r\n" : "you by cancel gag\r\n");
        return;
    }
    session_.AppendSystemLine(kRecvChat, nickname + (gagged ? "已被禁言" : "已被取消禁言"));
}

void CRoomModeration::OnPowerNotify(const unsigned char* body, std::size_t length) {
    const auto r = Decode<msg::Control_Power_Notify>(body, length);
    if (!r.ok()) {
        log_msg("OnTLVCommand_Control_Power_Notify  error=%s \r\n", r.message.c_str());
        return;
    }
    if (!session_.users().count(r.user_id)) return;
    session_.SetUserRole(r.user_id, r.role);
    if (r.user_id == session_.myUserId()) session_.view().ShowTip("你已经被更改权限!");
}

void CRoomModeration::OnRoomModeNotify(const unsigned char* body, std::size_t length) {
    const auto r = Decode<msg::Control_Room_Mode_Notify>(body, length);
    if (!r.ok()) {
        session_.view().ShowTip(r.message);
        log_msg("OnTLVCommand_Control_Room_Mode_Notify  error=%s \r\n", r.message.c_str());
        return;
    }
    const char* text = ModeText(r.mode);
    if (!text || r.mode == session_.roomMode()) return;
    session_.view().ShowTip(text);
    session_.AppendSystemLine(kRecvChat, text);
    session_.SetRoomMode(r.mode);
}

void CRoomModeration::OnKickNotify(const unsigned char* body, std::size_t length) {
    const auto r = Decode<msg::Control_Kick_Notify>(body, length);
    // Only a kick that names me ends my stay; others' kicks are not mine to act on.
    if (!r.ok() || r.user_id == 0 || r.user_id != session_.myUserId()) return;
    if (session_.roomId() == 0 || session_.left()) return;
    session_.view().MessageBox("你被踢出房间!", "提示", BoxIcon::Error);
    log_msg("kick  Room \r\n");
    session_.LeaveRoom(r.text2.empty() ? std::string("你被踢出房间!")
                                      : "你被踢出房间! 原因：" + r.text2);
}

// --- typed commands -------------------------------------------------------------------

void CRoomModeration::ReportUser(const RoomUser& u) {
    session_.view().Report("user", u.nickname + "(" + std::to_string(u.userId) +
                                       ") role=" + std::to_string(u.role) +
                                       " gagged=" + (u.gagged ? "1" : "0"));
}

bool CRoomModeration::OnTypedCommand(const std::string& line) {
    const typed::Line t = typed::Split(line);
    const auto& a = t.args;
    IRoomView& view = session_.view();
    const auto usage = [&](const char* text) {
        view.ShowTip(std::string("usage: ") + text);
        return true;
    };
    std::uint32_t id = 0;
    std::int64_t n = 0;
    if (t.word == "/gag") {
        if (a.size() < 2 || !typed::ParseUserId(a[0], id)) return usage("/gag ID REASON");
        Gag(id, std::string(t.rests[1]), 0);
        return true;
    }
    if (t.word == "/ungag") {
        if (a.size() != 1 || !typed::ParseUserId(a[0], id)) return usage("/ungag ID");
        CancelGag(id);
        return true;
    }
    if (t.word == "/propgag" || t.word == "/propungag") {
        const bool gag = t.word == "/propgag";
        if (a.size() != 1 || !typed::ParseUserId(a[0], id))
            return usage(gag ? "/propgag ID" : "/propungag ID");
        gag ? UseGagCard(id) : UseCancelGagCard(id);
        return true;
    }
    if (t.word == "/kick") {
        if (a.size() < 3 || !typed::ParseUserId(a[0], id) ||
            !typed::ParseNumber(a[1], 1, kKickForeverSeconds, n))
            return usage("/kick ID SECONDS REASON");
        Kick(id, static_cast<std::uint32_t>(n), std::string(t.rests[2]));
        return true;
    }
    if (t.word == "/role") {
        std::int64_t role = 0;
        if (a.size() < 2 || a.size() > 3 || !typed::ParseUserId(a[0], id) ||
            !typed::ParseNumber(a[1], 0, 255, role))
            return usage("/role ID ROLE [DAYS]");
        const auto r = static_cast<std::uint8_t>(role);
        if (a.size() == 3) {
            if (!typed::ParseNumber(a[2], 1, kMaxRoleDays, n)) return usage("/role ID ROLE [DAYS]");
        } else if (r == 20 || session_.powers().HasPower(r, power_id::long_grant)) {
            // As the menu gives such a role: for good, without asking.
            n = kMaxRoleDays;
        } else {
            return usage("/role ID ROLE [DAYS]");
        }
        SetPower(id, r, n);
        return true;
    }
    if (t.word == "/mode") {
        if (a.size() != 1 || (a[0] != "1" && a[0] != "2" && a[0] != "4"))
            return usage("/mode 1|2|4");
        SetRoomMode(static_cast<std::uint32_t>(a[0][0] - '0'));
        return true;
    }
    if (t.word == "/users") {
        if (!a.empty()) return usage("/users");
        if (!session_.loggedIn()) {
            Refuse(Result::not_in_room);
            return true;
        }
        const auto& users = session_.users();
        for (const UserListItem& item : session_.userList().items())
            if (auto it = users.find(item.userId); it != users.end()) ReportUser(it->second);
        return true;
    }
    if (t.word == "/state") {
        if (!a.empty()) return usage("/state");
        const auto it = session_.users().find(session_.myUserId());
        if (!session_.loggedIn() || it == session_.users().end()) {
            Refuse(Result::not_in_room);
            return true;
        }
        ReportUser(it->second);
        return true;
    }
    return false;
}
