#include "room/purchases/offers.h"

#include <algorithm>
#include <cstdio>

#include "room/typed_command.h"

namespace purchase {

namespace {

struct TierName {
    std::uint32_t level;
    const char* name;
};
constexpr TierName kTiers[] = {{1, "Primary"}, {2, "Medium"}, {3, "Higher"}};
constexpr std::size_t kDurationsPerTier = 4;

}  // namespace

std::string PeltoText(std::uint32_t hundredths) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%0.2f", hundredths / 100.0);
    return buf;
}

std::string CatalogueFile(const std::string& dataFolder, const std::string& relative) {
    if (relative.empty()) return {};
    if (dataFolder.empty() || dataFolder.back() == '/') return dataFolder + relative;
    return dataFolder + "/" + relative;
}

Offer OfferOf(std::uint32_t kind, const catalogue::GiftRecord& r, const std::string& dataFolder) {
    Offer o;
    o.kind = kind;
    o.itemId = r.id;
    o.name = r.name;
    o.price = r.price;
    o.initialPrice = r.initialPrice;
    o.currency = r.currencyName;
    o.icon = CatalogueFile(dataFolder, r.iconFile);
    o.animation = CatalogueFile(dataFolder, r.cartoonFile);
    o.buyRequest = r.buyRequest > 0 ? static_cast<std::uint32_t>(r.buyRequest) : 0;
    o.validTime = r.validTime;
    o.useTimes = r.useTimes;
    return o;
}

std::vector<Offer> OffersOf(std::uint32_t kind, const catalogue::GiftRecords& records,
                            const std::string& dataFolder) {
    std::vector<Offer> out;
    for (const catalogue::GiftRecord& r : records)
        if (!r.IsGroup()) out.push_back(OfferOf(kind, r, dataFolder));
    return out;
}

std::vector<VipTier> VipTiers(const catalogue::GiftRecords& records, const std::string& dataFolder) {
    std::vector<VipTier> tiers;
    for (const TierName& t : kTiers) {
        VipTier tier;
        tier.level = t.level;
        tier.name = t.name;
        for (const catalogue::GiftRecord& r : records) {
            std::int64_t level = 0;
            if (r.IsGroup() || !typed::ParseNumber(r.ext, 1, 3, level) ||
                static_cast<std::uint32_t>(level) != t.level)
                continue;
            tier.durations.push_back(OfferOf(kVip, r, dataFolder));
        }
        if (tier.durations.empty()) continue;
        std::stable_sort(tier.durations.begin(), tier.durations.end(),
                         [](const Offer& a, const Offer& b) { return a.validTime < b.validTime; });
        if (tier.durations.size() > kDurationsPerTier) tier.durations.resize(kDurationsPerTier);
        tiers.push_back(std::move(tier));
    }
    return tiers;
}

}  // namespace purchase
