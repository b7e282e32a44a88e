#include "room/room_chat.h"

#include <filesystem>

#include "chat/chat_code.h"
#include "chat/code_text.h"
#include "core/log.h"
#include "core/paths.h"
#include "platform/kitlib/kitlib.h"
#include "platform/text/text.h"
#include "room/push_data.h"

namespace {

constexpr const char* kRecvChat = "Edit_RecvChat";
constexpr const char* kVipChat = "Edit_VipChat";
constexpr const char* kGiftChat = "Edit_PrivateChat";

constexpr std::uint32_t kWhite = 0xFFFFFF;
// The program's own application id: its gifts carry the product marker.
constexpr std::int64_t kOwnAppId = 100005;
// Roles below this one see the product marker on gift lines.
constexpr std::uint32_t kMarkerRoleLimit = 8;
// Sex in my chat attributes: not known to the room, sent as "unknown".

// The answer to a line: only the server's text when it was refused.
struct SendChatAnswer : wire::status {
    static constexpr auto fields() { return std::tuple{}; }
};

// Placeholders of gift and car pictures share views with the stored chat
// pictures; their keys start far above the ones those hand out.
constexpr ChatObjectKey kFirstIconKey = ChatObjectKey(1) << 62;

bool FileExists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

std::string StripLeadingSpaces(const std::string& s) {
    std::size_t i = 0;
    while (i < s.size() && s[i] == ' ') ++i;
    return s.substr(i);
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view SkipBlanks(std::string_view s, std::size_t from) {
    while (from < s.size() && IsBlank(s[from])) ++from;
    return s.substr(from);
}

// "/to" as a word of its own: "/tomato" is text.
bool IsToCommand(std::string_view typed) {
    return typed.substr(0, 3) == "/to" && (typed.size() == 3 || IsBlank(typed[3]));
}

// "/to ID text": a user id (1 to 2^32-1), blanks, then a text that is not empty.
bool ParseTo(std::string_view typed, std::uint32_t& receiver, std::string_view& text) {
    const std::string_view after = SkipBlanks(typed, 3);
    std::size_t digits = 0;
    std::uint64_t id = 0;
    for (; digits < after.size() && after[digits] >= '0' && after[digits] <= '9'; ++digits) {
        id = id * 10 + static_cast<std::uint64_t>(after[digits] - '0');
        if (id > 0xFFFFFFFFu) return false;
    }
    if (digits == 0 || id == 0 || digits == after.size() || !IsBlank(after[digits])) return false;
    const std::string_view rest = SkipBlanks(after, digits);
    if (rest.empty()) return false;
    receiver = static_cast<std::uint32_t>(id);
    text = rest;
    return true;
}

}  // namespace

CRoomChat::CRoomChat(CRoomSession& session, IRoomAccount& account, IChatTransfers& transfers,
                     const CFaceTable& faces, RoomChatSetup setup)
    : session_(session),
      account_(account),
      transfers_(transfers),
      faces_(faces),
      setup_(std::move(setup)),
      pictures_(transfers, !setup_.imageFolder.empty()
                               ? setup_.imageFolder
                               : paths::UserFolder(session.myUserId()) + "Image/"),
      sender_(transfers),
      nextIconKey_(kFirstIconKey) {
    setup_.programFolder =
        setup_.programFolder.empty() ? paths::ExeFolder() : paths::WithSlash(setup_.programFolder);
    setup_.dataFolder =
        setup_.dataFolder.empty() ? paths::DataFolder() : paths::WithSlash(setup_.dataFolder);
    session_.AddFeature(this);
}

CRoomChat::~CRoomChat() { session_.RemoveFeature(this); }

void CRoomChat::SetMyStyle(std::uint32_t colour, std::string fontSettings) {
    myColour_ = colour & 0xFFFFFF;
    myFont_ = std::move(fontSettings);
}

void CRoomChat::SetFlowerCount(std::uint32_t n) {
    flowers_ = n;
    session_.view().SetText("text_flower", std::to_string(flowers_));
}

// --- rendering helpers ---------------------------------------------------------

ChatRenderContext CRoomChat::Context(bool ownLine, bool serverLine) {
    ChatRenderContext c;
    c.time = session_.clock().Now();
    c.roomStyle = ParseChatStyle(session_.chatFont());
    c.decode.faces = &faces_;
    c.decode.pictures = &pictures_;
    c.decode.voices = &voices_;
    c.decode.programFolder = setup_.programFolder;
    c.options.ownLine = ownLine;
    c.options.pictureUrls = serverLine;
    c.minimised = session_.view().Minimised();
    return c;
}

IChatView& CRoomChat::LineView(std::uint32_t vipLevel) {
    IRoomView& v = session_.view();
    if (vipLevel == 0) return v.ChatView(kRecvChat);
    if (!vipShown_) {
        v.SetVisible("VerVipCat", true);
        vipShown_ = true;
    }
    return v.ChatView(kVipChat);
}

std::string CRoomChat::WealthIcon(std::uint32_t userId) const {
    const auto& users = session_.users();
    auto it = users.find(userId);
    if (it == users.end() || it->second.medalUrl.empty()) return {};
    const std::string name = UrlFileName(it->second.medalUrl);
    if (name.empty()) return {};
    const std::string path = setup_.dataFolder + "res/wealth/" + name;
    return FileExists(path) ? path : std::string();
}

std::string CRoomChat::VipIcon(std::uint32_t level) const {
    if (level == 0 || !setup_.vipIcon) return {};
    return setup_.vipIcon(level);
}

// --- sending ---------------------------------------------------------------------

CRoomChat::SendResult CRoomChat::Refuse(SendResult r) {
    const char* tip = nullptr;
    switch (r) {
        case SendResult::empty:
            tip = "发送内容不能为空";
            break;
        case SendResult::too_long:
            tip = "发送消息内容超长，请分条发送。";
            break;
        case SendResult::gagged:
            tip = "你已被禁言！";
            break;
        case SendResult::no_power:
            tip = "无权限!";
            break;
        case SendResult::not_in_room:
            tip = "请先进入房间";
            break;
        case SendResult::no_receiver:
            tip = "对方不在房间";
            break;
        case SendResult::not_sent:
            tip = "网络未连接，发送失败";
            break;
        case SendResult::usage:
            tip = "usage: /to ID text";
            break;
        case SendResult::sent:
        case SendResult::too_soon:
        case SendResult::command:
            break;
    }
    if (tip) session_.view().ShowTip(tip);
    return r;
}

CRoomChat::SendResult CRoomChat::CheckBeforeSending(Check check) {
    if (!session_.loggedIn()) return Refuse(SendResult::not_in_room);
    if (check == Check::full && sentOnce_ &&
        session_.clock().TickMs() - lastSentTick_ < session_.chatIntervalMs())
        return SendResult::too_soon;
    return SendResult::sent;
}

CRoomChat::SendResult CRoomChat::SendInput(const IChatInput& input, std::uint32_t receiverId) {
    if (SendResult r = CheckBeforeSending(Check::full); r != SendResult::sent) return r;
    const std::string code = StripLeadingSpaces(EncodeInput(input));
    if (code.empty()) return Refuse(SendResult::empty);
    if (text::Utf16Length(ToPlainText(code, faces_)) > kMaxChatUnits)
        return Refuse(SendResult::too_long);
    if (session_.gagged()) return Refuse(SendResult::gagged);
    // Checked before the echo: a line the server would never get must not
    // look sent.
    if (!session_.powers().HasPower(session_.myRole(), power_id::chat))
        return Refuse(SendResult::no_power);
    if (receiverId != 0 && !session_.users().count(receiverId))
        return Refuse(SendResult::no_receiver);
    return SendCode(code, receiverId, true);
}

CRoomChat::SendResult CRoomChat::SendLine(const std::string& typed) {
    std::uint32_t receiver = 0;
    std::string_view rest = typed;
    const std::string_view command = SkipBlanks(typed, 0);
    if (!command.empty() && command[0] == '/' && session_.OnTypedCommand(std::string(command)))
        return SendResult::command;
    if (IsToCommand(command)) {
        // Sending a mistyped private line publicly would show it to the
        // whole room: it is refused instead.
        if (!ParseTo(command, receiver, rest)) return Refuse(SendResult::usage);
    }
    CChatInputBuffer input;
    input.Text(rest);
    return SendInput(input, receiver);
}

CRoomChat::SendResult CRoomChat::SendPicture(const std::string& path, std::uint32_t receiverId) {
    if (SendResult r = CheckBeforeSending(Check::full); r != SendResult::sent) return r;
    if (session_.gagged()) return Refuse(SendResult::gagged);
    const CPowerTable& powers = session_.powers();
    if (!powers.HasPower(session_.myRole(), power_id::chat) ||
        !powers.HasPower(session_.myRole(), power_id::chat_picture))
        return Refuse(SendResult::no_power);
    if (receiverId != 0 && !session_.users().count(receiverId))
        return Refuse(SendResult::no_receiver);
    const CPictureSender::Started started = sender_.Send(path, transfers_.PictureHost());
    if (!started.ok) {
        session_.view().ShowTip(started.error);
        return SendResult::not_sent;
    }
    Echo(started.echoCode, receiverId);
    uploadReceivers_[started.ticket] = receiverId;
    return SendResult::sent;
}

msg::chat_attrs CRoomChat::MyAttrs() const {
    const MyAccount& me = session_.me();
    msg::chat_attrs a;
    a.nickname = me.nickname;
    a.role = session_.myRole();
    a.sex = me.sex;
    a.colour = msg::chat_colour(static_cast<std::uint8_t>(myColour_ >> 16),
                                static_cast<std::uint8_t>(myColour_ >> 8),
                                static_cast<std::uint8_t>(myColour_));
    a.font = myFont_;
    a.wealth_grade = me.card.wealth_grade;
    a.vip_level = me.card.vip_level;
    return a;
}

CRoomChat::SendResult CRoomChat::SendCode(const std::string& code, std::uint32_t receiverId,
                                          bool echo) {
    const std::uint8_t kind = receiverId != 0 ? chat_kind::directed : chat_kind::public_line;
    const auto req = msg::make_chat_req(session_.myUserId(), code, kind, receiverId, MyAttrs());
    if (!session_.link().Send(req)) return Refuse(SendResult::not_sent);
    if (echo) Echo(code, receiverId);
    lastSentTick_ = session_.clock().TickMs();
    sentOnce_ = true;
    return SendResult::sent;
}

void CRoomChat::Echo(const std::string& code, std::uint32_t receiverId) {
    const MyAccount& me = session_.me();
    ChatEntry e;
    e.kind = receiverId != 0 ? chat_kind::directed : chat_kind::public_line;
    e.senderId = me.userId;
    e.senderName = me.nickname;
    e.receiverId = receiverId;
    if (receiverId != 0) {
        auto it = session_.users().find(receiverId);
        if (it != session_.users().end()) e.receiverName = it->second.nickname;
    }
    e.textColour = myColour_;
    e.text = code;
    e.wealthIcon = WealthIcon(me.userId);
    e.vipIcon = VipIcon(me.card.vip_level);
    RenderChatEntry(LineView(me.card.vip_level), e, Context(true, false));
}

void CRoomChat::OnUploadDone(const TransferDone& done) {
    const CPictureSender::Finished f = sender_.OnAnswer(done.ticket, done.ok, UploadedFileId(done));
    auto it = uploadReceivers_.find(done.ticket);
    if (it == uploadReceivers_.end()) return;  // sent from a room since left
    const std::uint32_t receiver = it->second;
    uploadReceivers_.erase(it);
    if (!f.ok) {
        session_.view().ShowTip(f.error);
        return;
    }
    SendStored(f.code, receiver, false);
}

CRoomChat::SendResult CRoomChat::CheckMaySend() {
    if (SendResult r = CheckBeforeSending(Check::no_interval); r != SendResult::sent) return r;
    if (session_.gagged()) return Refuse(SendResult::gagged);
    if (!session_.powers().HasPower(session_.myRole(), power_id::chat))
        return Refuse(SendResult::no_power);
    return SendResult::sent;
}

CRoomChat::SendResult CRoomChat::SendStored(const std::string& code, std::uint32_t receiverId,
                                            bool echo) {
    // The user pressed the button before the interval could matter; the
    // rest is checked again, the room may have changed during the upload.
    if (!session_.loggedIn()) return SendResult::not_in_room;
    if (SendResult r = CheckMaySend(); r != SendResult::sent) return r;
    return SendCode(code, receiverId, echo);
}

// --- receiving ---------------------------------------------------------------------

bool CRoomChat::OnPacket(std::uint32_t command, const unsigned char* body, std::size_t length) {
    switch (command) {
        case cmd::Control_Chat_Notify:
            OnChatNotify(body, length);
            return true;
        case cmd::Control_Push_Data_Notify:
            OnPush(body, length);
            return true;
        case cmd::Control_Send_Chat_Req + 1:
            OnSendAnswer(body, length);
            return true;
        default:
            return false;
    }
}

void CRoomChat::OnSendAnswer(const unsigned char* body, std::size_t length) {
    const auto r = wire::decode<SendChatAnswer>(body, length);
    if (r.ok()) return;
    log_msg("send chat  fail=%s\r\n", r.message.c_str());
    session_.view().ShowTip(r.message);
}

void CRoomChat::OnChatNotify(const unsigned char* body, std::size_t length) {
    const auto r = wire::decode<msg::Control_Chat_Notify>(body, length);
    if (!r.ok()) {
        log_msg("chat notify  error=%s\r\n", r.message.c_str());
        return;
    }
    const std::string text = text::RepairUtf8(msg::chat_line_text(r.line));
    ChatEntry e;
    // The style byte carries the kind the sender chose; only an addressed
    // line is shown "to" someone.
    e.kind =
        (r.style == chat_kind::directed || r.style == chat_kind::directed2) && r.receiver_id != 0
            ? r.style
            : chat_kind::public_line;
    e.style = r.style;
    e.senderId = r.sender_id;
    e.senderName = !r.sender_name.empty() ? r.sender_name : r.attrs.nickname;
    e.receiverId = r.receiver_id;
    e.receiverName = r.receiver_name;
    if (e.receiverName.empty() && r.receiver_id == session_.myUserId())
        e.receiverName = session_.me().nickname;
    if (auto it = session_.users().find(r.sender_id); it != session_.users().end())
        e.nameColour = it->second.nameColour;
    e.textColour = ParseColour(r.attrs.colour);
    e.text = ExpandFaceTags(text, faces_);
    e.wealthIcon = WealthIcon(r.sender_id);
    e.vipIcon = VipIcon(r.attrs.vip_level);
    if (r.attrs.vip_level != 0) e.vipData = r.attrs.vip_data;
    RenderChatEntry(LineView(r.attrs.vip_level), e, Context(false, false));
}

void CRoomChat::OnPush(const unsigned char* body, std::size_t length) {
    const auto r = wire::decode<msg::Control_Push_Data_Notify>(body, length);
    if (!r.ok()) {
        log_msg("OnTLVCommand_Control_Push_Data_Notify  error=%s \r\n", r.message.c_str());
        return;
    }
    const auto data = SplitPushData(msg::chat_line_text(r.json));
    if (!data) return;
    switch (data->type) {
        // Plain text: its slashes are shown as sent, not read as codes.
        case push_type::system_text:
            PushSystem(chatcode::EscapeText(data->payload));
            break;
        case push_type::picture:
            PushSystem("@$#PIC:" + data->payload + ":0\"");
            break;
        case push_type::gift:
        case push_type::gift_charm:
        case push_type::wish_gift:
            PushGift(data->payload);
            break;
        case push_type::car:
            PushCar(data->payload);
            break;
        case push_type::flower:
            PushFlower(data->payload);
            break;
        case push_type::prop:
            PushProp(data->payload);
            break;
        default:
            break;
    }
}

void CRoomChat::PushSystem(const std::string& code) {
    ChatEntry e;
    e.kind = chat_kind::system;
    e.senderName = "系统消息";
    e.nameColour = FromBgr(0x300f1);
    e.textColour = FromBgr(0xa0aff);
    e.headImage = "skin/normal_head.png";
    e.text = code;
    RenderChatEntry(session_.view().ChatView(kRecvChat), e, Context(false, true));
}

void CRoomChat::AppendIcon(IChatView& view, unsigned doneMessage, const std::string& folder,
                           const std::string& url, ShowPictureKey show, std::string* path,
                           bool* pending) {
    *pending = false;
    const std::string name = UrlFileName(url);
    const std::string waiting = WaitingImagePath(setup_.programFolder);
    if (name.empty()) {
        // Nothing to fetch: the waiting picture stays, as for a failed download.
        *path = waiting;
        view.AppendImage(waiting);
        return;
    }
    *path = setup_.dataFolder + folder + name;
    if (FileExists(*path)) {
        view.AppendImage(*path);
        return;
    }
    const ChatObjectKey key = nextIconKey_++;
    view.AppendPlaceholder(key, waiting);
    auto& waits = iconWaits_[*path];
    if (waits.empty() && !transfers_.FetchIcon(doneMessage, url, *path)) {
        iconWaits_.erase(*path);
        return;
    }
    waits.push_back({&view, key, show});
    *pending = true;
}

void CRoomChat::OnIconDone(const TransferDone& done) {
    auto it = iconWaits_.find(done.destination);
    if (it == iconWaits_.end()) return;
    const bool ok = done.ok && FileExists(done.destination);
    for (const IconWait& w : it->second) {
        // A picture that could not be fetched stays the waiting picture.
        if (ok) w.view->ReplacePlaceholder(w.key, done.destination);
        if (w.show) session_.view().Shows().PictureDone(w.show, ok);
    }
    iconWaits_.erase(it);
}

void CRoomChat::PushGift(const std::string& json) {
    const auto g = ParseGiftPush(json);
    if (!g) return;
    if (g->giverId == session_.myUserId() && g->recharge == 1) account_.RequestBalance();
    IChatView& view = session_.view().ChatView(kGiftChat);
    const std::uint32_t gold = FromBgr(0xf0f0);
    const ChatTextFormat white = MakeFormat("宋体", 12, kWhite, true);
    const ChatTextFormat name = MakeFormat("宋体", 12, gold, true);
    view.AppendText(" " + ClockText(session_.clock().Now()) + " ", white);
    view.AppendText(g->giverName, name);
    view.AppendText("送出", white);
    view.AppendText(g->receiverName, white);
    const ShowPictureKey show = nextShowKey_++;
    std::string icon;
    bool pending = false;
    AppendIcon(view, UM_GIFT_ICON_DONE, "res/globalgift/", g->iconUrl, show, &icon, &pending);
    const int shown = ClampShowCount(g->count);
    std::string count = " X" + std::to_string(shown);
    if (g->appId == kOwnAppId && session_.myRole() < kMarkerRoleLimit) count += " (zeri)";
    view.AppendText(count, name);
    view.AppendLineBreak();
    TrimChatView(view, session_.view().Minimised());
    view.ScrollToEnd();
    session_.view().Shows().QueueGift(g->giverName, icon, shown, pending ? show : 0);
}

void CRoomChat::PushCar(const std::string& json) {
    const auto c = ParseCarPush(json);
    if (!c) return;
    log_msg("car url =%s\r\n", c->iconUrl.c_str());
    IChatView& view = session_.view().ChatView(kRecvChat);
    view.AppendText(c->nickname + "开着" + c->carName + "进来了",
                    MakeFormat("宋体", 11, FromBgr(0xa0aff)));
    view.AppendLineBreak();
    const ShowPictureKey show = nextShowKey_++;
    std::string picture;
    bool pending = false;
    AppendIcon(view, UM_CAR_ICON_DONE, "res/globalcar/", c->iconUrl, show, &picture, &pending);
    view.AppendLineBreak();
    TrimChatView(view, session_.view().Minimised());
    view.ScrollToEnd();
    session_.view().Shows().QueueCar(c->nickname, c->carName, picture, pending ? show : 0);
}

void CRoomChat::PushFlower(const std::string& json) {
    if (!FlowerPushCounts(json)) return;
    SetFlowerCount(flowers_ + 1);
}

void CRoomChat::PushProp(const std::string& json) {
    const auto p = ParsePropPush(json);
    if (!p) return;
    if (p->innerType == "1") {
        session_.view().Shows().ScrollVideoText(p->extMsg);
        return;
    }
    if (p->innerType != "2") return;
    IChatView& view = session_.view().ChatView(kRecvChat);
    const auto run = [&](const std::string& text, std::uint32_t bgr) {
        view.AppendText(text, MakeFormat("宋体", 10, FromBgr(bgr)));
    };
    run(p->nickname, 0xf18914);
    run("用", 0xd2d2d2);
    run(p->propName, 0xff);
    run("把", 0xd2d2d2);
    run(p->targetName, 0xf18914);
    run(p->extMsg, 0xd2d2d2);
    view.AppendLineBreak();
    TrimChatView(view, session_.view().Minimised());
    view.ScrollToEnd();
}

// --- completions and lifecycle ---------------------------------------------------

bool CRoomChat::OnTransferMessage(unsigned message, const KitlibAnswer* answer) {
    switch (message) {
        case UM_CHAT_PICTURE_DONE:
        case UM_CHAT_UPLOAD_DONE:
        case UM_GIFT_ICON_DONE:
        case UM_CAR_ICON_DONE:
            break;
        default:
            return false;
    }
    for (const TransferDone& done : transfers_.TakeAnswer(message, answer)) {
        switch (done.message) {
            case UM_CHAT_PICTURE_DONE:
                pictures_.OnFetched(done.source, done.ok);
                break;
            case UM_CHAT_UPLOAD_DONE:
                OnUploadDone(done);
                break;
            default:
                OnIconDone(done);
                break;
        }
    }
    return true;
}

bool CRoomChat::OnWindowMessage(const WindowMessage& m) {
    return OnTransferMessage(m.msg, m.As<KitlibAnswer>());
}

void CRoomChat::OnRoomCleared() {
    pictures_.Clear();
    voices_.Clear();
    iconWaits_.clear();
    uploadReceivers_.clear();
    sentOnce_ = false;
    vipShown_ = false;
    flowers_ = 0;
    session_.view().SetText("text_flower", "0");
}
