#include "ui/gift_item_dlg.h"

#include "platform/dui/small_controls.h"

namespace {
constexpr const char* kName = "LabelName";
constexpr const char* kPrice = "LabelPrice";
constexpr const char* kLevel = "LabelLevel";
constexpr const char* kPicture = "ContainerGif";
}  // namespace

GiftItemDlg::GiftItemDlg() {
    // A tool tip of our own: above the room, no task-bar entry, no focus.
    setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_ShowWithoutActivating);
}

CControlUI* GiftItemDlg::CreateControl(std::string_view name) {
    if (name == "gifcontrol") return new CGifControl;
    return nullptr;
}

CGifControl* GiftItemDlg::Picture() const { return FindControl<CGifControl>(kPicture); }

void GiftItemDlg::Fill(const catalogue::GiftItem& item, std::uint32_t myVipLevel) {
    SetControlText(kName, item.name);
    SetControlText(kPrice, catalogue::GiftPriceText(item));
    const std::string level = catalogue::GiftVipText(item, myVipLevel);
    SetControlText(kLevel, level);
    SetControlVisible(kLevel, !level.empty());
    if (CGifControl* gif = Picture()) gif->SetFile(item.animation.empty() ? item.icon : item.animation);
}

void GiftItemDlg::ShowAtCursor(QPoint cursorOnScreen) {
    move(cursorOnScreen + QPoint(kCursorOffset, kCursorOffset));
    if (!isVisible()) show();
}

void GiftItemDlg::Hide() {
    if (CGifControl* gif = Picture()) gif->Stop();
    hide();
}
