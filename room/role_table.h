#pragma once
// The roles a room user can wear: id, name, colour and the two vest pictures,
// as the role service lists them (its answer to CMD 30012). The user menu
// offers them when a role is given; the room's one table is CRoleVest
// (room/role_vest.h), which also keeps the pictures and their cache.

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

// Our message number for the role service's answer, beside the power
// list's 1125.
inline constexpr unsigned UM_ROLE_LIST = 1126;
// Ours too: the vest worker has a new role list and its pictures ready; the
// room window takes the list on its own thread and redraws the users.
inline constexpr unsigned UM_ROLE_VESTS_DONE = 1128;
inline constexpr int kRoleListRequest = 30012;
inline constexpr int kRoleListAnswer = 31012;

struct RoleEntry {
    std::uint8_t id = 0;
    std::string name;
    std::uint32_t colour = 0;  // 0xRRGGBB
    std::string womanIcon, manIcon;  // picture URLs
    // The pictures' files, relative to the data folder ("res/vestpic/NAME");
    // empty until handled.
    std::string womanFile, manFile;
};

// Roles in ascending id order; entry i is the i-th of that order.
class IRoleTable {
public:
    virtual ~IRoleTable() = default;
    virtual std::size_t Count() const = 0;
    // Null when out of range.
    virtual const RoleEntry* At(std::size_t index) const = 0;
    virtual const RoleEntry* Find(std::uint8_t id) const = 0;
    // The vest picture to draw for a role and a card's sex value (1 woman,
    // any other man): a file path, empty when there is none.
    virtual std::string VestPicture(std::uint8_t id, std::uint32_t sex) const {
        (void)id;
        (void)sex;
        return {};
    }
};

class CRoleTable : public IRoleTable {
public:
    // Replaces the table with the roles of an answer's text. A text that is
    // not the answer, a non-zero "CODE" or a missing role array is logged
    // and keeps the table; elements without a usable role id are skipped.
    // True when the table was replaced.
    bool LoadAnswer(std::string_view text);

    std::size_t Count() const override { return roles_.size(); }
    const RoleEntry* At(std::size_t index) const override;
    const RoleEntry* Find(std::uint8_t id) const override;
    void Add(RoleEntry e) { roles_[e.id] = std::move(e); }
    // Adds unless the id is known already (the first record stays).
    void AddFirst(RoleEntry e) { roles_.try_emplace(e.id, std::move(e)); }

private:
    std::map<std::uint8_t, RoleEntry> roles_;
};

// "#FF8000" → 0xFF8000: the hexadecimal digits after the first character,
// kept to 24 bits; 0 when there are none.
std::uint32_t ParseRoleColour(std::string_view text);

// The JSON body (formatted) that asks the role service for the roles.
std::string RoleListRequest(std::uint32_t userId);
