#include "server/account_service.h"

#include <algorithm>
#include <cctype>

#include "core/log.h"
#include "net/json.h"
#include "server/http/json_reply.h"

namespace server {

namespace {

constexpr std::size_t kMaxBody = 16 * 1024;
constexpr std::size_t kMaxName = 64;
constexpr std::size_t kMaxPassword = 256;
constexpr std::int64_t kMaxBillboard = 100;

// The period names of the billboards, by list number.
constexpr const char* kPeriods[] = {"DAY", "WEEK", "MONTH", "ALL"};
constexpr std::int64_t kPeriodSeconds[] = {86400, 7 * 86400, 30 * 86400, 0};

using json_reply::Answer;
using json_reply::Fail;

json::value Ok() {
    json::value v = json::value::object();
    v.set("code", std::int64_t{0});
    return v;
}

// The body as a JSON object; an empty body counts as {}.
bool ParseBody(const HttpRequest& req, HttpResponse& res, json::value& out) {
    if (req.body.empty()) {
        out = json::value::object();
        return true;
    }
    out = json::value::parse(req.body);
    if (!out.is_object()) {
        Fail(res, 400, account_error::bad_request, "请求格式错误");
        return false;
    }
    return true;
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// A user id from a member: a positive number that fits 32 bits, else 0.
std::uint32_t IdMember(const json::value& v, const char* name) {
    const std::int64_t n = v.get_int(name);
    return n > 0 && n <= 0xFFFFFFFFll ? static_cast<std::uint32_t>(n) : 0;
}

// Host part of the Host header, for links to the picture service.
std::string RequestHost(const HttpRequest& req) {
    std::string h = req.Header("Host");
    if (h.empty()) return "127.0.0.1";
    if (h.front() == '[') {
        const auto end = h.find(']');
        return end == std::string::npos ? "127.0.0.1" : h.substr(0, end + 1);
    }
    const auto colon = h.find(':');
    return colon == std::string::npos ? h : h.substr(0, colon);
}

json::value WealthJson(CAccountStore& store, std::uint32_t user, const std::string& host,
                       std::uint16_t medalPort) {
    const std::uint64_t spent = store.TotalSpent(user);
    const WealthGrade& g = GradeForSpending(spent);
    json::value w = json::value::object();
    w.set("grade", static_cast<std::int64_t>(g.grade));
    w.set("colour", g.colour);
    w.set("text", g.text);
    w.set("medal", "http://" + host + ":" + std::to_string(medalPort) + "/wealth/" +
                       std::to_string(g.grade) + ".png");
    w.set("spent", static_cast<std::int64_t>(std::min<std::uint64_t>(spent, INT64_MAX)));
    return w;
}

std::uint32_t VipLevel(CAccountStore& store, std::uint32_t user, std::int64_t now) {
    std::uint32_t level = 0;
    for (const VipEntry& v : store.Vips(user, now)) level = std::max(level, v.level);
    return level;
}

}  // namespace

CAccountService::CAccountService(CServerDb& db, CAccountStore& store, IClock& clock,
                                 AccountOptions options)
    : db_(db),
      store_(store),
      clock_(clock),
      options_(std::move(options)),
      accountFailures_(options_.perAccount),
      addressFailures_(options_.perAddress) {}

std::uint32_t AuthorisedUser(CServerDb& db, IClock& clock, const HttpRequest& req,
                             HttpResponse& res) {
    const std::string idText = req.Header("X-Zeri-User");
    const std::string auth = req.Header("Authorization");
    static constexpr const char kBearer[] = "Bearer ";
    std::uint32_t user = 0;
    if (!idText.empty() && idText.size() <= 10 &&
        std::all_of(idText.begin(), idText.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        const unsigned long long v = std::stoull(idText);
        if (v <= 0xFFFFFFFFull) user = static_cast<std::uint32_t>(v);
    }
    if (user == 0 || auth.rfind(kBearer, 0) != 0) {
        Fail(res, 401, account_error::bad_token, "登录已失效，请重新登录");
        return 0;
    }
    switch (db.CheckToken(user, auth.substr(sizeof kBearer - 1), clock.Now())) {
        case TokenCheck::ok: return user;
        case TokenCheck::expired:
            Fail(res, 401, account_error::bad_token, "登录已过期，请重新登录");
            return 0;
        default:
            Fail(res, 401, account_error::bad_token, "登录已失效，请重新登录");
            return 0;
    }
}

void CAccountService::Login(const HttpRequest& req, HttpResponse& res) {
    json::value body;
    if (!ParseBody(req, res, body)) return;
    const std::string name = body.get_string("name");
    const std::string password = body.get_string("password");
    if (name.empty() || password.empty() || name.size() > kMaxName ||
        password.size() > kMaxPassword)
        return Fail(res, 400, account_error::bad_request, "请输入用户名和密码");
    const std::int64_t now = clock_.Now();
    // Guesses are counted per account and address, so that nobody elsewhere
    // can lock the owner out, and per address across accounts.
    const std::string accountKey = Lower(name) + '\n' + req.remoteAddress;
    const std::string& addressKey = req.remoteAddress;
    std::int64_t wait = 0;
    if (!addressFailures_.Begin(addressKey, now, &wait)) {
        res.SetHeader("Retry-After", std::to_string(wait));
        return Fail(res, 429, account_error::too_many_attempts, "尝试次数过多，请稍后再试");
    }
    if (!accountFailures_.Begin(accountKey, now, &wait)) {
        addressFailures_.End(addressKey, now, false);
        res.SetHeader("Retry-After", std::to_string(wait));
        return Fail(res, 429, account_error::too_many_attempts, "尝试次数过多，请稍后再试");
    }
    const auto id = db_.CheckPassword(name, password);
    accountFailures_.End(accountKey, now, !id);
    addressFailures_.End(addressKey, now, !id);
    if (!id) {
        log_msg("account: sign-in refused for '%s' from %s", name.c_str(),
                req.remoteAddress.c_str());
        return Fail(res, 401, account_error::wrong_password, "用户名或密码错误");
    }
    SignedIn(*id, now, body.get_bool("keep"), res);
}

void CAccountService::SignedIn(std::uint32_t id, std::int64_t now, bool keep, HttpResponse& res) {
    const std::string token = db_.IssueToken(id, now, options_.tokenSeconds);
    const auto user = db_.UserById(id);
    if (token.empty() || !user) return Fail(res, 500, account_error::internal, "服务器内部错误");
    json::value v = Ok();
    v.set("id", static_cast<std::int64_t>(id));
    v.set("token", token);
    v.set("expires", now + options_.tokenSeconds);
    v.set("nickname", user->nickname);
    if (keep) {
        const std::string kept = db_.IssueKeepToken(id, now, options_.keepSeconds);
        if (kept.empty()) return Fail(res, 500, account_error::internal, "服务器内部错误");
        v.set("keep", kept);
        v.set("keep_expires", now + options_.keepSeconds);
    }
    Answer(res, 200, v);
}

void CAccountService::LoginKept(const HttpRequest& req, HttpResponse& res) {
    json::value body;
    if (!ParseBody(req, res, body)) return;
    const std::int64_t idValue = body.get_int("id");
    const std::string kept = body.get_string("keep");
    if (idValue <= 0 || idValue > 0xFFFFFFFFll || kept.empty())
        return Fail(res, 400, account_error::bad_request, "请输入用户名和密码");
    const auto id = static_cast<std::uint32_t>(idValue);
    const std::int64_t now = clock_.Now();
    // Guessed kept secrets count like guessed passwords from that address.
    const std::string& addressKey = req.remoteAddress;
    std::int64_t wait = 0;
    if (!addressFailures_.Begin(addressKey, now, &wait)) {
        res.SetHeader("Retry-After", std::to_string(wait));
        return Fail(res, 429, account_error::too_many_attempts, "尝试次数过多，请稍后再试");
    }
    const TokenCheck check = db_.CheckKeepToken(id, kept, now);
    addressFailures_.End(addressKey, now, check != TokenCheck::ok);
    if (check != TokenCheck::ok)
        return Fail(res, 401, account_error::wrong_password, "记住的登录已失效，请输入密码");
    SignedIn(id, now, false, res);
}

void CAccountService::Mount(CHttpServer& s) {

    auto authorise = [this](const HttpRequest& req, HttpResponse& res) {
        return AuthorisedUser(db_, clock_, req, res);
    };

    s.Route("POST", "/account/hello", [](const HttpRequest&, HttpResponse& res) {
        json::value v = Ok();
        v.set("service", "zeri-account");
        v.set("version", std::int64_t{1});
        Answer(res, 200, v);
    });

    s.Route("POST", "/account/login",
            [this](const HttpRequest& req, HttpResponse& res) { Login(req, res); });

    s.Route("POST", "/account/login-kept",
            [this](const HttpRequest& req, HttpResponse& res) { LoginKept(req, res); });

    s.Route("POST", "/account/logout", [this, authorise](const HttpRequest& req, HttpResponse& res) {
        const std::uint32_t me = authorise(req, res);
        if (!me) return;
        // "forget": the kept sign-in ends too (the user no longer wants it).
        json::value body = json::value::parse(req.body);
        if (body.is_object() && body.get_bool("forget") && !db_.RevokeKeepToken(me))
            return Fail(res, 500, account_error::internal, "服务器内部错误");
        if (!db_.RevokeToken(me)) return Fail(res, 500, account_error::internal, "服务器内部错误");
        // The relay sessions opened with the token end with it.
        if (options_.onSignOut) options_.onSignOut(me);
        Answer(res, 200, Ok());
    });

    s.Route("POST", "/account/detail", [this, authorise](const HttpRequest& req, HttpResponse& res) {
        const std::uint32_t me = authorise(req, res);
        json::value body;
        if (!me || !ParseBody(req, res, body)) return;
        const std::uint32_t id = body.get("id") ? IdMember(body, "id") : me;
        const auto user = id ? db_.UserById(id) : std::nullopt;
        if (!user) return Fail(res, 404, account_error::no_user, "用户不存在");
        const Profile p = store_.GetProfile(id);
        json::value v = Ok();
        v.set("id", static_cast<std::int64_t>(id));
        if (id == me) v.set("name", user->name);  // the sign-in name is nobody else's business
        v.set("nickname", user->nickname);
        v.set("sex", std::int64_t{user->sex});
        v.set("head", p.headUrl);
        v.set("wealth", WealthJson(store_, id, RequestHost(req), medalPort_));
        v.set("vip", static_cast<std::int64_t>(VipLevel(store_, id, clock_.Now())));
        Answer(res, 200, v);
    });

    s.Route("POST", "/account/balance", [this, authorise](const HttpRequest& req, HttpResponse& res) {
        const std::uint32_t me = authorise(req, res);
        if (!me) return;
        const Wallet w = store_.GetWallet(me);
        json::value v = Ok();
        v.set("id", static_cast<std::int64_t>(me));
        v.set("coins", static_cast<std::int64_t>(std::min<std::uint64_t>(w.coins, INT64_MAX)));
        v.set("pelto", static_cast<std::int64_t>(std::min<std::uint64_t>(w.pelto, INT64_MAX)));
        Answer(res, 200, v);
    });

    s.Route("POST", "/account/wealth", [this, authorise](const HttpRequest& req, HttpResponse& res) {
        const std::uint32_t me = authorise(req, res);
        json::value body;
        if (!me || !ParseBody(req, res, body)) return;
        const std::uint32_t id = body.get("id") ? IdMember(body, "id") : me;
        if (!id || !db_.UserById(id)) return Fail(res, 404, account_error::no_user, "用户不存在");
        json::value v = WealthJson(store_, id, RequestHost(req), medalPort_);
        v.set("code", std::int64_t{0});
        v.set("id", static_cast<std::int64_t>(id));
        Answer(res, 200, v);
    });

    s.Route("POST", "/account/cars", [this, authorise](const HttpRequest& req, HttpResponse& res) {
        const std::uint32_t me = authorise(req, res);
        if (!me) return;
        json::value list = json::value::array();
        for (const CarEntry& c : store_.Cars(me, clock_.Now())) {
            json::value e = json::value::object();
            e.set("id", static_cast<std::int64_t>(c.carId));
            e.set("name", c.name);
            e.set("expiry", c.expiry);
            e.set("active", std::int64_t{c.active ? 1 : 0});
            list.append(e);
        }
        json::value v = Ok();
        v.set("id", static_cast<std::int64_t>(me));
        v.set("cars", list);
        Answer(res, 200, v);
    });

    s.Route("POST", "/account/vips", [this, authorise](const HttpRequest& req, HttpResponse& res) {
        const std::uint32_t me = authorise(req, res);
        if (!me) return;
        json::value list = json::value::array();
        std::uint32_t level = 0;
        for (const VipEntry& e : store_.Vips(me, clock_.Now())) {
            json::value j = json::value::object();
            j.set("id", static_cast<std::int64_t>(e.vipId));
            j.set("level", static_cast<std::int64_t>(e.level));
            j.set("name", e.name);
            j.set("expiry", e.expiry);
            list.append(j);
            level = std::max(level, e.level);
        }
        json::value v = Ok();
        v.set("id", static_cast<std::int64_t>(me));
        v.set("level", static_cast<std::int64_t>(level));
        v.set("vips", list);
        Answer(res, 200, v);
    });

    s.Route("POST", "/account/pack", [this, authorise](const HttpRequest& req, HttpResponse& res) {
        const std::uint32_t me = authorise(req, res);
        if (!me) return;
        json::value list = json::value::array();
        for (const PackEntry& p : store_.Pack(me)) {
            json::value e = json::value::object();
            e.set("entry", static_cast<std::int64_t>(p.entryId));
            e.set("prop", static_cast<std::int64_t>(p.propId));
            e.set("name", p.name);
            e.set("count", static_cast<std::int64_t>(p.count));
            e.set("value", static_cast<std::int64_t>(p.value));
            list.append(e);
        }
        json::value v = Ok();
        v.set("id", static_cast<std::int64_t>(me));
        v.set("pack", list);
        Answer(res, 200, v);
    });

    s.Route("POST", "/account/level", [this, authorise](const HttpRequest& req, HttpResponse& res) {
        const std::uint32_t me = authorise(req, res);
        json::value body;
        if (!me || !ParseBody(req, res, body)) return;
        const std::uint32_t id = body.get("id") ? IdMember(body, "id") : me;
        if (!id || !db_.UserById(id)) return Fail(res, 404, account_error::no_user, "用户不存在");
        const UserLevel l = LevelForExperience(store_.GetProfile(id).experience +
                                               store_.TotalSpent(id));
        json::value v = Ok();
        v.set("id", static_cast<std::int64_t>(id));
        v.set("level", static_cast<std::int64_t>(l.level));
        v.set("experience", static_cast<std::int64_t>(std::min<std::uint64_t>(l.experience, INT64_MAX)));
        v.set("next", static_cast<std::int64_t>(std::min<std::uint64_t>(l.next, INT64_MAX)));
        v.set("title", "Lv." + std::to_string(l.level));
        Answer(res, 200, v);
    });

    s.Route("POST", "/account/billboard", [this, authorise](const HttpRequest& req, HttpResponse& res) {
        const std::uint32_t me = authorise(req, res);
        json::value body;
        if (!me || !ParseBody(req, res, body)) return;
        const std::int64_t period = body.get_int("period");
        const std::int64_t start = body.get_int("start");
        std::int64_t count = body.get("count") ? body.get_int("count") : 20;
        if (period < 0 || period > 3 || start < 0 || start > 100000 || count < 1)
            return Fail(res, 400, account_error::bad_request, "请求格式错误");
        count = std::min(count, kMaxBillboard);
        const std::int64_t now = clock_.Now();
        const std::int64_t since = kPeriodSeconds[period] ? now - kPeriodSeconds[period] : 0;
        const std::string host = RequestHost(req);
        json::value list = json::value::array();
        for (const BillboardRow& r : store_.Billboard(since, static_cast<std::uint32_t>(start),
                                                      static_cast<std::uint32_t>(count))) {
            const auto user = db_.UserById(r.userId);
            json::value e = json::value::object();
            e.set("id", static_cast<std::int64_t>(r.userId));
            e.set("nickname", user ? user->nickname : std::string());
            e.set("amount", static_cast<std::int64_t>(std::min<std::uint64_t>(r.amount, INT64_MAX)));
            e.set("vip", static_cast<std::int64_t>(VipLevel(store_, r.userId, now)));
            e.set("head", store_.GetProfile(r.userId).headUrl);
            e.set("wealth", WealthJson(store_, r.userId, host, medalPort_));
            list.append(e);
        }
        json::value v = Ok();
        v.set("period", kPeriods[period]);
        v.set("entries", list);
        Answer(res, 200, v);
    });

    s.Route("POST", "/account/flowers", [this, authorise](const HttpRequest& req, HttpResponse& res) {
        const std::uint32_t me = authorise(req, res);
        json::value body;
        if (!me || !ParseBody(req, res, body)) return;
        const std::uint32_t anchor = IdMember(body, "anchor");
        if (!anchor) return Fail(res, 400, account_error::bad_request, "请求格式错误");
        json::value v = Ok();
        v.set("anchor", static_cast<std::int64_t>(anchor));
        v.set("count", static_cast<std::int64_t>(std::min<std::uint64_t>(store_.Flowers(anchor), INT64_MAX)));
        Answer(res, 200, v);
    });

    s.Route("POST", "/account/room-login", [this, authorise](const HttpRequest& req, HttpResponse& res) {
        const std::uint32_t me = authorise(req, res);
        json::value body;
        if (!me || !ParseBody(req, res, body)) return;
        const std::uint32_t room = IdMember(body, "room");
        if (!room) return Fail(res, 400, account_error::bad_request, "请求格式错误");
        if (!db_.RoomById(room)) return Fail(res, 400, account_error::no_room, "房间不存在");
        if (!store_.SetLastRoom(me, room)) return Fail(res, 500, account_error::internal, "服务器内部错误");
        Answer(res, 200, Ok());
    });
}

}  // namespace server
