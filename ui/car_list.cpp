#include "ui/car_list.h"

#include "ui/offer_view.h"
#include "ui/purchase_texts.h"

namespace {

void SetSub(CControlUI* tile, std::string_view name, const std::string& text) {
    if (CControlUI* c = tile->FindSubControl(name)) {
        c->SetText(text);
        c->SetToolTip(text);
    }
}

}  // namespace

void CCarList::SetOffers(std::uint32_t kind, const std::vector<purchase::Offer>& offers) {
    kind_ = kind;
    offers_.clear();
    Clear(kind == purchase::kCar ? "暂无可购买的座驾" : "暂无可购买的道具");
    for (const purchase::Offer& o : offers) {
        CControlUI* tile = AddTile("CarListItem.xml");
        if (!tile) break;
        offer_view::ShowPicture(tile->FindSubControl("icon"), o.icon);
        SetSub(tile, "Label_name", o.name);
        SetSub(tile, "Label_price",
               purchase_text::OfferPriceText(o.price, o.initialPrice, o.currency));
        offers_.push_back(o);
    }
    DoneFilling();
}

const purchase::Offer* CCarList::OfferAt(int index) const { return TileItem(offers_, index); }

void CMyCarList::SetCars(const std::vector<purchase::OwnedCar>& cars) {
    cars_.clear();
    Clear("您还没有座驾");
    for (const purchase::OwnedCar& car : cars) {
        CControlUI* tile = AddTile("MyCarItem.xml");
        if (!tile) break;
        offer_view::ShowPicture(tile->FindSubControl("icon"), car.icon);
        SetSub(tile, "Label_name", car.name);
        SetSub(tile, "Label_expiry",
               car.expiry ? "到期:" + purchase_text::ExpiryText(car.expiry)
                          : purchase_text::ExpiryText(0));
        if (CControlUI* b = tile->FindSubControl("bnt_activate")) b->SetVisible(!car.active);
        if (CControlUI* l = tile->FindSubControl("Label_active")) l->SetVisible(car.active);
        cars_.push_back(car);
    }
    DoneFilling();
}

const purchase::OwnedCar* CMyCarList::CarAt(int index) const { return TileItem(cars_, index); }
