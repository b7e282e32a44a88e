// The room window's packet handlers: logins, room information and membership.
#include <cstdio>

#include "core/app_context.h"
#include "core/log.h"
#include "net/catalogue_media.h"
#include "net/catalogue_room.h"
#include "net/commands.h"
#include "room/markup_text.h"
#include "room/room_session.h"

namespace {

constexpr const char* kNoticeIcon = "near_notify.png";

template <class Msg>
Msg Decode(const unsigned char* body, std::size_t length) {
    return wire::decode<Msg>(body, length);
}

// Whether the nested value `tag` is present (a missing card has defaults).
bool HasNested(const unsigned char* body, std::size_t length, unsigned char tag) {
    TLV::body b;
    b.parse(body, length);
    return b.has(tag);
}

}  // namespace

void CRoomSession::OnServerPacket(std::uint32_t command, const unsigned char* body,
                                  std::size_t length) {
    {
        // Every answer may carry the server's text; it is logged whatever the handler does.
        TLV::body b;
        b.parse(body, length);
        const std::string_view err = b.get_text(209);
        if (!err.empty()) {
            // By name: a reader of the log should not need the command table.
            const char* name = cmd::command_name(command);
            if (name)
                log_msg("%s error=%.*s\r\n", name, static_cast<int>(err.size()), err.data());
            else
                log_msg("cmd 0x%x error=%.*s\r\n", command, static_cast<int>(err.size()), err.data());
        }
    }
    switch (command) {
        case cmd::Control_Login_Resp: OnLoginResp(body, length); break;
        case cmd::Control_Logout_Resp: OnLogoutResp(body, length); break;
        case cmd::Control_Get_Room_Info_Resp: OnRoomInfoResp(body, length); break;
        case cmd::Video_Login_Resp: OnVideoLoginResp(body, length); break;
        case cmd::Mix_Login_Resp: OnMixLoginResp(body, length); break;
        case cmd::Control_Room_UserList_Notify: OnUserList(body, length); break;
        case cmd::Control_User_Login_Notify: OnUserLogin(body, length); break;
        case cmd::Control_User_Logout_Notify: OnUserLogout(body, length); break;
        case cmd::Control_Login_Other_Notify: OnLoginOther(body, length); break;
        case cmd::Control_Anchor_Notify: OnAnchor(body, length); break;
        case cmd::Control_Get_UserCount_Resp: OnUserCount(body, length); break;
        default:
            for (IRoomFeature* f : features_)
                if (f->OnPacket(command, body, length)) break;
            break;
    }
}

void CRoomSession::OnLoginResp(const unsigned char* body, std::size_t length) {
    const auto r = Decode<msg::Control_Login_Resp>(body, length);
    if (!r.ok()) {
        // A refusal of a room asked for earlier must not cancel the one
        // being entered now.
        if (r.room_id != 0 && r.room_id != roomId_) {
            log_msg("stale login refusal for room %u ignored\r\n", r.room_id);
            return;
        }
        const std::uint32_t refused = roomId_;
        char text[600];
        std::snprintf(text, sizeof text, "%s(%d)", r.message.c_str(), static_cast<int>(r.code));
        view_.SetText("Label_Fail", text);
        roomId_ = 0;
        mediaKey_.clear();
        loginRefused_ = true;
        view_.SetVisible("waitcontrol", false);
        if (onLoginRefused_) onLoginRefused_(refused, r.message);
        return;
    }
    // A late answer for a room already left must not wipe the current one.
    if (r.room_id != roomId_ || left_) return;
    userList_.Clear();
    users_.clear();
    gagged_ = r.gagged != 0;
    roomMode_ = r.room_mode;
    ShowRoomMode();
    myRole_ = r.role;
    roomName_ = r.room_name;
    announcement_ = r.announcement;
    chatFont_ = r.chat_font;
    mediaKey_ = r.media_key;

    myRecord_ = MakeMe();
    AddUser(myRecord_);

    SendVideoLogin();
    SendMixLogin();
    view_.SetEnabled("Combo_Room_mode", myRole_ < 8);
    RefreshPeopleCount();
    msg::Control_Get_Room_Info_Req info;
    info.user_id = me_.userId;
    link_.Send(info);
    ShowAnnouncement();
    view_.SetVisible("bnt_sign", myRole_ == 7);
    if (powers_.Empty()) account_.RequestPowerList();
    BUDDY_LoginRoomResp(buddy_, roomId_, roomName_);

    ShowRoomName();
    view_.SetTitle(roomName_);
    loggedIn_ = true;
    chatIntervalMs_ = r.chat_interval * 1000;
    view_.SetVisible("waitcontrol", false);
    view_.SetText("Label_Fail", "");
    account_.LoginRoomNotify(roomId_);
    account_.RequestBalance();
    view_.ShowTip("登录频道成功！");
    for (IRoomFeature* f : features_) f->OnLoggedIn();
    log_msg("control login succeed\r\n");
}

void CRoomSession::OnLogoutResp(const unsigned char* body, std::size_t length) {
    const auto r = Decode<msg::Control_Logout_Resp>(body, length);
    // The answer to the logout of a room we switched away from says nothing
    // about the room we are in now.
    if (r.ok() && r.room_id != 0 && r.room_id == roomId_) loggedIn_ = false;
}

void CRoomSession::OnRoomInfoResp(const unsigned char* body, std::size_t length) {
    const auto r = Decode<msg::Control_Get_Room_Info_Resp>(body, length);
    if (!r.ok()) {
        view_.ShowTip(r.message);
        return;
    }
    infoTexts_[0] = r.text2;
    infoTexts_[1] = r.text3;
    infoTexts_[2] = r.text4;
    infoTexts_[3] = r.text10;
    infoValues_[0] = r.value5;
    infoValues_[1] = r.value6;
    infoValues_[2] = r.value7;
    infoValues_[3] = r.value8;
    if (!r.text10.empty()) AppendSystemLine("Edit_RecvChat", r.text10);
    ShowAnnouncement();
    // The room list's details: the name as the room gives it and its
    // description; the logo comes from the room directory.
    if (r.room_id == roomId_ && roomId_ != 0)
        BUDDY_SetRoomDetails(buddy_, roomId_, r.text2, std::string(), r.text4);
}

void CRoomSession::OnVideoLoginResp(const unsigned char* body, std::size_t length) {
    const auto r = Decode<msg::Video_Login_Resp>(body, length);
    if (!r.ok() || r.room_id != roomId_) return;
    for (IRoomFeature* f : features_) f->OnVideoLoggedIn();
    log_msg("video login succed\r\n");
}

void CRoomSession::OnMixLoginResp(const unsigned char* body, std::size_t length) {
    const auto r = Decode<msg::Mix_Login_Resp>(body, length);
    if (!r.ok()) {
        log_msg(" mix login fail \r\n");
        return;
    }
    for (IRoomFeature* f : features_) f->OnMediaLoggedIn();
    log_msg(" mix login succeed \r\n");
}

void CRoomSession::OnUserList(const unsigned char* body, std::size_t length) {
    const auto r = Decode<msg::Control_Room_UserList_Notify>(body, length);
    if (!r.ok()) {
        log_msg("OnTLVCommand_Control_Room_UserList_Notify  error=%s \r\n", r.message.c_str());
        return;
    }
    TLV::body outer;
    outer.parse(body, length);
    for (std::size_t i = 0; i < r.users.size(); ++i) {
        const msg::user_block& b = r.users[i];
        const auto raw = outer.get_bytes(2, i);
        const bool hasCard = HasNested(raw.data(), raw.size(), 4);
        auto it = users_.find(b.user_id);
        if (it != users_.end()) {
            RoomUser& u = it->second;
            FillFromCard(u, b.card, hasCard, 0, 1);
            u.role = b.role;
            FillVest(u);
            userList_.UpdateRole(u);
            if (u.userId == me_.userId) myRecord_ = u;
            continue;
        }
        RoomUser u;
        u.userId = b.user_id;
        u.nickname = b.nickname;
        u.role = b.role;
        u.gagged = b.gagged != 0;
        FillFromCard(u, b.card, hasCard, 0, 1);
        AddUser(std::move(u));
    }
    RefreshPeopleCount();
}

void CRoomSession::OnUserLogin(const unsigned char* body, std::size_t length) {
    const auto r = Decode<msg::Control_User_Login_Notify>(body, length);
    if (!r.ok()) {
        log_msg("user login notify error:%s\r\n", r.message.c_str());
        return;
    }
    if (users_.count(r.user_id)) return;
    RoomUser u;
    u.userId = r.user_id;
    u.nickname = r.nickname;
    u.gagged = r.gagged != 0;
    u.role = r.role;
    FillFromCard(u, r.card, HasNested(body, length, 7), 1, 1);
    const std::string nickname = u.nickname;
    AddUser(std::move(u));
    RefreshPeopleCount();
    view_.ShowNotice(markup::EntryNotice(kNoticeIcon, nickname, r.user_id,
                                         markup::NoticeTime(clock_.Now())));
}

void CRoomSession::OnUserLogout(const unsigned char* body, std::size_t length) {
    const auto r = Decode<msg::Control_User_Logout_Notify>(body, length);
    auto it = users_.find(r.user_id);
    if (it == users_.end()) return;
    view_.ShowNotice(
        markup::LeaveNotice(kNoticeIcon, it->second.nickname, markup::NoticeTime(clock_.Now())));
    userList_.RemoveUser(r.user_id);
    users_.erase(it);
    RefreshPeopleCount();
}

void CRoomSession::OnLoginOther(const unsigned char* body, std::size_t length) {
    const auto r = Decode<msg::Control_Login_Other_Notify>(body, length);
    if (r.user_id != me_.userId) return;
    if (r.kind == 2) {
        LeaveRoom("此帐号在其他地区登录");
        view_.MessageBox("此帐号在其他地区登录", "提示", BoxIcon::Error);
        log_msg("This account login in other areas\r\n");
    } else if (r.kind == 3) {
        gagged_ = true;
        // My own line in the list shows it too (and "/state" reports it).
        SetUserGagged(me_.userId, true);
    }
}

void CRoomSession::OnAnchor(const unsigned char* body, std::size_t length) {
    const auto r = Decode<msg::Control_Anchor_Notify>(body, length);
    if (!r.ok()) return;
    if (r.anchor.user_id) {
        auto it = users_.find(*r.anchor.user_id);
        if (it == users_.end()) return;
        anchor_ = it->second;
        ShowRoomName();
        account_.RequestFlowerCount(anchor_.userId);
        for (IRoomFeature* f : features_) f->OnAnchorChanged(anchor_.userId);
        return;
    }
    const bool had = anchor_.userId != 0;
    anchor_ = RoomUser{};
    ShowRoomName();
    if (had)
        for (IRoomFeature* f : features_) f->OnAnchorChanged(0);
}

void CRoomSession::OnUserCount(const unsigned char* body, std::size_t length) {
    const auto r = Decode<msg::Control_Get_UserCount_Resp>(body, length);
    if (r.ok()) log_msg("get room user count  succeed count=%u\r\n", r.count);
}
