#pragma once
// The item buy dialog ("PropBuyDlg.xml") for a car (titled "座驾") or a
// pack item (titled "道具"): picture, name, price and what the purchase
// gives (days or uses). Confirming posts UM_BUY_ITEM (kind, item id) to the
// room window. Like the gift dialog, an item above my VIP level is shown
// with what it requires and cannot be bought here.

#include "core/message.h"
#include "platform/dui/window.h"
#include "room/purchases/purchase_view.h"

class CPropBuyDlg : public WindowImplBase {
public:
    explicit CPropBuyDlg(HWND owner);

    std::string GetWindowClassName() const override { return "PropBuyUI"; }
    std::string GetSkinFile() const override { return "PropBuyDlg.xml"; }
    void Notify(TNotifyUI& msg) override;

    // "座驾" for kind 4, "道具" for kind 6 (and anything else).
    static const char* TitleFor(std::uint32_t kind);
    // What the purchase gives: "有效期30天" for a car, "可使用5次" for a pack
    // item; "" when the catalogue says nothing.
    static std::string DetailFor(const purchase::Offer& item);

    void Open(const purchase::Offer& item, bool compact, QPoint cursor);
    const purchase::Offer& Item() const { return item_; }
    void Confirm();

protected:
    void InitWindow() override;

private:
    HWND owner_;
    purchase::Offer item_;
    bool compact_ = false;
};
