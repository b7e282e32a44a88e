// The room window's gift, car and pack panels.
#include "room/purchases/purchase_actions.h"
#include "ui/gift_ctrl.h"
#include "ui/room_ui.h"

namespace {

struct Panel {
    int kind;
    const char* control;
    int cellWidth, cellHeight;
};
constexpr Panel kPanels[] = {
    {CGiftCtrl::kGifts, "GiftCtrl", 40, 52},
    {CGiftCtrl::kCars, "CarCtrl", 73, 52},
    {CGiftCtrl::kPacks, "PropCtrl", 55, 52},
};
// 0x00BBGGRR, as the room gives its colours.
constexpr std::uint32_t kGridColour = 0x6C3D17;
constexpr std::uint32_t kHoverColour = 0xDDD178;

}  // namespace

CGiftCtrl* CRoomUI::ItemPanel(int kind) const {
    for (const Panel& p : kPanels)
        if (p.kind == kind) return FindControl<CGiftCtrl>(p.control);
    return nullptr;
}

void CRoomUI::SetUpItemPanels() {
    for (const Panel& p : kPanels) {
        CGiftCtrl* panel = FindControl<CGiftCtrl>(p.control);
        if (!panel) continue;
        panel->SetColours(kGridColour, kHoverColour);
        panel->SetCellSize(p.cellWidth, p.cellHeight);
        panel->SetMainWindow(GetHWND());
        panel->SetMyVipLevel([this] {
            const IPurchaseActions* purchases = actions_.Purchases();
            return purchases ? purchases->MyVipLevel() : 0u;
        });
        // What the last session cached shows until the sync is done.
        panel->LoadItems(p.kind);
    }
}

void CRoomUI::SetItemChoiceTarget(HWND target) {
    for (const Panel& p : kPanels)
        if (CGiftCtrl* panel = ItemPanel(p.kind)) panel->SetMainWindow(target);
}

void CRoomUI::ItemsReady(int kind) {
    if (CGiftCtrl* panel = ItemPanel(kind)) panel->LoadItems(kind);
}
