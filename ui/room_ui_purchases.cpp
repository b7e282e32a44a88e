// The room window's part of buying: its buttons go to the room's
// purchases, and what the purchase dialogs post to the window is handed on
// there too.
#include "room/purchases/purchase_actions.h"
#include "room/purchases/purchase_messages.h"
#include "ui/room_ui.h"

bool CRoomUI::OnPurchaseClick(const std::string& name) {
    using Action = void (IPurchaseActions::*)();
    struct Button {
        const char* name;
        Action action;
    };
    static const Button kButtons[] = {
        {"bnt_flower", &IPurchaseActions::GiveFlower},
        {"bnt_recharge2", &IPurchaseActions::Recharge},
        {"bnt_vip", &IPurchaseActions::OpenVipDialog},
        {"bnt_carlist", &IPurchaseActions::OpenCarList},
        {"bnt_prop", &IPurchaseActions::OpenPack},
    };
    for (const Button& b : kButtons) {
        if (name != b.name) continue;
        if (IPurchaseActions* p = actions_.Purchases()) (p->*b.action)();
        return true;
    }
    return false;
}

bool CRoomUI::OnPurchaseMessage(const WindowMessage& m) {
    const auto first = static_cast<std::uint32_t>(m.wParam);
    const auto second = static_cast<std::uint32_t>(m.lParam);
    IPurchaseActions* p = actions_.Purchases();
    switch (m.msg) {
        case purchase::UM_ITEM_CHOSEN:
            if (p) p->ChooseItem(first, second);
            return true;
        case purchase::UM_BUY_ITEM:
            if (p) p->BuyOrGive(first, second);
            // The room has read the gift dialog's count by now.
            purchases_.BuyHandled();
            return true;
        case purchase::UM_ACTIVATE_CAR:
            if (p) p->ActivateCar(first);
            return true;
        case purchase::UM_USE_PROP:
            if (p) p->UseProp(first);
            return true;
        default:
            return false;
    }
}

void CRoomUI::OnGifEnd(CGifControl* gif) {
    // A hidden animation wraps for nobody.
    if (!gif || gif != FindControl("gif_flower") || !gif->IsVisible()) return;
    if (IPurchaseActions* p = actions_.Purchases()) p->FlowerAnimationWrapped();
}
