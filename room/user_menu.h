#pragma once
// What the user menu ("RoomUserMenu.xml") offers for one user of the room:
// which entries are shown and enabled, and the roles of the "Menu_Power"
// submenu, decided by my powers over the user, the user's gag state, the
// cards in my pack and my friends. The room window draws it; tests read it.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/power.h"
#include "room/role_table.h"
#include "room/room_pack.h"

class CRoomSession;

namespace user_menu {
inline constexpr char kUserInfo[] = "Menu_UserInfo";
inline constexpr char kAddFriend[] = "Menu_AddFirend";
inline constexpr char kPowerGag[] = "Menu_PowerGag";
inline constexpr char kPowerCancelGag[] = "Menu_PowerCancelGag";
inline constexpr char kPropGag[] = "Menu_PropGag";
inline constexpr char kPropCancelGag[] = "Menu_PropCancelGag";
inline constexpr char kKick[] = "Menu_Kick";
inline constexpr char kSetMic[] = "Menu_Set_MIC";
inline constexpr char kPower[] = "Menu_Power";
// How loud the user sounds to me: offered for everyone but me.
inline constexpr char kVolume[] = "Menu_Volume";
// Submenu elements of "Menu_Power": this prefix and the role's index in
// the role table.
inline constexpr char kPowerElementPrefix[] = "MenuElementPower_";
inline constexpr char kCheckImage[] = "file='menu_check.png' dest='4,4,20,20'";
// The role that is given without asking for days, with or without power 6.
inline constexpr std::uint8_t kPermanentRole = 20;
}  // namespace user_menu

// What the menu depends on besides the power and role tables.
struct UserMenuFacts {
    std::uint32_t me = 0;
    std::uint32_t target = 0;
    std::uint8_t myRole = 0;
    std::uint8_t targetRole = 0;
    bool meGagged = false;
    bool targetGagged = false;
    bool ownsGagCard = false;        // prop 100, count > 0
    bool ownsCancelGagCard = false;  // prop 10, count > 0
    bool isFriend = false;
    // Entries whose work may not be available in this build.
    bool canShowUserInfo = true;
    bool canSetMic = true;
    bool canSetVolume = true;  // the room keeps per-user volumes
};

struct UserMenuEntry {
    std::string name;
    bool shown = true;
    bool enabled = true;
};

// One element of the "Menu_Power" submenu.
struct RoleMenuEntry {
    std::string element;  // "MenuElementPower_" + index
    std::uint8_t role = 0;
    std::string text;     // the role's name
    std::uint32_t colour = 0;
    bool checked = false;  // the user's current role
    bool asksDays = false;  // the days dialog comes first
};

struct UserMenuModel {
    std::uint32_t target = 0;
    std::vector<UserMenuEntry> entries;  // every entry of the menu skin
    std::vector<RoleMenuEntry> roles;

    const UserMenuEntry* Find(std::string_view name) const;
    bool Shown(std::string_view name) const;
    bool Enabled(std::string_view name) const;  // shown and enabled
    const RoleMenuEntry* Role(std::string_view element) const;
};

UserMenuModel BuildUserMenu(const UserMenuFacts& facts, const CPowerTable& powers, const IRoleTable& roles);

// Every entry shown and disabled: the menu of a window without a room.
UserMenuModel DisabledUserMenu(std::uint32_t target);

// Whether giving `role` asks for a number of days first: a role that holds
// power 6, and role 20, are given for 6000 days at once.
bool RoleAsksDays(const CPowerTable& powers, std::uint8_t role);

// The menu for a user of the session's room (none when the user is not in
// it); cards and the rest of the facts come from the caller, the friend
// state from the session's friends store.
std::optional<UserMenuModel> BuildUserMenu(const CRoomSession& session, std::uint32_t target,
                                           const IRoleTable& roles, UserMenuFacts facts);
