#include "room/user_menu.h"

#include "platform/buddy/buddy.h"
#include "room/room_session.h"

namespace um = user_menu;

namespace {

constexpr const char* kEntries[] = {um::kUserInfo,     um::kAddFriend,     um::kVolume,
                                    um::kPowerGag,     um::kPowerCancelGag, um::kPropGag,
                                    um::kPropCancelGag, um::kKick,          um::kSetMic,
                                    um::kPower};

UserMenuEntry* Entry(UserMenuModel& m, std::string_view name) {
    for (auto& e : m.entries)
        if (e.name == name) return &e;
    return nullptr;
}

void Remove(UserMenuModel& m, std::string_view name) { Entry(m, name)->shown = false; }
void Enable(UserMenuModel& m, std::string_view name, bool enabled) { Entry(m, name)->enabled = enabled; }

}  // namespace

const UserMenuEntry* UserMenuModel::Find(std::string_view name) const {
    for (const auto& e : entries)
        if (e.name == name) return &e;
    return nullptr;
}

bool UserMenuModel::Shown(std::string_view name) const {
    const UserMenuEntry* e = Find(name);
    return e && e->shown;
}

bool UserMenuModel::Enabled(std::string_view name) const {
    const UserMenuEntry* e = Find(name);
    return e && e->shown && e->enabled;
}

const RoleMenuEntry* UserMenuModel::Role(std::string_view element) const {
    for (const auto& r : roles)
        if (r.element == element) return &r;
    return nullptr;
}

UserMenuModel DisabledUserMenu(std::uint32_t target) {
    UserMenuModel m;
    m.target = target;
    for (const char* name : kEntries) m.entries.push_back({name, true, false});
    return m;
}

bool RoleAsksDays(const CPowerTable& powers, std::uint8_t role) {
    return role != um::kPermanentRole && !powers.HasPower(role, power_id::long_grant);
}

UserMenuModel BuildUserMenu(const UserMenuFacts& f, const CPowerTable& powers, const IRoleTable& roles) {
    UserMenuModel m;
    m.target = f.target;
    for (const char* name : kEntries) m.entries.push_back({name, true, true});
    Enable(m, um::kUserInfo, f.canShowUserInfo);
    Enable(m, um::kSetMic, f.canSetMic);
    Enable(m, um::kVolume, f.canSetVolume);

    if (f.target == f.me) {
        Remove(m, um::kVolume);  // I do not hear myself
        Remove(m, um::kPowerCancelGag);
        Remove(m, um::kPropGag);
        Remove(m, um::kAddFriend);
        Enable(m, um::kPowerGag, false);
        Enable(m, um::kKick, false);
        Enable(m, um::kPower, false);
        // A gagged user may lift his own gag with a card.
        if (!(f.meGagged && f.ownsCancelGagCard)) Remove(m, um::kPropCancelGag);
        return m;
    }

    if (!powers.HasPowerOver(f.myRole, f.targetRole, power_id::set_power)) {
        Enable(m, um::kPower, false);
    } else {
        for (std::size_t i = 0; i < roles.Count(); ++i) {
            const RoleEntry* r = roles.At(i);
            if (!powers.HasPowerOver(f.myRole, r->id, power_id::set_power)) continue;
            m.roles.push_back({um::kPowerElementPrefix + std::to_string(i), r->id, r->name, r->colour,
                               r->id == f.targetRole, RoleAsksDays(powers, r->id)});
        }
    }
    if (!f.ownsCancelGagCard) Remove(m, um::kPropCancelGag);
    if (!f.ownsGagCard) Remove(m, um::kPropGag);
    Remove(m, f.targetGagged ? um::kPropGag : um::kPropCancelGag);
    if (!powers.HasPowerOver(f.myRole, f.targetRole, power_id::kick)) Enable(m, um::kKick, false);
    const char* kept = f.targetGagged ? um::kPowerCancelGag : um::kPowerGag;
    Remove(m, f.targetGagged ? um::kPowerGag : um::kPowerCancelGag);
    Enable(m, kept, powers.HasPowerOver(f.myRole, f.targetRole, power_id::gag));
    if (f.isFriend) Remove(m, um::kAddFriend);
    return m;
}

std::optional<UserMenuModel> BuildUserMenu(const CRoomSession& session, std::uint32_t target,
                                           const IRoleTable& roles, UserMenuFacts facts) {
    const auto it = session.users().find(target);
    if (it == session.users().end()) return std::nullopt;
    facts.me = session.myUserId();
    facts.target = target;
    facts.myRole = session.myRole();
    // A role wider than a byte is no role (it must not pass as its low byte).
    facts.targetRole = it->second.role <= 0xFF ? static_cast<std::uint8_t>(it->second.role) : 0;
    facts.meGagged = session.gagged();
    facts.targetGagged = it->second.gagged;
    facts.isFriend = session.buddy() && target != facts.me && BUDDY_QueryFriend(session.buddy(), target);
    return BuildUserMenu(facts, session.powers(), roles);
}
