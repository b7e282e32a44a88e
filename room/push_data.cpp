#include "room/push_data.h"

#include <cstdlib>

#include "core/paths.h"
#include "net/json.h"

namespace {

// A member that may have been written as a number or as decimal text.
std::int64_t Number(const json::value& o, const char* name) {
    const json::value v = o.get(name);
    if (v.is_number()) return v.as_int();
    if (v.is_string()) {
        const std::string s = v.as_string();
        char* end = nullptr;
        const long long n = std::strtoll(s.c_str(), &end, 10);
        return end && end != s.c_str() && *end == '\0' ? n : 0;
    }
    return 0;
}

std::uint32_t Id(const json::value& o, const char* name) {
    const std::int64_t v = Number(o, name);
    return v > 0 && v <= 0xFFFFFFFFll ? static_cast<std::uint32_t>(v) : 0;
}

std::string Text(const json::value& o, const char* name) {
    const json::value v = o.get(name);
    if (v.is_number()) return std::to_string(v.as_int());
    return v.as_string();
}

json::value Object(std::string_view text) {
    json::value v = json::value::parse(text);
    return v.is_object() ? v : json::value();
}

}  // namespace

std::optional<PushData> SplitPushData(std::string_view raw) {
    const std::size_t bar = raw.find('|');
    if (bar == std::string_view::npos || bar == 0 || bar > 9) return std::nullopt;
    int type = 0;
    for (std::size_t i = 0; i < bar; ++i) {
        if (raw[i] < '0' || raw[i] > '9') return std::nullopt;
        type = type * 10 + (raw[i] - '0');
    }
    return PushData{type, std::string(raw.substr(bar + 1))};
}

std::optional<GiftPush> ParseGiftPush(std::string_view text) {
    const json::value o = Object(text);
    if (!o) return std::nullopt;
    GiftPush g;
    g.giverId = Id(o, "kampoId");
    g.receiverId = Id(o, "recevierKampoId");
    g.giverName = Text(o, "nickname");
    g.receiverName = Text(o, "recevierNickname");
    g.goodsName = Text(o, "goodsName");
    g.iconUrl = Text(o, "iconUrl");
    if (g.iconUrl.empty()) g.iconUrl = Text(o, "chatPicUrl");
    g.count = Number(o, "goodsItems");
    g.recharge = Number(o, "recharge");
    g.appId = Number(o, "appId");
    return g;
}

std::optional<CarPush> ParseCarPush(std::string_view text) {
    const json::value o = Object(text);
    if (!o) return std::nullopt;
    CarPush c;
    c.carName = Text(o, "carName");
    c.iconUrl = Text(o, "carIconUrl");
    c.nickname = Text(o, "nickname");
    c.userId = Id(o, "kampoId");
    return c;
}

std::optional<PropPush> ParsePropPush(std::string_view text) {
    const json::value o = Object(text);
    if (!o) return std::nullopt;
    PropPush p;
    p.userId = Id(o, "kampoId");
    p.targetId = Id(o, "operateId");
    p.nickname = Text(o, "nickName");
    p.targetName = Text(o, "operateName");
    p.propName = Text(o, "propName");
    p.extMsg = Text(o, "extMsg");
    p.iconUrl = Text(o, "iconUrl");
    p.innerType = Text(o, "msgType");
    return p;
}

bool FlowerPushCounts(std::string_view text) {
    const json::value o = Object(text);
    return o && o.get_object("ext");
}

std::string UrlFileName(std::string_view url) { return paths::UrlFileName(url); }
