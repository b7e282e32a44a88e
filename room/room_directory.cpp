#include "room/room_directory.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <unordered_map>

#include "core/url_encode.h"
#include "net/json.h"

namespace rooms {

namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
        s.remove_suffix(1);
    return s;
}

// Cut to at most n bytes without splitting a UTF-8 sequence.
std::string_view CutUtf8(std::string_view s, std::size_t n) {
    if (s.size() <= n) return s;
    std::size_t end = n;
    while (end > 0 && (static_cast<unsigned char>(s[end]) & 0xC0) == 0x80) --end;
    return s.substr(0, end);
}

std::uint32_t U32(const json::value& v, const char* name) {
    const std::int64_t n = v.get_int(name);
    if (n <= 0) return 0;
    return n > std::numeric_limits<std::uint32_t>::max() ? std::numeric_limits<std::uint32_t>::max()
                                                         : static_cast<std::uint32_t>(n);
}

}  // namespace

std::string DirectoryUrl(std::string_view host, std::string_view search, int page, int size) {
    std::string url = "http://" + std::string(host) + "/rooms?page=" +
                      std::to_string(std::max(page, 1)) +
                      "&size=" + std::to_string(std::clamp(size, 1, 100));
    const std::string_view q = CutUtf8(Trim(search), kMaxSearchBytes);
    if (!q.empty()) url += "&q=" + url::PercentEncode(q);
    return url;
}

std::string RoomsByIdsUrl(std::string_view host, const std::vector<std::uint32_t>& ids) {
    std::string list;
    std::size_t n = 0;
    for (std::uint32_t id : ids) {
        if (id == 0) continue;
        if (n++ == kMaxIds) break;
        if (!list.empty()) list += ',';
        list += std::to_string(id);
    }
    if (list.empty()) return {};
    return "http://" + std::string(host) + "/rooms?ids=" + list;
}

std::optional<RoomPage> ParseRoomPage(std::string_view text, std::string* error) {
    auto fail = [error](const char* why) -> std::optional<RoomPage> {
        if (error) *error = why;
        return std::nullopt;
    };
    const json::value root = json::value::parse(text);
    if (!root.is_object()) return fail("not a room list");
    if (!root.get("code").is_number() || root.get_int("code") != 0) {
        const std::string e = root.get_string("error");
        if (error) *error = e.empty() ? "room list refused" : e;
        return std::nullopt;
    }
    const json::value list = root.get_array("rooms");
    if (!list) return fail("not a room list");
    RoomPage page;
    page.total = U32(root, "total");
    page.page = std::max<std::uint32_t>(U32(root, "page"), 1);
    page.size = U32(root, "size");
    for (std::size_t i = 0; i < list.size(); ++i) {
        const json::value r = list.at(i);
        RoomLine line;
        line.roomId = U32(r, "id");
        if (line.roomId == 0) continue;
        line.people = U32(r, "people");
        line.mode = U32(r, "mode");
        line.name = r.get_string("name");
        line.logo = r.get_string("logo");
        line.description = r.get_string("description");
        page.rooms.push_back(std::move(line));
    }
    return page;
}

std::optional<std::uint32_t> ParseRoomId(std::string_view text) {
    const std::string_view t = Trim(text);
    if (t.empty() || t.size() > 10) return std::nullopt;
    std::uint64_t v = 0;
    const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
    if (ec != std::errc() || end != t.data() + t.size()) return std::nullopt;
    if (v == 0 || v > std::numeric_limits<std::uint32_t>::max()) return std::nullopt;
    return static_cast<std::uint32_t>(v);
}

std::string LogoUrl(std::string_view host, std::string_view logo) {
    if (logo.empty() || logo.size() > 255) return {};
    if (logo.find_first_of(" \t\r\n\"'") != std::string_view::npos) return {};
    if (logo.front() == '/' && (logo.size() < 2 || logo[1] != '/'))
        return "http://" + std::string(host) + std::string(logo);
    if (logo.starts_with("http://") || logo.starts_with("https://")) return std::string(logo);
    return {};
}

std::string ModeName(std::uint32_t mode) {
    switch (mode) {
        case 1: return "抢麦模式";
        case 2: return "主播模式";
        case 3: return "音乐模式";
        case 4: return "麦序模式";
        default: return {};
    }
}

std::vector<RoomLine> FromStore(const BuddyRoomInfo* chain) {
    std::vector<RoomLine> out;
    for (const BuddyRoomInfo* r = chain; r; r = r->next) {
        RoomLine line;
        line.roomId = r->roomId;
        line.people = r->people;
        line.name = r->name;
        line.secondName = r->secondName;
        line.logo = r->logo;
        line.description = r->description;
        out.push_back(std::move(line));
    }
    return out;
}

std::vector<std::uint32_t> IdsOf(const std::vector<RoomLine>& lines) {
    std::vector<std::uint32_t> ids;
    ids.reserve(lines.size());
    for (const RoomLine& l : lines) ids.push_back(l.roomId);
    return ids;
}

void ApplyLive(std::vector<RoomLine>& lines, const std::vector<RoomLine>& live) {
    std::unordered_map<std::uint32_t, const RoomLine*> byId;
    for (const RoomLine& l : live) byId.emplace(l.roomId, &l);
    for (RoomLine& l : lines) {
        auto it = byId.find(l.roomId);
        if (it == byId.end()) continue;
        const RoomLine& now = *it->second;
        l.people = now.people;
        l.mode = now.mode;
        if (!now.name.empty()) l.name = now.name;
        if (!now.logo.empty()) l.logo = now.logo;
        if (!now.description.empty()) l.description = now.description;
    }
}

}  // namespace rooms
