#include "server/room_directory.h"

#include <algorithm>
#include <charconv>
#include <unordered_map>

#include "server/account_service.h"
#include "server/http/json_reply.h"

namespace server {

namespace {

using json_reply::Answer;
using json_reply::Fail;

constexpr const char* kBadParams = "房间列表参数错误";

// A whole decimal number in [lo, hi]; `fallback` when the text is empty.
bool Number(const std::string& text, std::int64_t lo, std::int64_t hi, std::int64_t fallback,
            std::int64_t& out) {
    if (text.empty()) {
        out = fallback;
        return true;
    }
    const char* end = text.data() + text.size();
    const auto r = std::from_chars(text.data(), end, out);
    return r.ec == std::errc() && r.ptr == end && out >= lo && out <= hi;
}

// "1001,1002": ids in the order given, each once; false for anything else.
bool IdList(const std::string& text, std::vector<std::uint32_t>& out) {
    std::size_t at = 0;
    while (at <= text.size()) {
        const std::size_t comma = std::min(text.find(',', at), text.size());
        std::int64_t id = 0;
        if (comma == at || !Number(text.substr(at, comma - at), 1, UINT32_MAX, 0, id)) return false;
        if (std::find(out.begin(), out.end(), id) == out.end()) {
            if (out.size() == kDirectoryMaxIds) return false;
            out.push_back(static_cast<std::uint32_t>(id));
        }
        at = comma + 1;
    }
    return true;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool Matches(const RoomRecord& r, const std::string& q) {
    if (q.empty()) return true;
    if (std::to_string(r.id).starts_with(q)) return true;
    const auto hit = std::search(r.name.begin(), r.name.end(), q.begin(), q.end(),
                                 [](char a, char b) { return Lower(a) == Lower(b); });
    return hit != r.name.end();
}

json::value RoomJson(const RoomRecord& r, std::size_t people) {
    json::value e = json::value::object();
    e.set("id", static_cast<std::int64_t>(r.id));
    e.set("name", r.name);
    e.set("people", static_cast<std::int64_t>(people));
    e.set("mode", static_cast<std::int64_t>(r.mode));
    e.set("logo", r.logoUrl);
    e.set("description", r.description);
    return e;
}

}  // namespace

void MountRoomDirectory(CHttpServer& http, CServerDb& db, CRoomHandler& rooms) {
    http.Route("GET", "/rooms", [&db, &rooms](const HttpRequest& req, HttpResponse& res) {
        std::int64_t page = 0, size = 0;
        const std::string q = req.Param("q");
        std::vector<std::uint32_t> ids;
        const std::string idText = req.Param("ids");
        if (!Number(req.Param("page"), 1, 1'000'000, 1, page) ||
            !Number(req.Param("size"), 1, kDirectoryMaxPageSize, kDirectoryPageSize, size) ||
            q.size() > kDirectoryMaxQuery || (!idText.empty() && !IdList(idText, ids)))
            return Fail(res, 400, account_error::bad_request, kBadParams);

        const auto people = rooms.MemberCounts();
        const auto count = [&](std::uint32_t id) {
            const auto p = people.find(id);
            return p == people.end() ? std::size_t{0} : p->second;
        };
        std::vector<RoomRecord> all = db.Rooms();
        std::vector<const RoomRecord*> chosen;
        if (!ids.empty()) {
            for (std::uint32_t id : ids)
                for (const RoomRecord& r : all)
                    if (r.id == id) chosen.push_back(&r);
            page = 1, size = static_cast<std::int64_t>(chosen.size());
        } else {
            for (const RoomRecord& r : all)
                if (Matches(r, q)) chosen.push_back(&r);
            std::stable_sort(chosen.begin(), chosen.end(), [&](const RoomRecord* a, const RoomRecord* b) {
                return count(a->id) > count(b->id);  // `all` is by id already
            });
        }
        json::value list = json::value::array();
        const std::size_t from = static_cast<std::size_t>((page - 1) * size);
        for (std::size_t i = from; i < chosen.size() && i < from + static_cast<std::size_t>(size); ++i)
            list.append(RoomJson(*chosen[i], count(chosen[i]->id)));
        json::value v = json::value::object();
        v.set("code", std::int64_t{0});
        v.set("total", static_cast<std::int64_t>(chosen.size()));
        v.set("page", page);
        v.set("size", size);
        v.set("rooms", list);
        // People counts are of this moment.
        res.SetHeader("Cache-Control", "no-store");
        Answer(res, 200, v);
    });
}

}  // namespace server
