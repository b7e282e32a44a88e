#pragma once
// The room window's user menu: the room's model drawn onto the menu skin
// (entries removed, disabled, the roles of "Menu_Power" added and the
// user's own checked), and each choice carried out, through the reason or
// days dialog where one is asked first.

#include <QPointer>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "room/room_user.h"
#include "room/user_menu.h"
#include "ui/kick_reason_dlg.h"

class CMenuWnd;
class IRoomActions;
class QWidget;

class CUserMenuView {
public:
    // The dialogs, modal over the window; replaceable for tests. Each
    // returns nothing when cancelled.
    using ReasonDialogFn = std::function<std::optional<CkickReason::Result>(bool kick, const RoomUser& target)>;
    using DaysDialogFn =
        std::function<std::optional<std::int64_t>(const RoomUser& target, const std::string& roleName)>;
    // "Menu_Volume": the window opens its volume slider for the user.
    using VolumeSliderFn = std::function<void(std::uint32_t userId)>;

    CUserMenuView(IRoomActions& actions, QWidget* owner);

    // Draws the menu of a user onto a loaded menu; false when there is no
    // menu for the user (not in the room). Before the room has started
    // every entry is disabled.
    bool Prepare(CMenuWnd& menu, std::uint32_t userId);
    static void Apply(CMenuWnd& menu, const UserMenuModel& model);
    // A chosen element; true when it was the user menu's.
    bool OnChoice(const std::string& element);

    const std::optional<UserMenuModel>& Model() const { return model_; }
    void SetReasonDialog(ReasonDialogFn f) { reason_ = std::move(f); }
    void SetDaysDialog(DaysDialogFn f) { days_ = std::move(f); }
    void SetVolumeSlider(VolumeSliderFn f) { volume_ = std::move(f); }

private:
    void GagByPower(bool gag);
    void KickTarget();
    void GiveRole(const RoleMenuEntry& role);

    IRoomActions& actions_;
    QPointer<QWidget> owner_;
    std::optional<UserMenuModel> model_;
    ReasonDialogFn reason_;
    DaysDialogFn days_;
    VolumeSliderFn volume_;
};
