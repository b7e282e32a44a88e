#include "server/room_service.h"

#include <algorithm>
#include <cstdlib>
#include <functional>

#include "core/log.h"
#include "net/json.h"
#include "server/http/json_reply.h"
#include "net/power.h"
#include "server/account_service.h"
#include "server/password.h"
#include "server/prop_service.h"
#include "server/room_directory.h"

namespace server {

namespace {

constexpr const char* kJson = "application/json; charset=utf-8";
constexpr const char* kTooBig = "图片太大，不能超过4MB";
constexpr const char* kVoiceTooBig = "语音消息太大";

using json_reply::Answer;
using json_reply::Fail;

// The "m=LB" services answer {"CMD", "CODE", "ERROR"} in capitals.
json::value LbAnswer(int cmd, int code, const char* error) {
    json::value v = json::value::object();
    v.set("CMD", static_cast<std::int64_t>(cmd));
    v.set("CODE", static_cast<std::int64_t>(code));
    if (error) v.set("ERROR", error);
    return v;
}

std::uint32_t Id(const json::value& v, const char* name) {
    const std::int64_t n = v.get_int(name);
    return n > 0 && n <= 0xFFFFFFFFll ? static_cast<std::uint32_t>(n) : 0;
}

std::uint32_t ColourValue(const std::string& text) {
    if (text.size() < 2) return 0;
    return static_cast<std::uint32_t>(std::strtoul(text.c_str() + 1, nullptr, 16)) & 0xFFFFFF;
}

// A picture reference a push may carry: our own stored id, or a web URL
// that fits in a stored-picture code (no quote, no blank, at most 255).
bool PushablePictureUrl(const std::string& s) {
    if (s.size() > 255 || !(s.rfind("http://", 0) == 0 || s.rfind("https://", 0) == 0))
        return false;
    return std::all_of(s.begin(), s.end(), [](char c) { return c > 0x20 && c < 0x7f && c != '"'; });
}

void PutLe(std::string& out, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

}  // namespace

std::string VestBadge(std::uint32_t rgb, bool woman) {
    constexpr int kSide = 16;
    constexpr std::uint32_t kRow = kSide * 3;  // a multiple of 4: no row padding
    std::string out = "BM";
    PutLe(out, 54 + kRow * kSide, 4);
    PutLe(out, 0, 4);
    PutLe(out, 54, 4);
    PutLe(out, 40, 4);
    PutLe(out, kSide, 4);
    PutLe(out, kSide, 4);
    PutLe(out, 1, 2);
    PutLe(out, 24, 2);
    PutLe(out, 0, 4);
    PutLe(out, kRow * kSide, 4);
    PutLe(out, 2835, 4);
    PutLe(out, 2835, 4);
    PutLe(out, 0, 4);
    PutLe(out, 0, 4);
    const auto pixel = [&](std::uint32_t c) {
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>((c >> 8) & 0xFF);
        out += static_cast<char>((c >> 16) & 0xFF);
    };
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            const bool edge = x == 0 || y == 0 || x == kSide - 1 || y == kSide - 1;
            const bool centre = x >= 5 && x <= 10 && y >= 5 && y <= 10;
            pixel(edge ? 0x202020 : (woman && centre) ? 0xFFFFFF : rgb);
        }
    return out;
}

CRoomService::CRoomService(CServerDb& db, CRoomHandler& rooms, CPictureStore& pictures,
                           CVoiceStore& voices, IClock& clock, RoomServiceOptions options)
    : db_(db),
      rooms_(rooms),
      pictures_(pictures),
      voices_(voices),
      clock_(clock),
      options_(std::move(options)),
      uploads_(options_.uploadsPerSecond, options_.uploadBurst),
      adminFailures_(CFailureThrottle::Policy{5, 2, 300, 900}) {}

bool CRoomService::AllowUpload(const std::string& address) {
    std::lock_guard<std::mutex> g(uploadLock_);
    return uploads_.Allow(std::hash<std::string>{}(address), clock_.TickMs());
}

std::string CRoomService::PowerListAnswer(std::uint32_t user, const std::string& token) {
    if (user == 0 || token.empty() ||
        db_.CheckToken(user, token, clock_.Now()) != TokenCheck::ok)
        return LbAnswer(kPowerListAnswer, account_error::bad_token, "登录已失效，请重新登录").dump();
    json::value list = json::value::array();
    for (const PowerRule& r : db_.PowerRules()) {
        json::value e = json::value::object();
        e.set("powerid", static_cast<std::int64_t>(r.powerId));
        e.set("role", static_cast<std::int64_t>(r.role));
        e.set("by_role", static_cast<std::int64_t>(r.byRole));
        e.set("yes_no", static_cast<std::int64_t>(r.yesNo));
        list.append(e);
    }
    json::value obj = json::value::object();
    // The list travels as JSON text inside the answer, as clients read it.
    obj.set("power", list.dump());
    json::value v = LbAnswer(kPowerListAnswer, 0, nullptr);
    v.set("OBJ", obj);
    return v.dump();
}

std::string CRoomService::RolesAnswer(const std::string& hostPort) {
    json::value roles = json::value::array();
    for (const RoleRecord& r : db_.Roles()) {
        const std::string base = "http://" + hostPort + "/vest/" + std::to_string(r.id);
        json::value e = json::value::object();
        e.set("role", static_cast<std::int64_t>(r.id));
        e.set("role_name", r.name);
        e.set("color", r.colour);
        e.set("woman_icon", base + "_w.bmp");
        e.set("man_icon", base + "_m.bmp");
        roles.append(e);
    }
    json::value obj = json::value::object();
    obj.set("xRole", roles);
    json::value v = LbAnswer(kRolesAnswer, 0, nullptr);
    v.set("OBJ", obj);
    return v.dump();
}

bool CRoomService::ReserveShare(std::uint32_t user, std::uint64_t bytes) {
    std::lock_guard<std::mutex> g(uploadLock_);
    std::uint64_t& inFlight = uploading_[user];
    const std::uint64_t used = db_.PictureBytesOf(user) + inFlight;
    if (used + bytes > options_.userPictureQuotaBytes) {
        if (inFlight == 0) uploading_.erase(user);
        return false;
    }
    inFlight += bytes;
    return true;
}

void CRoomService::ReleaseShare(std::uint32_t user, std::uint64_t bytes) {
    std::lock_guard<std::mutex> g(uploadLock_);
    auto it = uploading_.find(user);
    if (it == uploading_.end()) return;
    it->second -= std::min(it->second, bytes);
    if (it->second == 0) uploading_.erase(it);
}

bool CRoomService::AdmitUpload(const HttpRequest& req, HttpResponse& res) {
    const std::string name = req.Param("f");
    const std::string type = req.Param("t");
    if (name.empty() || name.size() > 255 || (type != "8" && type != "9")) {
        Fail(res, 400, account_error::bad_request, "上传参数错误");
        return false;
    }
    const std::uint32_t user = AuthorisedUser(db_, clock_, req, res);
    if (!user) return false;
    if (!AllowUpload(req.remoteAddress)) {
        Fail(res, 429, service_error::busy, "上传太频繁，请稍后再试");
        return false;
    }
    // A declared length is checked before a byte is read.
    const std::string length = req.Header("Content-Length");
    const std::uint64_t declared = length.empty() ? 0 : std::strtoull(length.c_str(), nullptr, 10);
    if (type == "9") {
        if (declared <= amr::kMaxFileBytes) return true;
        Fail(res, 413, service_error::too_large, kVoiceTooBig);
        return false;
    }
    if (declared > 0 && db_.PictureBytesOf(user) + declared > options_.userPictureQuotaBytes) {
        Fail(res, 507, service_error::user_quota, "你的图片空间已满");
        return false;
    }
    return true;
}

void CRoomService::UploadVoice(const HttpRequest& req, HttpResponse& res) {
    std::string id;
    const CVoiceStore::Put put = voices_.Store(req.body, id);
    switch (put.result) {
        case CVoiceStore::Put::Result::ok: {
            json::value v = json::value::object();
            v.set("code", std::int64_t{0});
            v.set("file_id", id);
            return Answer(res, 200, v);
        }
        case CVoiceStore::Put::Result::bad_file:
            if (put.fault == amr::FileError::too_large)
                return Fail(res, 413, service_error::too_large, kVoiceTooBig);
            return Fail(res, 415, service_error::not_voice, amr::FileErrorText(put.fault));
        case CVoiceStore::Put::Result::full:
            log_err("voices: store full, upload of %zu bytes refused", req.body.size());
            return Fail(res, 507, service_error::store_full, "语音空间已满");
        case CVoiceStore::Put::Result::io_error:
            break;
    }
    Fail(res, 500, account_error::internal, "服务器内部错误");
}

void CRoomService::Upload(const HttpRequest& req, HttpResponse& res) {
    if (req.Param("t") == "9") return UploadVoice(req, res);
    // The token was checked when the head came; it is read again for the id.
    const std::uint32_t user = AuthorisedUser(db_, clock_, req, res);
    if (!user) return;
    if (!ReserveShare(user, req.body.size()))
        return Fail(res, 507, service_error::user_quota, "你的图片空间已满");
    std::string id;
    const CPictureStore::Put put = pictures_.Store(req.body, id);
    if (put == CPictureStore::Put::ok && !db_.AddPicture(id, user, req.body.size(), clock_.Now()))
        log_err("pictures: owner of %s not recorded", id.c_str());
    ReleaseShare(user, req.body.size());
    switch (put) {
        case CPictureStore::Put::ok: {
            json::value v = json::value::object();
            v.set("code", std::int64_t{0});
            v.set("file_id", id);
            return Answer(res, 200, v);
        }
        case CPictureStore::Put::empty:
            return Fail(res, 400, account_error::bad_request, "图片内容为空");
        case CPictureStore::Put::too_large:
            return Fail(res, 413, service_error::too_large, kTooBig);
        case CPictureStore::Put::not_picture:
            return Fail(res, 415, service_error::not_picture, "不支持的图片格式");
        case CPictureStore::Put::full:
            log_err("pictures: store full, upload of %zu bytes refused", req.body.size());
            return Fail(res, 507, service_error::store_full, "图片空间已满");
        case CPictureStore::Put::io_error:
            break;
    }
    Fail(res, 500, account_error::internal, "服务器内部错误");
}

void CRoomService::Push(const HttpRequest& req, HttpResponse& res) {
    const json::value body = json::value::parse(req.body);
    if (!body.is_object()) return Fail(res, 400, account_error::bad_request, "请求格式错误");
    // The parser's texts end at a NUL, so "\u0000" would cut a text
    // short without anyone noticing.
    if (req.body.find("\\u0000") != std::string::npos)
        return Fail(res, 400, account_error::bad_request, "推送内容格式错误");
    const std::uint32_t room = Id(body, "room");
    if (room == 0) return Fail(res, 400, account_error::bad_request, "请指定房间");

    // Who is asking: the holder of the admin secret, or a signed-in
    // manager (or higher) of that very room.
    const std::string secret = req.Header("X-Zeri-Admin");
    if (!secret.empty()) {
        const std::int64_t now = clock_.Now();
        std::int64_t wait = 0;
        // Wrong secrets slow their sender down, so the secret cannot be
        // guessed at network speed.
        if (!adminFailures_.Begin(req.remoteAddress, now, &wait)) {
            res.SetHeader("Retry-After", std::to_string(wait));
            return Fail(res, 429, account_error::too_many_attempts, "尝试次数过多，请稍后再试");
        }
        const bool good = !options_.adminSecret.empty() && SameSecret(secret, options_.adminSecret);
        adminFailures_.End(req.remoteAddress, now, !good);
        if (!good) {
            log_msg("push: wrong admin secret from %s", req.remoteAddress.c_str());
            return Fail(res, 401, account_error::bad_token, "管理密钥错误");
        }
    } else {
        const std::uint32_t user = AuthorisedUser(db_, clock_, req, res);
        if (!user) return;
        if (db_.RoomRole(room, user, clock_.Now()) > kRoleManager)
            return Fail(res, 403, service_error::forbidden, "无权限!");
    }
    if (!db_.RoomById(room)) return Fail(res, 404, service_error::no_room, "房间不存在");

    const json::value type = body.get("type");
    std::string payload;
    int pushType = -1;
    if (type.is_number() && type.as_int() == 0) {
        pushType = 0;
        payload = body.get_string("text");
        if (payload.empty()) return Fail(res, 400, account_error::bad_request, "推送内容不能为空");
        if (payload.size() > kMaxPushText)
            return Fail(res, 413, service_error::too_large, "推送内容过长");
        if (payload.find('\0') != std::string::npos)
            return Fail(res, 400, account_error::bad_request, "推送内容格式错误");
    } else if (type.is_number() && type.as_int() == 1) {
        pushType = 1;
        payload = body.get_string("picture");
        if (!pictures_.Has(payload) && !PushablePictureUrl(payload))
            return Fail(res, 404, service_error::not_found, "图片不存在");
    } else {
        // The other kinds (gifts, cars, flowers, props) come from purchases.
        return Fail(res, 400, account_error::bad_request, "只能推送系统消息(0)或图片(1)");
    }
    const auto sent = rooms_.PushToRoom(room, pushType, payload);
    if (!sent) return Fail(res, 400, account_error::bad_request, "推送内容格式错误");
    json::value v = json::value::object();
    v.set("code", std::int64_t{0});
    v.set("delivered", static_cast<std::int64_t>(*sent));
    Answer(res, 200, v);
}

namespace {

// "/vest/ID_w.bmp" -> (ID, woman); false for any other form.
bool ParseVestPath(const std::string& path, unsigned long& id, bool& woman) {
    static constexpr std::string_view kPrefix = "/vest/";
    std::string_view rest = std::string_view(path).substr(kPrefix.size());
    std::size_t digits = 0;
    while (digits < rest.size() && digits < 4 && rest[digits] >= '0' && rest[digits] <= '9')
        ++digits;
    if (digits == 0 || digits > 3 ||
        (rest.substr(digits) != "_w.bmp" && rest.substr(digits) != "_m.bmp"))
        return false;
    id = std::strtoul(std::string(rest.substr(0, digits)).c_str(), nullptr, 10);
    woman = rest[digits + 1] == 'w';
    return true;
}

}  // namespace

void MountVoiceDownloads(CHttpServer& s, CVoiceStore& voices) {
    s.RoutePrefix("GET", "/", [&voices](const HttpRequest& req, HttpResponse& res) {
        const auto path = voices.PathFor(std::string_view(req.path).substr(1));
        if (!path) return Fail(res, 404, service_error::not_found, "没有这个服务");
        // A stored message never changes under its id.
        res.SetHeader("Cache-Control", "max-age=31536000, immutable");
        res.SetHeader("X-Content-Type-Options", "nosniff");
        res.contentType = "audio/amr";
        res.file = *path;
        voices.CountServed();
    });
}

void CRoomService::Mount(CHttpServer& s) {
    // Errors the server answers by itself (no route, a body or head over
    // the limit) get a body the client can show too.
    s.SetErrorAnswer([](int status, const HttpRequest& req, HttpResponse& res) {
        if (status == 413)
            Fail(res, 413, service_error::too_large,
                 req.path != "/up" ? "请求内容过长" : req.Param("t") == "9" ? kVoiceTooBig : kTooBig);
        else if (status == 431)
            Fail(res, 431, service_error::head_too_large, "请求头过长");
        else if (status == 404)
            Fail(res, 404, service_error::not_found, "没有这个服务");
        else if (status >= 500)
            Fail(res, status, account_error::internal, "服务器内部错误");
        else
            Fail(res, status, account_error::bad_request, "请求格式错误");
    });

    s.Route("POST", "/kampo", [this](const HttpRequest& req, HttpResponse& res) {
        if (req.Param("m") != "LB")
            return Fail(res, 404, service_error::not_found, "没有这个服务");
        const json::value body = json::value::parse(req.body);
        if (!body.is_object())
            return Fail(res, 400, account_error::bad_request, "请求格式错误");
        const json::value obj = body.get_object("OBJ");
        const std::int64_t cmd = body.get_int("CMD");
        if (cmd == kPowerListRequest) {
            res.SetContent(PowerListAnswer(Id(obj, "userId"), obj.get_string("token")), kJson);
        } else if (cmd == kRolesRequest) {
            // Roles are the same for everyone and shown before sign-in
            // completes, so this one asks for no token.
            res.SetContent(RolesAnswer(RequestHostPort(req)), kJson);
        } else {
            return Answer(res, 400, LbAnswer(static_cast<int>(cmd) + 1000,
                                             service_error::unknown_command, "未知命令"));
        }
    });

    s.RoutePrefix("GET", "/vest/", [this](const HttpRequest& req, HttpResponse& res) {
        unsigned long id = 0;
        bool woman = false;
        if (!ParseVestPath(req.path, id, woman))
            return Fail(res, 404, service_error::not_found, "没有这个服务");
        for (const RoleRecord& r : db_.Roles()) {
            if (r.id != id) continue;
            res.SetHeader("Cache-Control", "max-age=3600");
            res.SetContent(VestBadge(ColourValue(r.colour), woman), "image/bmp");
            return;
        }
        Fail(res, 404, service_error::not_found, "没有这个角色");
    });

    HttpRouteOptions upload;
    upload.maxBody = kMaxPictureBytes;
    upload.bodyDeadline = options_.uploadDeadline;
    upload.admit = [this](const HttpRequest& req, HttpResponse& res) { return AdmitUpload(req, res); };
    s.Route("POST", "/up", [this](const HttpRequest& req, HttpResponse& res) { Upload(req, res); },
            upload);

    s.Route("GET", "/down", [this](const HttpRequest& req, HttpResponse& res) {
        const std::string id = req.Param("id");
        if (!CPictureStore::IsId(id))
            return Fail(res, 400, account_error::bad_request, "图片编号错误");
        const auto stored = pictures_.Find(id);
        if (!stored) return Fail(res, 404, service_error::not_found, "图片不存在");
        // Stored pictures never change under their id. Ranges are not
        // served: the whole picture is streamed from its file.
        res.SetHeader("Cache-Control", "max-age=31536000, immutable");
        res.SetHeader("X-Content-Type-Options", "nosniff");
        res.contentType = stored->type ? stored->type : "application/octet-stream";
        res.file = stored->path;
    });

    s.Route("POST", "/admin/push", [this](const HttpRequest& req, HttpResponse& res) { Push(req, res); });
    // Using a card from the pack: the account library's call, changing the room.
    MountPropRoute(s, db_, rooms_, clock_);
    MountRoomDirectory(s, db_, rooms_);
}

}  // namespace server
