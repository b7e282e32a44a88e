#include "ui/car_list_dlg.h"

#include "core/paths.h"
#include "platform/dui/controls.h"
#include "room/purchases/purchase_messages.h"
#include "ui/car_list.h"
#include "ui/offer_view.h"

namespace {

struct TabOption {
    const char* option;
    CCarListDlg::Tab tab;
};
constexpr TabOption kTabs[] = {{"Option_car_shop", CCarListDlg::kCarShop},
                               {"Option_pack_shop", CCarListDlg::kPackShop},
                               {"Option_my_car", CCarListDlg::kMyCars}};

}  // namespace

CCarListDlg::CCarListDlg(HWND owner) : owner_(owner) {
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
}

CControlUI* CCarListDlg::CreateControl(std::string_view name) {
    if (name == "carlist") return new CCarList;
    if (name == "mycarlist") return new CMyCarList;
    return nullptr;
}

void CCarListDlg::InitWindow() {
    Manager().AddImageRoot(paths::DataFolder());
    carShop_ = FindControl<CCarList>("List_car_shop");
    packShop_ = FindControl<CCarList>("List_pack_shop");
    myCars_ = FindControl<CMyCarList>("List_my_car");
}

void CCarListDlg::Open(const std::vector<purchase::Offer>& cars,
                       const std::vector<purchase::Offer>& packs) {
    if (carShop_) carShop_->SetOffers(purchase::kCar, cars);
    if (packShop_) packShop_->SetOffers(purchase::kProp, packs);
    SelectTab(kCarShop);
    CenterWindow();
    offer_view::Present(*this);
}

void CCarListDlg::ShowMyCars(const std::vector<purchase::OwnedCar>& cars) {
    if (myCars_) myCars_->SetCars(cars);
    tile_pager::Show(*this, CurrentList());
}

CPurchaseTiles* CCarListDlg::CurrentList() const {
    switch (CurrentTab()) {
        case kCarShop:
            return carShop_;
        case kPackShop:
            return packShop_;
        case kMyCars:
            return myCars_;
        default:
            return nullptr;
    }
}

void CCarListDlg::SelectTab(Tab tab) {
    for (const TabOption& t : kTabs)
        if (t.tab == tab) SetControlSelected(t.option, true);
    if (auto* tabs = FindControl<CTabLayoutUI>("tab_carlist")) tabs->SelectItem(tab);
    tile_pager::Show(*this, CurrentList());
}

int CCarListDlg::CurrentTab() const {
    const auto* tabs = FindControl<CTabLayoutUI>("tab_carlist");
    return tabs ? tabs->GetCurSel() : -1;
}

bool CCarListDlg::OnTileButton(CControlUI* button) {
    if (!button) return false;
    if (button->GetName() == "bnt_buy") {
        const CCarList* shop = CPurchaseTiles::ListOf<CCarList>(button);
        const purchase::Offer* o = shop ? shop->OfferAt(shop->TileIndexOf(button)) : nullptr;
        if (!o) return false;
        return PostMessage(owner_, purchase::UM_BUY_ITEM, shop->Kind(), o->itemId);
    }
    if (button->GetName() == "bnt_activate") {
        const CMyCarList* mine = CPurchaseTiles::ListOf<CMyCarList>(button);
        const purchase::OwnedCar* car = mine ? mine->CarAt(mine->TileIndexOf(button)) : nullptr;
        if (!car) return false;
        return PostMessage(owner_, purchase::UM_ACTIVATE_CAR, car->carId, 0);
    }
    return false;
}

void CCarListDlg::Notify(TNotifyUI& msg) {
    namespace n = dui::notify;
    const std::string& name = msg.senderName;
    if (msg.sType == n::kSelectChanged && msg.wParam == 1) {
        for (const TabOption& t : kTabs)
            if (name == t.option) SelectTab(t.tab);
    } else if (msg.sType == n::kClick) {
        if (name == "bnt_close")
            Close();
        else if (!tile_pager::Turn(*this, CurrentList(), name))
            OnTileButton(msg.pSender);
    }
}
