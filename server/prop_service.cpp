#include "server/prop_service.h"

#include <string>

#include "core/log.h"
#include "net/json.h"
#include "server/http/json_reply.h"
#include "server/account_service.h"
#include "server/account_store.h"
#include "server/purchase_store.h"
#include "server/room_service.h"

namespace server {

namespace {

// The video-text prop: its text scrolls over the video of everyone in the
// room (push type 8, inner type "1").
constexpr std::uint32_t kPropVideoText = 1;
constexpr std::size_t kMaxVideoText = 128;
constexpr int kPushPropUse = 8;

using json_reply::Answer;
using json_reply::Fail;

std::uint32_t Id(const json::value& v, const char* name) {
    const json::value m = v.get(name);
    if (!m.is_number()) return 0;
    const std::int64_t n = m.as_int();
    return n > 0 && n <= 0xFFFFFFFFll ? static_cast<std::uint32_t>(n) : 0;
}

// A use done: the entry and what is left in it.
void AnswerUsed(CServerDb& db, std::uint32_t entry, std::uint32_t prop, HttpResponse& res) {
    const auto left = db.PropEntryById(entry);
    json::value v = json::value::object();
    v.set("code", std::int64_t{0});
    v.set("entry", static_cast<std::int64_t>(entry));
    v.set("prop", static_cast<std::int64_t>(prop));
    v.set("count", static_cast<std::int64_t>(left ? left->count : 0));
    Answer(res, 200, v);
}

// Text that scrolls over everyone's video: 1–128 bytes of UTF-8 without
// control characters (a NUL would cut it short, a line break would break it).
bool IsShowableText(const std::string& t) {
    if (t.empty() || t.size() > kMaxVideoText) return false;
    for (std::size_t i = 0; i < t.size();) {
        const auto c = static_cast<unsigned char>(t[i]);
        if (c < 0x20 || c == 0x7F) return false;
        std::size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        if (n == 0 || (n == 2 && c < 0xC2) || i + n > t.size()) return false;
        for (std::size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(t[i + k]) & 0xC0) != 0x80) return false;
        if (n == 2 && c == 0xC2 && static_cast<unsigned char>(t[i + 1]) < 0xA0)
            return false;  // C1 controls
        i += n;
    }
    return true;
}

// The video-text prop: spent, then its text goes to the room.
void UseVideoText(CServerDb& db, CRoomHandler& rooms, std::uint32_t me, std::uint32_t room,
                  std::uint32_t entry, const std::string& text, HttpResponse& res) {
    if (!IsShowableText(text))
        return Fail(res, 400, purchase_error::bad_text, "字幕应为1到128字节且不含控制字符");
    if (!rooms.ChatIn(me, room)) return Fail(res, 403, service_error::forbidden, "你不在这个房间");
    if (!db.InTransaction([&] { return db.SpendProp(entry, me, kPropVideoText); }))
        return Fail(res, 409, prop_error::used_up, "道具数量不足");
    const auto user = db.UserById(me);
    const std::string nickname = user ? user->nickname : std::string();
    json::value push = json::value::object();
    push.set("kampoId", static_cast<std::int64_t>(me));
    push.set("operateId", static_cast<std::int64_t>(me));
    push.set("nickName", nickname);
    push.set("operateName", nickname);
    push.set("propName", "上视频");
    push.set("extMsg", text);
    push.set("msgType", "1");
    rooms.PushToRoom(room, kPushPropUse, push.dump());
    AnswerUsed(db, entry, kPropVideoText, res);
}

void GiveProp(CServerDb& db, CRoomHandler& rooms, IClock& clock, const HttpRequest& req,
              HttpResponse& res) {
    if (req.body.size() > 16 * 1024) return Fail(res, 413, purchase_error::too_large, "请求内容过长");
    const std::uint32_t me = AuthorisedUser(db, clock, req, res);
    if (!me) return;
    const json::value body = json::value::parse(req.body);
    if (!body.is_object()) return Fail(res, 400, account_error::bad_request, "请求格式错误");
    const std::uint32_t room = Id(body, "room");
    const std::uint32_t receiver = Id(body, "receiver");
    const std::uint32_t entry = Id(body, "entry");
    if (!room || !receiver || !entry)
        return Fail(res, 400, account_error::bad_request, "请求格式错误");
    // One card per use: a count of more would spend one and pretend.
    if (const json::value count = body.get("count");
        count && (!count.is_number() || count.as_int() != 1))
        return Fail(res, 400, account_error::bad_request, "每次只能使用一个道具");
    if (!db.RoomById(room)) return Fail(res, 404, account_error::no_room, "房间不存在");

    // Another user's entry answers as a missing one: entries are not probed.
    const auto found = db.PropEntryById(entry);
    if (!found || found->user != me) return Fail(res, 404, prop_error::no_entry, "道具不存在");
    const std::uint32_t prop = found->prop;
    if (prop != kPropVideoText && prop != kPropGagCard && prop != kPropCancelGagCard)
        return Fail(res, 400, prop_error::unsupported, "该道具不能这样使用");
    if (found->count == 0) return Fail(res, 409, prop_error::used_up, "道具数量不足");
    if (prop == kPropVideoText) {
        // The JSON reader ends a text at an escaped NUL: seen here, it would
        // show only the part before it.
        if (req.body.find("\\u0000") != std::string::npos)
            return Fail(res, 400, purchase_error::bad_text, "字幕应为1到128字节且不含控制字符");
        return UseVideoText(db, rooms, me, room, entry, body.get_string("text"), res);
    }

    const bool gag = prop == kPropGagCard;
    const auto use = rooms.GagByCard(room, me, receiver, gag, "entry " + std::to_string(entry),
                                     [&] { return db.SpendProp(entry, me, prop); });
    using U = CRoomHandler::CardUse;
    switch (use) {
        case U::done:
            break;
        case U::caller_not_in_room:
            return Fail(res, 403, service_error::forbidden, "你不在这个房间");
        case U::target_not_in_room:
            return Fail(res, 409, prop_error::not_in_room, "对方不在房间");
        case U::on_self:
            return Fail(res, 409, prop_error::not_on_self, "不能对自己使用禁言卡");
        case U::already:
            return Fail(res, 409, prop_error::already, gag ? "对方已被禁言" : "对方未被禁言");
        case U::not_spent:  // used up by another use meanwhile
            return Fail(res, 409, prop_error::used_up, "道具数量不足");
        case U::failed:
            return Fail(res, 500, account_error::internal, "服务器内部错误");
    }
    AnswerUsed(db, entry, prop, res);
}

}  // namespace

void MountPropRoute(CHttpServer& http, CServerDb& db, CRoomHandler& rooms, IClock& clock) {
    http.Route("POST", "/account/give-prop",
               [&db, &rooms, &clock](const HttpRequest& req, HttpResponse& res) {
                   GiveProp(db, rooms, clock, req, res);
               });
}

}  // namespace server
