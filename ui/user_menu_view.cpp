#include "ui/user_menu_view.h"

#include <cstdio>

#include "platform/dui/menu.h"
#include "room/moderation_dialogs.h"
#include "ui/moderation_actions.h"
#include "ui/role_set_dlg.h"
#include "ui/room_ui.h"

namespace um = user_menu;

namespace {

std::string ColouredText(const RoleMenuEntry& r) {
    char colour[8];
    std::snprintf(colour, sizeof colour, "%06X", static_cast<unsigned>(r.colour & 0xFFFFFFu));
    return "<c #" + std::string(colour) + ">" + r.text + "</c>";
}

}  // namespace

CUserMenuView::CUserMenuView(IRoomActions& actions, QWidget* owner) : actions_(actions), owner_(owner) {
    reason_ = [this](bool kick, const RoomUser& target) -> std::optional<CkickReason::Result> {
        CkickReason dlg(kick, target.nickname, target.userId);
        return dlg.ShowModal(owner_);
    };
    days_ = [this](const RoomUser& target, const std::string& roleName) -> std::optional<std::int64_t> {
        CRoleSetDlg dlg(target.nickname, target.userId, roleName);
        return dlg.ShowModal(owner_);
    };
}

void CUserMenuView::Apply(CMenuWnd& menu, const UserMenuModel& model) {
    for (const UserMenuEntry& e : model.entries) {
        menu.SetElementVisible(e.name, e.shown);
        menu.SetElementEnabled(e.name, e.shown && e.enabled);
    }
    if (!model.Enabled(um::kPower)) return;
    for (const RoleMenuEntry& r : model.roles) {
        menu.AddElement(r.element, ColouredText(r), um::kPower);
        menu.SetElementAttribute(r.element, "checkimg", um::kCheckImage);
        menu.SetElementChecked(r.element, r.checked);
    }
}

bool CUserMenuView::Prepare(CMenuWnd& menu, std::uint32_t userId) {
    model_.reset();
    IModerationActions* m = actions_.Moderation();
    // Before the room has started nothing can be done to anyone yet.
    model_ = m ? m->UserMenu(userId) : DisabledUserMenu(userId);
    if (!model_) return false;
    Apply(menu, *model_);
    return true;
}

bool CUserMenuView::OnChoice(const std::string& element) {
    const bool mine = element.rfind(um::kPowerElementPrefix, 0) == 0 || element == um::kUserInfo ||
                      element == um::kAddFriend || element == um::kPowerGag || element == um::kPowerCancelGag ||
                      element == um::kPropGag || element == um::kPropCancelGag || element == um::kKick ||
                      element == um::kSetMic || element == um::kPower || element == um::kVolume;
    if (!mine) return false;
    IModerationActions* m = actions_.Moderation();
    // A choice is only ever for the menu that was drawn, and only what it offered.
    if (!m || !model_) return true;
    const std::uint32_t target = model_->target;
    if (const RoleMenuEntry* r = model_->Role(element)) {
        if (model_->Enabled(um::kPower)) GiveRole(*r);
        return true;
    }
    if (!model_->Enabled(element)) return true;
    if (element == um::kUserInfo) actions_.ShowUserInfo(target);
    else if (element == um::kAddFriend) m->AddFriend(target);
    else if (element == um::kPowerGag) GagByPower(true);
    else if (element == um::kPowerCancelGag) GagByPower(false);
    else if (element == um::kPropGag) m->UseCard(target, kPropGagCard);
    else if (element == um::kPropCancelGag) m->UseCard(target, kPropCancelGagCard);
    else if (element == um::kKick) KickTarget();
    else if (element == um::kSetMic) m->SetUserMic(target);
    else if (element == um::kVolume && volume_) volume_(target);
    return true;
}

void CUserMenuView::GagByPower(bool gag) {
    IModerationActions* m = actions_.Moderation();
    const std::uint32_t target = model_->target;
    // The user may have left, or been (un)gagged, while the menu was open.
    const auto user = m->Member(target);
    if (!user || user->gagged == gag) return;
    if (!gag) {
        m->CancelGag(target);
        return;
    }
    if (!reason_) return;
    const auto r = reason_(false, *user);
    // The dialog ran its own event loop: the room may be gone with the actions.
    if (r && (m = actions_.Moderation())) m->Gag(target, r->reason, r->option);
}

void CUserMenuView::KickTarget() {
    IModerationActions* m = actions_.Moderation();
    const std::uint32_t target = model_->target;
    const auto user = m->Member(target);
    if (!user || !reason_) return;
    const auto r = reason_(true, *user);
    if (r && (m = actions_.Moderation())) m->Kick(target, r->seconds, r->reason);
}

void CUserMenuView::GiveRole(const RoleMenuEntry& role) {
    IModerationActions* m = actions_.Moderation();
    const std::uint32_t target = model_->target;
    const std::uint8_t id = role.role;
    if (!role.asksDays) {
        m->SetRole(target, id, role_days::kMaxDays);
        return;
    }
    const auto user = m->Member(target);
    if (!user || !days_) return;
    const auto days = days_(*user, role.text);
    if (days && (m = actions_.Moderation())) m->SetRole(target, id, *days);
}
