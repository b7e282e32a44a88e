#include "net/power.h"

#include "core/log.h"
#include "platform/text/text.h"

namespace {

// yes_no is kept in one signed byte; saturate so that a large positive
// number still reads as allowed instead of wrapping to "not allowed".
std::int8_t ClampYesNo(std::int64_t v) {
    if (v > 127) return 127;
    if (v < -128) return -128;
    return static_cast<std::int8_t>(v);
}

}  // namespace

bool CPowerTable::LoadPowerList(const json::value& answer) {
    if (answer.get_int("CODE") != 0) {
        const std::string error = text::Utf8ToAnsi(answer.get_string("ERROR"));
        log_msg("OnTLVCommand_Get_PowerList_Resp error mgs=%s\r\n", error.c_str());
        return false;
    }
    const json::value obj = answer.get("OBJ");
    if (!obj) return false;
    const std::string list = obj.get_string("power");
    if (list.empty()) return false;

    Clear();
    const json::value rules = json::value::parse(list);
    const std::size_t n = rules.size();  // 0 unless an array
    for (std::size_t i = 0; i < n; ++i) {
        const json::value rule = rules.at(i);
        const std::int64_t powerid = rule.get_int("powerid");
        const std::int64_t role = rule.get_int("role");
        const std::int64_t yes_no = rule.get_int("yes_no");
        const std::int64_t by_role = rule.get_int("by_role");
        AddRule(static_cast<std::uint16_t>(powerid), static_cast<std::uint8_t>(role),
                ClampYesNo(yes_no), static_cast<std::uint8_t>(by_role));
        log_msg("PowerList  powerid=%d, role=%d, by_role=%d, yes_no=%d\r\n",
                static_cast<int>(static_cast<std::uint16_t>(powerid)),
                static_cast<int>(static_cast<std::uint8_t>(role)),
                static_cast<int>(static_cast<std::uint8_t>(by_role)),
                static_cast<int>(ClampYesNo(yes_no)));
    }
    return true;
}

void CPowerTable::AddRule(std::uint16_t powerId, std::uint8_t role, std::int8_t yes_no,
                          std::uint8_t by_role) {
    auto& power = powers_[powerId];
    if (!power) power = wisdom_ptr<STPower, wisdom_STPowerfree>(new STPower);
    auto& holder = power->roles[role];
    if (!holder) holder = wisdom_ptr<STPower::by_power, STPower::wisdom_by_powerfree>(
                     new STPower::by_power);
    holder->by_role[by_role] = wisdom_ptr<STPower::MBPower, STPower::wisdom_MBPowerfree>(
        new STPower::MBPower{role, yes_no, by_role});
}

const STPower::MBPower* CPowerTable::Find(std::uint8_t role, std::uint8_t by_role,
                                          std::uint16_t powerId) const {
    auto p = powers_.find(powerId);
    if (p == powers_.end() || !p->second) return nullptr;
    auto r = p->second->roles.find(role);
    if (r == p->second->roles.end() || !r->second) return nullptr;
    auto b = r->second->by_role.find(by_role);
    if (b == r->second->by_role.end()) return nullptr;
    return b->second.get();
}

bool CPowerTable::HasPower(std::uint8_t role, std::uint16_t powerId) const {
    const STPower::MBPower* rule = Find(role, 0, powerId);
    return rule && rule->yes_no > 0;
}

bool CPowerTable::HasPowerOver(std::uint8_t role, std::uint8_t targetRole,
                               std::uint16_t powerId) const {
    const STPower::MBPower* rule = Find(role, targetRole, powerId);
    if (!rule) rule = Find(role, 0, powerId);
    return rule && rule->yes_no > 0;
}

std::string PowerListRequest(std::uint32_t userId, std::string_view token) {
    json::value body = json::value::object();
    json::value obj = json::value::object();
    obj.set("userId", static_cast<std::int64_t>(userId));
    obj.set("token", token);
    body.set("CMD", static_cast<std::int64_t>(kPowerListRequest));
    body.set("OBJ", obj);
    return body.dump();
}

bool OnPowerListAnswer(CPowerTable& table, std::string_view text) {
    const json::value answer = json::value::parse(text);
    if (!answer.is_object() || answer.get_int("CMD") != kPowerListAnswer) return false;
    return table.LoadPowerList(answer);
}
