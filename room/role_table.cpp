#include "room/role_table.h"

#include <iterator>

#include "core/log.h"
#include "net/json.h"

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::uint32_t ParseRoleColour(std::string_view text) {
    if (text.size() < 2) return 0;
    std::uint32_t v = 0;
    for (char c : text.substr(1)) {
        const int d = HexDigit(c);
        if (d < 0) break;
        // Only the low 24 bits count, so longer texts cannot overflow.
        v = ((v << 4) | static_cast<std::uint32_t>(d)) & 0xFFFFFFu;
    }
    return v;
}

bool CRoleTable::LoadAnswer(std::string_view text) {
    const json::value answer = json::value::parse(text);
    if (!answer.is_object() || answer.get_int("CMD") != kRoleListAnswer) {
        log_msg("role list answer is not a role list (%zu bytes)\r\n", text.size());
        return false;
    }
    if (answer.get_int("CODE") != 0) {
        log_msg("GetRoleInfoResp error mgs=%s\r\n", answer.get_string("ERROR").c_str());
        return false;
    }
    const json::value list = answer.get_object("OBJ").get_array("xRole");
    if (!list) {
        log_msg("role list answer without xRole\r\n");
        return false;
    }
    std::map<std::uint8_t, RoleEntry> roles;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const json::value e = list.at(i);
        const json::value id = e.get("role");
        // Roles travel in one byte; a wider number must not become another role.
        if (!e.is_object() || !id.is_number() || id.as_int() < 1 || id.as_int() > 255) {
            log_msg("role list: element %zu has no role id 1-255; skipped\r\n", i);
            continue;
        }
        RoleEntry r;
        r.id = static_cast<std::uint8_t>(id.as_int());
        r.name = e.get_string("role_name");
        const std::string colour = e.get_string("color");
        r.colour = ParseRoleColour(colour);
        r.womanIcon = e.get_string("woman_icon");
        r.manIcon = e.get_string("man_icon");
        log_debug("roleid=%d, color=%s, name=%s", static_cast<int>(r.id), colour.c_str(),
                  r.name.c_str());
        // The same role twice: the later element wins.
        roles[r.id] = std::move(r);
    }
    roles_ = std::move(roles);
    return true;
}

const RoleEntry* CRoleTable::At(std::size_t index) const {
    if (index >= roles_.size()) return nullptr;
    return &std::next(roles_.begin(), static_cast<std::ptrdiff_t>(index))->second;
}

const RoleEntry* CRoleTable::Find(std::uint8_t id) const {
    const auto it = roles_.find(id);
    return it == roles_.end() ? nullptr : &it->second;
}

std::string RoleListRequest(std::uint32_t userId) {
    json::value body = json::value::object();
    json::value obj = json::value::object();
    obj.set("userId", static_cast<std::int64_t>(userId));
    body.set("CMD", static_cast<std::int64_t>(kRoleListRequest));
    body.set("OBJ", obj);
    return body.dump_formatted();
}
