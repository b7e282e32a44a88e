#pragma once
// Which role may do what: the power table downloaded from the room service.
// Level 1 maps a power id to its STPower, level 2 maps a role to what that
// role holds, level 3 maps the role acted upon (0 = the general rule) to the
// rule itself. Loaded and queried on the room window's thread only.

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "core/wisdom_ptr.h"
#include "net/json.h"

// Power ids the client checks.
namespace power_id {
inline constexpr std::uint16_t kick = 4;               // over the target's role
inline constexpr std::uint16_t gag = 5;                // over the target's role
inline constexpr std::uint16_t long_grant = 6;         // the role given keeps it 6000 days
inline constexpr std::uint16_t set_power = 8;          // over the target's / given role
inline constexpr std::uint16_t room_mode_2 = 9;
inline constexpr std::uint16_t room_mode_1 = 10;
inline constexpr std::uint16_t room_mode_3 = 11;
inline constexpr std::uint16_t mic_in_mode_2 = 13;
inline constexpr std::uint16_t mic_in_mode_1 = 14;
inline constexpr std::uint16_t open_mic = 19;
inline constexpr std::uint16_t room_settings = 22;     // settings flags 1 and 4
inline constexpr std::uint16_t room_settings_2 = 24;   // settings flag 2
inline constexpr std::uint16_t room_settings_3 = 25;   // settings flag 3
inline constexpr std::uint16_t chat = 26;
inline constexpr std::uint16_t chat_picture = 28;
inline constexpr std::uint16_t mic_in_mode_4 = 30;
}  // namespace power_id

// Commands of the power-list exchange with the room service.
inline constexpr int kPowerListRequest = 30008;
inline constexpr int kPowerListAnswer = 31008;

struct STPower {
    // One rule: whether `role` holds the power over `by_role`.
    struct MBPower {
        std::uint8_t role = 0;
        std::int8_t yes_no = 0;  // > 0 allowed
        std::uint8_t by_role = 0;
    };
    struct wisdom_MBPowerfree {
        void operator()(MBPower* p) const { delete p; }
    };
    struct by_power {
        std::map<std::uint8_t, wisdom_ptr<MBPower, wisdom_MBPowerfree>> by_role;
    };
    struct wisdom_by_powerfree {
        void operator()(by_power* p) const { delete p; }
    };

    std::map<std::uint8_t, wisdom_ptr<by_power, wisdom_by_powerfree>> roles;
};

struct wisdom_STPowerfree {
    void operator()(STPower* p) const { delete p; }
};

class CPowerTable {
public:
    // Replaces the table with the rules of a power-list answer. An answer
    // with a non-zero "CODE" is logged and keeps the old table; one without
    // "OBJ" or without a "power" text is ignored; an unparsable "power" text
    // leaves the table empty. True when the table was replaced.
    bool LoadPowerList(const json::value& answer);

    // Whether `role` holds the power in general (the rule with by-role 0).
    bool HasPower(std::uint8_t role, std::uint16_t powerId) const;
    // Whether `role` holds the power over users of `targetRole`: that
    // role's own rule first, else the general one.
    bool HasPowerOver(std::uint8_t role, std::uint8_t targetRole, std::uint16_t powerId) const;

    // A later rule for the same (power, role, by-role) replaces the earlier.
    void AddRule(std::uint16_t powerId, std::uint8_t role, std::int8_t yes_no,
                 std::uint8_t by_role);
    void Clear() { powers_.clear(); }
    bool Empty() const { return powers_.empty(); }

private:
    const STPower::MBPower* Find(std::uint8_t role, std::uint8_t by_role,
                                 std::uint16_t powerId) const;

    std::map<std::uint16_t, wisdom_ptr<STPower, wisdom_STPowerfree>> powers_;
};

// The JSON body that asks the room service for the power list.
std::string PowerListRequest(std::uint32_t userId, std::string_view token);

// Handles the text of a power-list answer: a JSON object whose "CMD" is the
// answer's goes to LoadPowerList; anything else is ignored. True when the
// table was replaced.
bool OnPowerListAnswer(CPowerTable& table, std::string_view text);
