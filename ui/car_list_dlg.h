#pragma once
// The car list ("CarListUI.xml"): three tabs, the car shop, the pack shop
// and my cars. Buying from a shop posts UM_BUY_ITEM (kind, item id) to the
// room window; activating one of my cars posts UM_ACTIVATE_CAR (car id).

#include <vector>

#include "core/message.h"
#include "platform/dui/window.h"
#include "room/purchases/purchase_view.h"

class CCarList;
class CMyCarList;
class CPurchaseTiles;

class CCarListDlg : public WindowImplBase {
public:
    enum Tab { kCarShop = 0, kPackShop = 1, kMyCars = 2 };

    explicit CCarListDlg(HWND owner);

    std::string GetWindowClassName() const override { return "CarListUI"; }
    std::string GetSkinFile() const override { return "CarListUI.xml"; }
    CControlUI* CreateControl(std::string_view name) override;
    void Notify(TNotifyUI& msg) override;

    // Fills both shops and shows the window centred, on the car shop.
    void Open(const std::vector<purchase::Offer>& cars, const std::vector<purchase::Offer>& packs);
    void ShowMyCars(const std::vector<purchase::OwnedCar>& cars);
    void SelectTab(Tab tab);
    int CurrentTab() const;

    CCarList* CarShop() const { return carShop_; }
    CCarList* PackShop() const { return packShop_; }
    CMyCarList* MyCars() const { return myCars_; }
    // The list of the tab shown (its pager is the window's).
    CPurchaseTiles* CurrentList() const;

    // A tile's button, as a click on it does: true when it posted.
    bool OnTileButton(CControlUI* button);

protected:
    void InitWindow() override;

private:
    HWND owner_;
    CCarList* carShop_ = nullptr;
    CCarList* packShop_ = nullptr;
    CMyCarList* myCars_ = nullptr;
};
