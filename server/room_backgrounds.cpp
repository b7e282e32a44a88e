#include "server/room_backgrounds.h"

#include <cstring>
#include <functional>

#include "core/log.h"
#include "server/service_reply.h"

namespace server {

namespace {

using service_reply::Item;
using service_reply::Refuse;

constexpr const char* kPicturePrefix = "/background/";
constexpr const char* kTooBig = "图片太大，不能超过4MB";
constexpr const char* kTooMany = "上传图片不能超过5张";
constexpr const char* kNotManager = "只有房主和管理员才能设置房间背景";
constexpr const char* kInternal = "服务器内部错误";
constexpr std::size_t kRoomIdBytes = 4;

std::string PictureUrl(const HttpRequest& req, const std::string& name) {
    return "http://" + RequestHostPort(req) + kPicturePrefix + name;
}

// "<32 hex digits>.<ext>" -> the store id and the extension; false for
// anything else, so no request names a path of its own.
bool SplitName(std::string_view name, std::string_view& id, std::string_view& ext) {
    const auto dot = name.find('.');
    if (dot == std::string_view::npos) return false;
    id = name.substr(0, dot);
    ext = name.substr(dot);
    return CPictureStore::IsId(id) && (ext == ".jpg" || ext == ".bmp" || ext == ".png");
}

}  // namespace

CRoomBackgrounds::CRoomBackgrounds(CServerDb& db, CPictureStore& store, IClock& clock,
                                   RoomBackgroundOptions options)
    : db_(db),
      store_(store),
      clock_(clock),
      options_(options),
      uploads_(options_.uploadsPerSecond, options_.uploadBurst) {}

const char* CRoomBackgrounds::Extension(std::string_view bytes) {
    const char* type = CPictureStore::PictureType(bytes);
    if (!type) return nullptr;
    if (std::strcmp(type, "image/jpeg") == 0) return ".jpg";
    if (std::strcmp(type, "image/bmp") == 0) return ".bmp";
    if (std::strcmp(type, "image/png") == 0) return ".png";
    return nullptr;
}

bool CRoomBackgrounds::AllowUpload(const std::string& address) {
    std::lock_guard<std::mutex> g(uploadLock_);
    return uploads_.Allow(std::hash<std::string>{}(address), clock_.TickMs());
}

void CRoomBackgrounds::Save(const HttpRequest& req, HttpResponse& res) {
    constexpr bool kPlain = false;
    const std::uint32_t user = service_reply::Caller(db_, clock_, req, res, kPlain);
    if (!user) return;
    if (req.body.size() <= kRoomIdBytes) return Refuse(res, "上传内容错误", kPlain);
    const auto* b = reinterpret_cast<const unsigned char*>(req.body.data());
    const std::uint32_t room = static_cast<std::uint32_t>(b[0]) |
                               static_cast<std::uint32_t>(b[1]) << 8 |
                               static_cast<std::uint32_t>(b[2]) << 16 |
                               static_cast<std::uint32_t>(b[3]) << 24;
    if (room == 0 || !db_.RoomById(room)) return Refuse(res, "房间不存在", kPlain);
    const std::int64_t now = clock_.Now();
    if (db_.RoomRole(room, user, now) > kRoleManager)
        return Refuse(res, kNotManager, kPlain);
    const std::string_view picture = std::string_view(req.body).substr(kRoomIdBytes);
    if (picture.size() > kMaxPictureBytes) return Refuse(res, kTooBig, kPlain);
    const char* ext = Extension(picture);
    if (!ext) return Refuse(res, "只能上传 JPG、BMP 或 PNG 图片", kPlain);
    if (db_.RoomBackgrounds(room).size() >= kMaxRoomBackgrounds)
        return Refuse(res, kTooMany, kPlain);
    if (!AllowUpload(req.remoteAddress)) return Refuse(res, "上传太频繁，请稍后再试", kPlain);

    std::string id;
    switch (store_.Store(picture, id)) {
        case CPictureStore::Put::ok:
            break;
        case CPictureStore::Put::full:
            log_err("backgrounds: store full, upload of %zu bytes refused", picture.size());
            return Refuse(res, "图片空间已满", kPlain);
        default:
            return Refuse(res, kInternal, kPlain);
    }
    RoomBackground bg;
    bg.room = room;
    bg.name = id + ext;
    bg.user = user;
    bg.bytes = picture.size();
    bg.storedAt = now;
    const BackgroundAdd added = db_.AddRoomBackground(bg, kMaxRoomBackgrounds);
    if (added != BackgroundAdd::ok) {
        // Another upload took the last place meanwhile, or the row failed:
        // the file goes, so the store holds only listed pictures.
        store_.Remove(id);
        if (added == BackgroundAdd::full) return Refuse(res, kTooMany, kPlain);
        log_err("backgrounds: %s of room %u not recorded: %s", bg.name.c_str(), room,
                db_.lastError().c_str());
        return Refuse(res, kInternal, kPlain);
    }
    log_msg("backgrounds: %u added %s (id %u) to room %u", user, bg.name.c_str(), bg.id, room);
    msg::ServiceAnswer a;
    a.items.push_back(Item(0, bg.name));
    service_reply::Send(res, a, kPlain);
}

void CRoomBackgrounds::Delete(const HttpRequest& req, HttpResponse& res) {
    constexpr bool kSealed = true;
    const std::uint32_t user = service_reply::Caller(db_, clock_, req, res, kSealed);
    if (!user) return;
    const std::uint32_t id = service_reply::QueryId(req.Param("picId"));
    if (!id) return Refuse(res, "请求参数错误", kSealed);
    const auto bg = db_.RoomBackgroundById(id);
    if (!bg) return Refuse(res, "图片不存在", kSealed);
    if (db_.RoomRole(bg->room, user, clock_.Now()) > kRoleManager)
        return Refuse(res, kNotManager, kSealed);
    if (!db_.RemoveRoomBackground(id)) {
        // Gone meanwhile (another delete) is what was asked for.
        if (!db_.RoomBackgroundById(id)) return Refuse(res, "图片不存在", kSealed);
        return Refuse(res, kInternal, kSealed);
    }
    // The row first: a listed picture always has its file.
    std::string_view stem, ext;
    if (SplitName(bg->name, stem, ext) && !store_.Remove(stem))
        log_err("backgrounds: file of %s already gone", bg->name.c_str());
    log_msg("backgrounds: %u removed %s from room %u", user, bg->name.c_str(), bg->room);
    msg::ServiceAnswer a;
    a.items.push_back(Item(0, bg->name));
    service_reply::Send(res, a, kSealed);
}

void CRoomBackgrounds::List(const HttpRequest& req, HttpResponse& res, bool paged) {
    constexpr bool kSealed = true;
    const std::uint32_t room = service_reply::QueryId(req.Param("roomid"));
    if (!room) return Refuse(res, "请求参数错误", kSealed);
    std::size_t page = 1;
    if (paged) {
        // Pages count from 1; 0 and no page ask for the first.
        const std::string p = req.Param("pageid");
        if (!p.empty() && p != "0") {
            page = service_reply::QueryId(p);
            if (page == 0) return Refuse(res, "请求参数错误", kSealed);
        }
    }
    if (!db_.RoomById(room)) return Refuse(res, "房间不存在", kSealed);
    const std::vector<RoomBackground> all = db_.RoomBackgrounds(room);
    std::size_t from = 0, to = all.size();
    if (paged) {
        from = std::min(all.size(), (page - 1) * kBackgroundPage);
        to = std::min(all.size(), from + kBackgroundPage);
    }
    msg::ServiceAnswer a;
    for (std::size_t i = from; i < to; ++i) a.items.push_back(Item(all[i].id, PictureUrl(req, all[i].name)));
    service_reply::Send(res, a, kSealed);
}

void CRoomBackgrounds::Picture(const HttpRequest& req, HttpResponse& res) {
    const std::string_view name = std::string_view(req.path).substr(std::strlen(kPicturePrefix));
    std::string_view id, ext;
    const auto stored = SplitName(name, id, ext) ? store_.Find(id) : std::nullopt;
    // The extension must be the one the bytes were stored with: one name
    // per picture.
    const char* type = stored ? stored->type : nullptr;
    const bool matches = type && ((ext == ".jpg" && std::strcmp(type, "image/jpeg") == 0) ||
                                  (ext == ".bmp" && std::strcmp(type, "image/bmp") == 0) ||
                                  (ext == ".png" && std::strcmp(type, "image/png") == 0));
    if (!matches) return Refuse(res, "图片不存在", false, 404);
    res.SetHeader("Cache-Control", "max-age=31536000, immutable");
    res.SetHeader("X-Content-Type-Options", "nosniff");
    res.contentType = type;
    res.file = stored->path;
}

void CRoomBackgrounds::Mount(CHttpServer& s) {
    HttpRouteOptions upload;
    upload.maxBody = kRoomIdBytes + kMaxPictureBytes;
    upload.bodyDeadline = options_.uploadDeadline;
    // Only a signed-in caller may make the server read 4 MiB.
    upload.admit = [this](const HttpRequest& req, HttpResponse& res) {
        return service_reply::Caller(db_, clock_, req, res, false) != 0;
    };
    s.Route("POST", "/savepic", [this](const HttpRequest& req, HttpResponse& res) { Save(req, res); },
            upload);
    s.Route("POST", "/delbackgroundpic",
            [this](const HttpRequest& req, HttpResponse& res) { Delete(req, res); });
    s.Route("POST", "/getbackgroundpic",
            [this](const HttpRequest& req, HttpResponse& res) { List(req, res, false); });
    s.Route("POST", "/getroomclothinginfo",
            [this](const HttpRequest& req, HttpResponse& res) { List(req, res, true); });
    s.RoutePrefix("GET", kPicturePrefix,
                  [this](const HttpRequest& req, HttpResponse& res) { Picture(req, res); });
}

}  // namespace server
