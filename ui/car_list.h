#pragma once
// The car list dialog's tile lists: a shop ("CarList", cars or pack items,
// each with a buy button "bnt_buy") and my cars ("MyCarList", each with its
// expiry and an activate button "bnt_activate", or "使用中" for the active
// one). Tiles come from "CarListItem.xml" and "MyCarItem.xml".

#include <cstdint>
#include <vector>

#include "room/purchases/purchase_view.h"
#include "ui/purchase_tiles.h"

class CCarList : public CPurchaseTiles {
public:
    using CPurchaseTiles::CPurchaseTiles;
    std::string_view GetClass() const override { return "CarList"; }

    // The tiles for these offers, in order (group entries included as the
    // room gives them). `kind` is what buying one posts.
    void SetOffers(std::uint32_t kind, const std::vector<purchase::Offer>& offers);
    std::uint32_t Kind() const { return kind_; }
    const purchase::Offer* OfferAt(int index) const;
    int Count() const { return static_cast<int>(offers_.size()); }

private:
    std::uint32_t kind_ = 0;
    std::vector<purchase::Offer> offers_;
};

class CMyCarList : public CPurchaseTiles {
public:
    using CPurchaseTiles::CPurchaseTiles;
    std::string_view GetClass() const override { return "MyCarList"; }

    void SetCars(const std::vector<purchase::OwnedCar>& cars);
    const purchase::OwnedCar* CarAt(int index) const;
    int Count() const { return static_cast<int>(cars_.size()); }

private:
    std::vector<purchase::OwnedCar> cars_;
};
