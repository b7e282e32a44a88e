#pragma once
// Catalogue items as the buy dialogs and shops show them, and the VIP
// dialog's tiers. The catalogue keeps its files relative to the data
// folder; offers carry absolute paths.

#include <cstdint>
#include <string>
#include <vector>

#include "room/catalogue/gift_record.h"
#include "room/purchases/purchase_view.h"

namespace purchase {

// The buyable items of one catalogue, in catalogue order: group entries
// are no items.
std::vector<Offer> OffersOf(std::uint32_t kind, const catalogue::GiftRecords& records,
                            const std::string& dataFolder);
Offer OfferOf(std::uint32_t kind, const catalogue::GiftRecord& r, const std::string& dataFolder);

// The VIP catalogue as tiers: levels 1, 2 and 3 (the item's ext) named
// "Primary", "Medium" and "Higher", each with its durations shortest first,
// at most four. A tier with no item is left out.
std::vector<VipTier> VipTiers(const catalogue::GiftRecords& records, const std::string& dataFolder);

// The pelto balance's hundredths as shown: 12345 → "123.45".
std::string PeltoText(std::uint32_t hundredths);

// A local file of the catalogue (relative to the data folder) as a full
// path; empty stays empty.
std::string CatalogueFile(const std::string& dataFolder, const std::string& relative);

}  // namespace purchase
