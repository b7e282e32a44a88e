#include "server/purchase_service.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <optional>

#include "core/log.h"
#include "net/json.h"
#include "server/account_service.h"
#include "server/account_store.h"
#include "server/catalogue_service.h"
#include "server/http/json_reply.h"

namespace server {

namespace {

constexpr std::size_t kMaxBody = 16 * 1024;
constexpr const char* kAppId = "100005";
// The push types of the room's chat (Control_Push_Data_Notify).
constexpr int kPushGift = 3;
constexpr int kPushCar = 5;
constexpr int kPushFlower = 6;

using json_reply::Fail;

void Send(HttpResponse& res, const PurchaseOutcome& o) {
    if (!o.ok()) return Fail(res, o.status, o.code, o.error.c_str());
    res.status = 200;
    res.SetContent(o.answer, json_reply::kType);
}

// A positive 32-bit id given as a JSON number, else 0.
std::uint32_t Id(const json::value& v, const char* name) {
    const json::value m = v.get(name);
    if (!m.is_number()) return 0;
    const double d = m.as_double();
    if (!(d >= 1 && d <= 4294967295.0) || std::floor(d) != d) return 0;
    return static_cast<std::uint32_t>(d);
}

// The count: absent means one; otherwise a whole number within [1, most].
std::optional<std::uint32_t> Count(const json::value& v, std::uint32_t most) {
    const json::value m = v.get("count");
    if (!m) return 1u;
    if (!m.is_number()) return std::nullopt;
    const double d = m.as_double();
    if (!(d >= 1 && d <= most) || std::floor(d) != d) return std::nullopt;
    return static_cast<std::uint32_t>(d);
}

std::uint32_t NowMs() {
    using namespace std::chrono;
    return static_cast<std::uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

}  // namespace

CPurchaseService::CPurchaseService(CServerDb& db, CPurchaseStore& store, CRoomHandler& rooms,
                                   IClock& clock, PurchaseOptions options)
    : db_(db),
      store_(store),
      rooms_(rooms),
      clock_(clock),
      options_(options),
      limiter_(options.requestsPerSecond, options.requestBurst) {}

bool CPurchaseService::Allow(std::uint32_t user) {
    std::lock_guard<std::mutex> g(lock_);
    return limiter_.Allow(user, NowMs());
}

void CPurchaseService::NoteHost(const HttpRequest& req) {
    // Pictures are linked to the host the clients reach the services at;
    // a room login carries none, so the last one named is kept for it.
    const std::string base = CatalogueBaseUrl(req);
    if (base.rfind("http://", 0) != 0) return;
    std::string host = base.substr(7);
    const auto colon = host.rfind(':');
    if (colon != std::string::npos && host.find(']', colon) == std::string::npos)
        host.resize(colon);
    std::lock_guard<std::mutex> g(lock_);
    host_ = host;
}

std::string CPurchaseService::PictureUrl(const std::string& itemType, const ItemPicture& p) {
    if (p.empty()) return {};
    std::lock_guard<std::mutex> g(lock_);
    return "http://" + host_ + ":" + std::to_string(cataloguePort_.load()) + "/res/" + itemType +
           "/" + p.digest + "." + p.ext;
}

std::uint32_t CPurchaseService::Begin(const HttpRequest& req, HttpResponse& res, json::value& body) {
    if (req.body.size() > kMaxBody) {
        Fail(res, 413, purchase_error::too_large, "请求内容过长");
        return 0;
    }
    const std::uint32_t me = AuthorisedUser(db_, clock_, req, res);
    if (!me) return 0;
    if (!Allow(me)) {
        Fail(res, 429, purchase_error::too_many, "操作太频繁，请稍后再试");
        return 0;
    }
    body = req.body.empty() ? json::value::object() : json::value::parse(req.body);
    if (!body.is_object()) {
        Fail(res, 400, account_error::bad_request, "请求格式错误");
        return 0;
    }
    NoteHost(req);
    return me;
}

void CPurchaseService::Purchase(const HttpRequest& req, HttpResponse& res, bool gift) {
    json::value body;
    const std::uint32_t me = Begin(req, res, body);
    if (!me) return;
    PurchaseRequest r;
    r.user = me;
    r.requestId = body.get_string("request");
    if (!IsRequestId(r.requestId))
        return Fail(res, 400, purchase_error::bad_request_id, "请求编号无效");
    r.kind = gift ? kKindGift : Id(body, "kind");
    if (r.kind != kKindGift && r.kind != kKindCar && r.kind != kKindPack && r.kind != kKindVip)
        return Fail(res, 400, account_error::bad_request, "请求格式错误");
    if (!gift && r.kind == kKindGift)  // gifts have a receiver: their own route
        return Fail(res, 400, account_error::bad_request, "请求格式错误");
    r.item = Id(body, "item");
    if (!r.item) return Fail(res, 404, purchase_error::no_item, "商品不存在");
    const auto count = Count(body, r.kind == kKindGift ? kMaxGiftCount : 1);
    if (!count) {
        return Fail(res, 400, purchase_error::bad_count,
                    gift ? "礼物数量应在1到9999之间" : "每次只能购买一件");
    }
    r.count = *count;
    r.now = clock_.Now();
    if (gift) {
        r.room = Id(body, "room");
        r.receiver = Id(body, "receiver");
        if (!r.room) return Fail(res, 400, account_error::bad_request, "请求格式错误");
    } else {
        r.receiver = me;
    }
    // A repeat is answered as before, whatever the room looks like now.
    if (auto seen = store_.Replay(me, r.requestId, r.Content())) return Send(res, *seen);
    if (gift) {
        if (!db_.RoomById(r.room)) return Fail(res, 404, account_error::no_room, "房间不存在");
        if (!rooms_.ChatIn(me, r.room)) return Fail(res, 403, purchase_error::not_in_room, "你不在这个房间");
        if (!r.receiver) return Fail(res, 409, purchase_error::no_receiver, "没有可以接收礼物的主播");
        if (r.receiver == me) return Fail(res, 409, purchase_error::not_to_self, "不能给自己送礼物");
        if (rooms_.AnchorOf(r.room) != r.receiver)
            return Fail(res, 409, purchase_error::no_receiver, "对方不是本房间的主播");
    }
    const PurchaseOutcome o = store_.Buy(r);
    if (o.result == PurchaseOutcome::Result::done) {
        log_msg("purchase: user %u kind %u item %u x%u to %u in room %u", me, r.kind, r.item,
                r.count, r.receiver, r.room);
        if (gift) PushGift(r, o);
    }
    Send(res, o);
}

void CPurchaseService::PushGift(const PurchaseRequest& r, const PurchaseOutcome& o) {
    json::value v = json::value::object();
    v.set("kampoId", static_cast<std::int64_t>(r.user));
    v.set("recevierKampoId", static_cast<std::int64_t>(r.receiver));
    v.set("goodsId", static_cast<std::int64_t>(r.item));
    v.set("goodsName", o.itemName);
    v.set("goodsType", std::to_string(r.kind));
    v.set("goodsItems", static_cast<std::int64_t>(r.count));
    v.set("iconUrl", PictureUrl(o.itemType, o.icon));
    v.set("giftPicUrl", PictureUrl(o.itemType, o.chatPic));
    v.set("nickname", o.giverName);
    v.set("recevierNickname", o.receiverName);
    v.set("recharge", std::int64_t{1});  // the giver's balance changed
    v.set("charmValue", static_cast<std::int64_t>(std::min<std::uint64_t>(o.charm, INT64_MAX)));
    v.set("appId", kAppId);
    v.set("roomId", static_cast<std::int64_t>(r.room));
    rooms_.PushToRoom(r.room, kPushGift, v.dump());
}

void CPurchaseService::Flower(const HttpRequest& req, HttpResponse& res) {
    json::value body;
    const std::uint32_t me = Begin(req, res, body);
    if (!me) return;
    const std::string id = body.get_string("request");
    if (!IsRequestId(id)) return Fail(res, 400, purchase_error::bad_request_id, "请求编号无效");
    const std::uint32_t room = Id(body, "room");
    const std::uint32_t anchor = Id(body, "anchor");
    if (!room) return Fail(res, 400, account_error::bad_request, "请求格式错误");
    const std::string content =
        "flower room=" + std::to_string(room) + " anchor=" + std::to_string(anchor);
    if (auto seen = store_.Replay(me, id, content)) return Send(res, *seen);
    if (!db_.RoomById(room)) return Fail(res, 404, account_error::no_room, "房间不存在");
    if (!rooms_.ChatIn(me, room)) return Fail(res, 403, purchase_error::not_in_room, "你不在这个房间");
    if (!anchor) return Fail(res, 409, purchase_error::no_receiver, "没有可以接收鲜花的主播");
    if (anchor == me) return Fail(res, 409, purchase_error::not_to_self, "不能给自己送花");
    if (rooms_.AnchorOf(room) != anchor)
        return Fail(res, 409, purchase_error::no_receiver, "对方不是本房间的主播");
    const PurchaseOutcome o = store_.GiveFlower(me, id, room, anchor, clock_.Now());
    if (o.result == PurchaseOutcome::Result::done) PushFlower(room, me, anchor);
    Send(res, o);
}

void CPurchaseService::PushFlower(std::uint32_t room, std::uint32_t giver, std::uint32_t anchor) {
    // What the room shows of the giver comes from the tables, not the request.
    const FlowerGiver f = store_.GiverOf(giver);
    const WealthGrade& grade = GradeForSpending(f.spent);
    std::string host;
    {
        std::lock_guard<std::mutex> g(lock_);
        host = host_;
    }
    json::value ext = json::value::object();
    ext.set("headUrl", f.headUrl);
    ext.set("msgContentColor", grade.colour);
    ext.set("role", static_cast<std::int64_t>(db_.RoomRole(room, giver, clock_.Now())));
    ext.set("sex", static_cast<std::int64_t>(f.sex));
    ext.set("medalIconUrl", "http://" + host + ":" + std::to_string(medalPort_.load()) +
                                "/wealth/" + std::to_string(grade.grade) + ".png");
    ext.set("nickname", f.nickname);
    json::value v = json::value::object();
    v.set("kampoId", static_cast<std::int64_t>(giver));
    v.set("recevierKampoId", static_cast<std::int64_t>(anchor));
    v.set("roomId", static_cast<std::int64_t>(room));
    v.set("ext", ext);
    rooms_.PushToRoom(room, kPushFlower, v.dump());
}

void CPurchaseService::Recharge(const HttpRequest& req, HttpResponse& res) {
    json::value body;
    const std::uint32_t me = Begin(req, res, body);
    if (!me) return;
    const std::string id = body.get_string("request");
    if (!IsRequestId(id)) return Fail(res, 400, purchase_error::bad_request_id, "请求编号无效");
    if (!options_.demoRecharge)
        return Fail(res, 403, purchase_error::recharge_closed, "本服务器不支持在线充值");
    const PurchaseOutcome o = store_.Recharge(me, id, options_.rechargeCoins, clock_.Now());
    if (o.result == PurchaseOutcome::Result::done)
        log_msg("purchase: user %u recharged %llu demo coins", me,
                static_cast<unsigned long long>(options_.rechargeCoins));
    Send(res, o);
}

void CPurchaseService::ActivateCar(const HttpRequest& req, HttpResponse& res) {
    json::value body;
    const std::uint32_t me = Begin(req, res, body);
    if (!me) return;
    const std::uint32_t car = Id(body, "car");
    if (!car) return Fail(res, 404, purchase_error::no_car, "座驾不存在或已过期");
    Send(res, store_.ActivateCar(me, car, clock_.Now()));
}

void CPurchaseService::AnnounceCar(std::uint32_t room, std::uint32_t user) {
    const auto car = store_.ActiveCarOf(user, clock_.Now());
    if (!car) return;
    json::value v = json::value::object();
    v.set("carName", car->name);
    v.set("carIconUrl", PictureUrl("4", car->icon));
    v.set("nickname", store_.NicknameOf(user));
    v.set("kampoId", static_cast<std::int64_t>(user));
    rooms_.PushToRoom(room, kPushCar, v.dump());
}

void CPurchaseService::Mount(CHttpServer& s) {
    s.Route("POST", "/account/gift",
            [this](const HttpRequest& req, HttpResponse& res) { Purchase(req, res, true); });
    s.Route("POST", "/account/buy",
            [this](const HttpRequest& req, HttpResponse& res) { Purchase(req, res, false); });
    s.Route("POST", "/account/flower",
            [this](const HttpRequest& req, HttpResponse& res) { Flower(req, res); });
    s.Route("POST", "/account/recharge",
            [this](const HttpRequest& req, HttpResponse& res) { Recharge(req, res); });
    s.Route("POST", "/account/activate-car",
            [this](const HttpRequest& req, HttpResponse& res) { ActivateCar(req, res); });
}

}  // namespace server
