#include "room/room_session.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "core/app_context.h"
#include "core/log.h"
#include "net/catalogue_media.h"
#include "net/catalogue_room.h"
#include "room/chat_entry.h"
#include "room/markup_text.h"
#include "room/typed_command.h"

namespace {
constexpr unsigned kStatusPeriodMs = 1000;
constexpr unsigned kBillboardPeriodMs = 900000;
}  // namespace

CRoomSession::CRoomSession(IRoomView& view, IRoomLink& link, ITimerHost& timers, IClock& clock,
                           IRoomAccount& account)
    : view_(view), link_(link), timers_(timers), clock_(clock), account_(account) {
    userList_.SetObserver(&view_.UserListView());
}

CRoomSession::~CRoomSession() {
    userList_.SetObserver(nullptr);
    BUDDY_Close(buddy_);
}

bool CRoomSession::Start() {
    me_ = account_.Me();
    AppContext::instance().SetUserId(me_.userId);
    AppContext::instance().SetVipLevel(me_.card.vip_level);
    buddy_ = BUDDY_Create(me_.userId);
    if (!buddy_) return false;
    account_.RequestPowerList();
    account_.RequestAccountState();
    account_.RequestBillboards();
    timers_.SetTimer(room_timer::kStatus, kStatusPeriodMs);
    timers_.SetTimer(room_timer::kBillboards, kBillboardPeriodMs);
    return true;
}

RoomUser CRoomSession::MakeMe() const {
    RoomUser u;
    u.userId = me_.userId;
    u.nickname = me_.nickname;
    u.role = myRole_;
    u.gagged = gagged_;
    u.online = true;
    FillFromCard(u, me_.card, true, 0, 1);
    return u;
}

void CRoomSession::FillFromCard(RoomUser& u, const msg::user_card& card, bool hasCard,
                                std::int32_t defaultGrade, std::uint32_t defaultValue14) {
    if (!hasCard) {
        u.cardValue3 = 1;
        u.wealthGrade = defaultGrade;
        u.cardValue14 = defaultValue14;
        return;
    }
    u.headUrl = card.head_url;
    u.cardText2 = card.text2;
    u.cardValue3 = card.profile_byte;
    u.cardText4 = card.text4;
    u.wealthGrade = static_cast<std::int32_t>(card.wealth_grade);
    u.nameColour = ParseColour(card.wealth_colour);
    u.gradeText = card.wealth_text;
    u.cardValue14 = card.value14;
    u.medalUrl = card.medal_url;
    u.vipLevel = card.vip_level;
}

// ---- entering and leaving ----

void CRoomSession::EnterRoom(std::uint32_t roomId) {
    left_ = false;
    loginRefused_ = false;
    const std::uint32_t oldRoom = roomId_;
    roomId_ = roomId;
    if (loggedIn_) {
        // Switching rooms: the window stays, everything of the old room goes.
        view_.SetText("Lable_RoomName", "");
        view_.SetText("Lable_RoomID", "");
        view_.SetText("Lable_RoomPeople", "");
        ClearRoomViews();
        loggedIn_ = false;
        chatIntervalMs_ = 0;
        lastChatTick_ = 0;
        mediaKey_.clear();
        SendLogouts(oldRoom);
    }
    SendChatLogin();
    if (buddy_) {
        const bool stored = BUDDY_IsStore(buddy_, roomId_);
        view_.SetVisible("bnt_store", !stored);
        view_.SetVisible("bnt_cancel_store", stored);
    }
    view_.SetVisible("waitcontrol", true);
    view_.ShowWindow(true);
}

void CRoomSession::ClearRoomViews() {
    for (IRoomFeature* f : features_) f->OnRoomCleared();
    userList_.Clear();
    users_.clear();
    view_.ClearChat("Edit_RecvChat");
    view_.ClearChat("Edit_VipChat");
    view_.ClearChat("Edit_PrivateChat");
    view_.ClearChat("Edit_NearChat");
    view_.SetText("List_Wheat", "");
}

void CRoomSession::LeaveRoom(const std::string& reason) {
    if (left_) return;
    left_ = true;
    loginRefused_ = false;
    // The room list shows how many were there when I left.
    const auto people = static_cast<std::uint32_t>(users_.size());
    ClearRoomViews();
    loggedIn_ = false;
    mediaKey_.clear();
    SendLogouts(roomId_);
    BUDDY_ExitRoom(buddy_, roomId_, people);
    view_.SetTitle("zeri");
    view_.ShowWindow(false);
    roomId_ = 0;
    if (anchor_.userId != 0) {
        anchor_ = RoomUser{};
        for (IRoomFeature* f : features_) f->OnAnchorChanged(0);
    }
    for (const char* label : {"Lable_RoomName", "Lable_RoomID", "Lable_RoomPeople", "Label_private", "Label_Fail"})
        view_.SetText(label, "");
    view_.ClearChat("Edit_Announcement");
    if (!exiting_ && onLeft_) onLeft_(reason);
}

void CRoomSession::ExitApplication() {
    if (exiting_) return;
    exiting_ = true;
    LeaveRoom();
    timers_.KillTimer(room_timer::kStatus);
    timers_.KillTimer(room_timer::kBillboards);
    account_.Close();
    log_msg("app  exit\r\n");
}

void CRoomSession::OnWindowClose() {
    if (!exiting_) LeaveRoom();
}

// ---- logins ----

void CRoomSession::SendChatLogin() {
    if (left_ || loginRefused_ || roomId_ == 0) return;
    msg::Control_Login_Req req;
    req.user_id = me_.userId;
    req.room_id = roomId_;
    req.token = me_.token.substr(0, 127);
    req.nickname = me_.nickname;
    req.card = me_.card;
    link_.Send(req);
}

void CRoomSession::SendVideoLogin() {
    if (left_ || roomId_ == 0) return;
    msg::Video_Login_Req req;
    req.user_id = me_.userId;
    req.room_id = roomId_;
    req.media_key = mediaKey_;
    // The server sends the room's latest keyframe right behind its answer,
    // on another thread than the answer's: whoever plays must be ready now.
    for (IRoomFeature* f : features_) f->OnVideoLoginSent();
    link_.Send(req);
}

void CRoomSession::SendMixLogin() {
    if (left_ || roomId_ == 0) return;
    msg::Mix_Login_Req req;
    req.user_id = me_.userId;
    req.room_id = roomId_;
    req.media_key = mediaKey_;
    link_.Send(req);
}

void CRoomSession::SendLogouts(std::uint32_t roomId) {
    if (roomId == 0) return;
    msg::Control_Logout_Req chat;
    chat.room_id = roomId;
    chat.user_id = me_.userId;
    link_.Send(chat);
    msg::Mix_Logout_Req mix;
    mix.user_id = me_.userId;
    mix.room_id = roomId;
    link_.Send(mix);
    msg::Video_Logout_Req video;
    video.room_id = roomId;
    video.user_id = me_.userId;
    link_.Send(video);
}

void CRoomSession::OnChatConnected() { SendChatLogin(); }
void CRoomSession::OnMediaConnected() {
    if (loggedIn_) SendMixLogin();
}
void CRoomSession::OnAVConnected() {
    if (loggedIn_) SendVideoLogin();
}

void CRoomSession::OnProxyStatus(std::uint32_t, const std::string& text) {
    if (!text.empty()) view_.ShowTip(text);
}

void CRoomSession::OnPowerList(const std::string& json) {
    if (OnPowerListAnswer(powers_, json)) log_msg("power list loaded\r\n");
}

// ---- labels ----

void CRoomSession::RefreshPeopleCount() {
    view_.SetText("Lable_RoomPeople", std::to_string(users_.size()));
}

void CRoomSession::ShowRoomName() {
    char buf[64];
    std::snprintf(buf, sizeof buf, "   ID:%u", roomId_);
    if (anchor_.userId != 0)
        view_.SetText("Lable_RoomName", roomName_ + ":" + anchor_.nickname + buf);
    else
        view_.SetText("Lable_RoomName", roomName_ + buf);
    view_.SetText("Lable_RoomID", std::to_string(roomId_));
}

void CRoomSession::ShowAnnouncement() {
    view_.ClearChat("Edit_Announcement");
    RenderAnnouncement(view_.ChatView("Edit_Announcement"), announcement_, ParseChatStyle(chatFont_));
}

void CRoomSession::Decorate(RoomUser& u) {
    for (IRoomFeature* f : features_) f->DecorateUser(u);
}

void CRoomSession::RedecorateUsers() {
    for (auto& [id, u] : users_) {
        const std::string vest = u.vestIcon, vip = u.vipIcon, medal = u.medalIcon;
        Decorate(u);
        if (u.vestIcon != vest || u.vipIcon != vip || u.medalIcon != medal) userList_.Redraw(u);
        if (id == me_.userId) myRecord_ = u;
    }
}

void CRoomSession::AddUser(RoomUser u) {
    const std::uint32_t id = u.userId;
    Decorate(u);
    userList_.AddUser(u);
    users_[id] = std::move(u);
}

// ---- timers ----

void CRoomSession::UpdateStatusBar() {
    const std::uint32_t sent = link_.TakeSentBytes() >> 10;
    const std::uint32_t received = link_.TakeReceivedBytes() >> 10;
    char rates[48];
    std::snprintf(rates, sizeof rates, "%u/%uKB/S", sent, received);
    view_.SetText("text_net_upload", rates);
    const std::uint32_t ms = link_.SignalMs();
    const char* icon = ms < 50    ? "sign_1.png"
                       : ms < 80  ? "sign_2.png"
                       : ms < 150 ? "sign_3.png"
                       : ms < 300 ? "sign_4.png"
                       : ms < 500 ? "sign_5.png"
                                  : "sign_6.png";
    view_.SetImage("bnt_signal", icon);
    view_.SetTooltip("bnt_signal", std::to_string(ms) + " ms");
}

void CRoomSession::OnTimer(unsigned id) {
    switch (id) {
        case room_timer::kStatus:
            UpdateStatusBar();
            AppContext::instance().expireSpeakers();
            break;
        case room_timer::kBillboards:
            account_.RequestBillboards();
            break;
        default:
            for (IRoomFeature* f : features_) f->OnTimer(id);
            break;
    }
}

bool CRoomSession::OnFeatureMessage(const WindowMessage& m) {
    for (IRoomFeature* f : features_)
        if (f->OnWindowMessage(m)) return true;
    return false;
}

namespace {
// What /help prints, a line each.
constexpr const char* kTypedHelp[] = {
    "TEXT                      a public chat line",
    "/to ID TEXT               a private line to user ID",
    "/enter ROOM               enter another room (or the same again)",
    "/users, /state            the user list, my own state",
    "/gag ID REASON, /ungag ID, /kick ID SECONDS REASON, /role ID ROLE [DAYS], /mode 1|2|4",
    "/propgag ID, /propungag ID  a gag or cancel-gag card from my pack",
    "/anchor, /unanchor, /speak, /key down|up, /mic   microphones",
    "/rob, /down, /queue, /control, /release, /ban, /open, /top ID, /addtime ID, /remove ID, "
    "/removeall, /setmic ID   the microphone queue",
    "/vol ID [PERCENT]         how loud a user sounds to me (0-200)",
    "/card, /sign              the anchor's clock-in and sign-in (role 7)",
    "/gift ID [N], /buy KIND ID (4 car, 6 prop, 7 VIP), /car ID (activate), /use ENTRY [TEXT], "
    "/flower, /recharge, /balance, /pack, /shop, /vip   buying and giving",
    "/voice FILE.wav, /play     send a WAV as a voice message, play the newest one",
    "/help                     this list",
};
}  // namespace

bool CRoomSession::OnTypedCommand(const std::string& line) {
    const typed::Line t = typed::Split(line);
    if (t.word == "/help") {
        for (const char* h : kTypedHelp) view_.Report("help", h);
        return true;
    }
    if (t.word == "/enter") {
        std::uint32_t id = 0;
        if (t.args.size() != 1 || !typed::ParseUserId(t.args[0], id))
            view_.ShowTip("usage: /enter ROOM");
        else
            EnterRoom(id);
        return true;
    }
    for (IRoomFeature* f : features_)
        if (f->OnTypedCommand(line)) return true;
    return false;
}

void CRoomSession::OnSpeakerState(std::uint32_t userId, bool speaking) {
    if (userId == 0) return;
    view_.Report("speaking", std::to_string(userId) + (speaking ? " on" : " off"));
    for (IRoomFeature* f : features_) f->OnSpeakers(userId, speaking);
}

void CRoomSession::SetUserGagged(std::uint32_t userId, bool gagged) {
    auto it = users_.find(userId);
    if (it == users_.end()) return;
    it->second.gagged = gagged;
    userList_.SetGag(it->second, gagged);
    if (userId != me_.userId) return;
    gagged_ = gagged;
    myRecord_ = it->second;
}

void CRoomSession::SetUserRole(std::uint32_t userId, std::uint8_t role) {
    auto it = users_.find(userId);
    if (it == users_.end()) return;
    it->second.role = role;
    Decorate(it->second);
    userList_.UpdateRole(it->second);
    if (userId == me_.userId) {
        myRole_ = role;
        myRecord_ = it->second;
        view_.SetEnabled("Combo_Room_mode", myRole_ < 8);
        view_.SetVisible("bnt_sign", myRole_ == 7);
    }
    for (IRoomFeature* f : features_) f->OnRoleChanged(userId);
}

void CRoomSession::SetUserWealth(std::uint32_t userId, const WealthRecord& w) {
    const auto grade = static_cast<std::int32_t>(std::min<std::uint32_t>(w.grade, INT32_MAX));
    auto it = users_.find(userId);
    if (it != users_.end() && it->second.wealthGrade != grade) {
        RoomUser& u = it->second;
        u.wealthGrade = grade;
        u.nameColour = ParseColour(w.colour);
        u.gradeText = w.text;
        u.medalUrl = w.medalUrl;
        Decorate(u);
        userList_.UpdateWealthGrade(u);
        if (userId == me_.userId) myRecord_ = u;
    }
    if (userId != me_.userId) return;
    me_.card.wealth_grade = w.grade;
    me_.card.wealth_colour = w.colour;
    me_.card.wealth_text = w.text;
    me_.card.medal_url = w.medalUrl;
}

void CRoomSession::SetRoomMode(std::uint32_t mode) {
    roomMode_ = mode;
    ShowRoomMode();
}

void CRoomSession::ShowRoomMode() {
    const int index = roomMode_ == 2 ? 0 : roomMode_ == 1 ? 1 : roomMode_ == 4 ? 2 : -1;
    view_.SetSelection("Combo_Room_mode", index);
    for (IRoomFeature* f : features_) f->OnRoomModeShown(roomMode_);
}

void CRoomSession::AppendSystemLine(const std::string& view, const std::string& text) {
    ChatEntry e;
    e.kind = chat_kind::notice;
    e.text = text;
    ChatRenderContext c;
    c.time = clock_.Now();
    c.roomStyle = ParseChatStyle(chatFont_);
    c.minimised = view_.Minimised();
    RenderChatEntry(view_.ChatView(view), e, c);
}
