#pragma once
// What the room window's purchase controls ask of the room: the buttons,
// and the state the panels' popups show. The purchases feature
// (CRoomPurchases) implements it; the panels' and dialogs' choices that the
// room handles as window messages (purchase_messages.h) have a call here
// too, for the headless commands and tests.

#include <cstdint>

class IPurchaseActions {
public:
    virtual ~IPurchaseActions() = default;
    // A panel's item was clicked (message 1742): its buy dialog.
    virtual void ChooseItem(std::uint32_t kind, std::uint32_t itemId) = 0;
    // A buy confirmed (message 1772); a gift's count comes from the gift
    // dialog (IPurchaseView::GiftDialogCount), 1 without one.
    virtual void BuyOrGive(std::uint32_t kind, std::uint32_t itemId) = 0;
    // The car list's activation (1775) and a pack entry used (1787).
    virtual void ActivateCar(std::uint32_t carId) = 0;
    virtual void UseProp(std::uint32_t entryId) = 0;
    // bnt_flower, and the flower animation wrapping (bnt_flower shows again).
    virtual void GiveFlower() = 0;
    virtual void FlowerAnimationWrapped() = 0;
    // bnt_recharge2, our VIP button, the car list button, bnt_prop.
    virtual void Recharge() = 0;
    virtual void OpenVipDialog() = 0;
    virtual void OpenCarList() = 0;
    virtual void OpenPack() = 0;

    virtual std::uint32_t Balance() const = 0;
    virtual std::uint32_t Pelto() const = 0;  // hundredths
    virtual std::uint32_t MyVipLevel() const = 0;  // 0 = none
};
