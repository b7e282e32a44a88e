// The chat relay: a line from a member goes to the rest of the room, or to
// its receiver only, once the sender's membership, gag flag, powers and the
// room's chat interval allow it. The client checks the same things first;
// these checks are the ones that hold.
#include <string_view>
#include <tuple>
#include <vector>

#include "chat/chat_code.h"
#include "core/log.h"
#include "net/catalogue_chat.h"
#include "net/commands.h"
#include "net/fields.h"
#include "net/power.h"
#include "platform/text/text.h"
#include "server/room_chat.h"
#include "server/room_handler.h"
#include "server/room_wire.h"

namespace server {

namespace {

constexpr std::uint8_t kChatChannel = 1;

struct ChatRefusal : wire::status {
    static constexpr std::uint32_t id = cmd::Control_Send_Chat_Req + 1;
    static constexpr auto fields() { return std::tuple{}; }
};

template <class Msg>
std::string Encode(const Msg& m) {
    TLV::body b;
    if (!wire::write_fields(b, m)) return {};
    const unsigned char* bytes = nullptr;
    std::size_t n = 0;
    b.encode(bytes, n);
    return std::string(reinterpret_cast<const char*>(bytes), n);
}

void RefuseLine(const SessionPtr& s, std::uint32_t code, const char* text) {
    ChatRefusal r;
    r.message = text;
    r.code = code;
    const std::string body = Encode(r);
    s->Send(kChatChannel, ChatRefusal::id, body);
}

// The sender's own style texts: passed on when they are of a size a client
// writes, dropped otherwise, so the relayed line always fits.
constexpr std::size_t kMaxStyleBytes = 256;

void KeepIfShort(std::string& text) {
    if (text.size() > kMaxStyleBytes) text.clear();
}

}  // namespace

bool CRoomHandler::VoicesKnown(std::string_view line) const {
    // Read as readers read it: UTF-8 repaired, every "@" a possible start.
    const std::string text = text::RepairUtf8(line);
    for (std::size_t i = text.find('@'); i != std::string::npos; i = text.find('@', i + 1))
        if (const auto clip = chatcode::ReadVoiceClip(text, i))
            if (!voiceKnown_ || !voiceKnown_(clip->value)) return false;
    return true;
}

bool CRoomHandler::SetGagged(std::uint32_t room, std::uint32_t user, bool gagged) {
    std::lock_guard<std::mutex> g(lock_);
    auto r = members_.find(room);
    if (r == members_.end()) return false;
    auto m = r->second.find(user);
    if (m == r->second.end()) return false;
    m->second.gagged = gagged;
    m->second.Encode(user);
    return true;
}

void CRoomHandler::SendChat(const SessionPtr& s, const unsigned char* body, std::size_t n) {
    const auto req = wire::decode<msg::Control_Send_Chat_Req>(body, n);

    // Who is speaking, as this server knows them.
    std::uint32_t room = 0;
    Member sender;
    {
        std::lock_guard<std::mutex> g(lock_);
        auto it = sessions_.find(s->id());
        if (it == sessions_.end()) return;
        const Binding b = it->second.chat;
        if (b.live()) {
            auto r = members_.find(b.room);
            if (r != members_.end()) {
                auto m = r->second.find(b.user);
                if (m != r->second.end() && m->second.session == s->id()) {
                    room = b.room;
                    sender = m->second;
                }
            }
        }
        if (room != 0 && req.user_id != b.user)
            return RefuseLine(s, room_error::bad_request, kTextOtherUser);
    }
    if (room == 0) return RefuseLine(s, room_error::not_logged_in, kTextNotLoggedIn);
    const std::uint32_t me = req.user_id;

    if (req.line.empty()) return RefuseLine(s, chat_error::empty, "发送内容不能为空");
    if (req.line.size() > kMaxChatLineBytes)
        return RefuseLine(s, chat_error::too_long, "发送消息内容超长，请分条发送。");
    if (req.kind != 0 && req.receiver_id == 0)
        return RefuseLine(s, chat_error::no_receiver, "对方不在房间");
    if (sender.gagged) return RefuseLine(s, chat_error::gagged, "你已被禁言！");
    if (!RoleHasPower(sender.role, power_id::chat) ||
        // A picture takes its own power; readers' decoder decides what is one.
        (chatcode::CarriesStoredPicture(req.line) &&
         !RoleHasPower(sender.role, power_id::chat_picture)))
        return RefuseLine(s, chat_error::no_power, "无权限!");
    if (!VoicesKnown(req.line)) return RefuseLine(s, chat_error::no_voice, "语音消息不存在");
    const auto record = CachedRoom(room);
    const std::uint32_t intervalMs = record ? record->chatInterval * 1000u : 0;

    msg::Control_Chat_Notify note;
    note.sender_id = me;
    note.sender_name = sender.nickname;
    note.receiver_id = req.kind != 0 ? req.receiver_id : 0;
    note.style = req.kind;
    note.attrs = req.attrs;
    // What others see of the sender is what the server knows, not what the
    // line claims.
    note.attrs.nickname = sender.nickname;
    note.attrs.role = sender.role;
    note.attrs.sex = static_cast<std::uint8_t>(sender.card.profile_byte);
    note.attrs.wealth_grade = sender.card.wealth_grade;
    note.attrs.vip_level = sender.card.vip_level;
    if (note.attrs.vip_level == 0) note.attrs.vip_data.clear();
    KeepIfShort(note.attrs.colour);
    KeepIfShort(note.attrs.font);
    KeepIfShort(note.attrs.vip_data);

    std::vector<SessionPtr> to;
    {
        std::lock_guard<std::mutex> g(lock_);
        auto r = members_.find(room);
        // The sender may have left or been dropped meanwhile.
        if (r == members_.end() || !r->second.count(me) || r->second[me].session != s->id())
            return RefuseLine(s, room_error::not_logged_in, kTextNotLoggedIn);
        if (r->second[me].gagged) return RefuseLine(s, chat_error::gagged, "你已被禁言！");
        const std::uint32_t now = clock_.TickMs();
        if (auto last = lastChatTick_.find(me);
            intervalMs != 0 && last != lastChatTick_.end() && now - last->second < intervalMs)
            return RefuseLine(s, chat_error::too_soon, "发言太快，请稍后再发");
        const auto session_of = [&](const Member& m) -> SessionPtr {
            auto o = sessions_.find(m.session);
            return o == sessions_.end() ? SessionPtr() : o->second.s;
        };
        if (note.receiver_id != 0) {
            auto target = r->second.find(note.receiver_id);
            if (target == r->second.end())
                return RefuseLine(s, chat_error::no_receiver, "对方不在房间");
            note.receiver_name = target->second.nickname;
            if (SessionPtr p = session_of(target->second)) to.push_back(std::move(p));
        } else {
            for (const auto& [id, m] : r->second)
                if (id != me)
                    if (SessionPtr p = session_of(m)) to.push_back(std::move(p));
        }
        lastChatTick_[me] = now;
    }

    // The bytes of the line as they came; the line field is raw on the way out.
    note.line =
        wire::bytes(reinterpret_cast<const unsigned char*>(req.line.data()), req.line.size());
    const std::string out = Encode(note);
    if (out.empty()) {
        log_err("room: chat line of user %u does not fit", me);
        return;
    }
    // Encoded once, the same bytes queued for every listener.
    const SharedPacket packet = CSharedPacket::Make(kChatChannel, msg::Control_Chat_Notify::id, out);
    for (const SessionPtr& p : to) p->Send(packet);
}

}  // namespace server
