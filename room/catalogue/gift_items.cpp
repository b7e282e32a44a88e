#include "room/catalogue/gift_items.h"

#include <cinttypes>
#include <cstdio>

#include "room/catalogue/gift_config.h"

namespace catalogue {
namespace {

std::string FullPath(const std::string& folder, const std::string& relative) {
    if (relative.empty()) return {};
    if (folder.empty() || folder.back() == '/') return folder + relative;
    return folder + "/" + relative;
}

GiftItem ItemOf(const PanelItem& p, const std::string& folder, GiftItem::Entry entry, std::uint32_t parent) {
    GiftItem g;
    g.id = p.id;
    g.parentId = parent;
    g.price = p.price;
    g.initialPrice = p.initialPrice;
    g.entry = entry;
    g.buyRequest = p.buyRequest;
    g.currencyName = p.priceName;
    g.name = p.name;
    g.icon = FullPath(folder, p.file);
    g.chatPicture = FullPath(folder, p.pic);
    g.animation = FullPath(folder, p.gift);
    g.sound = FullPath(folder, p.sound);
    return g;
}

// Hundredths as "12.34", exact for any 64-bit amount (a double would round
// the cents of large prices).
std::string Amount(std::int64_t hundredths) {
    const bool negative = hundredths < 0;
    const std::uint64_t v = negative ? 0 - static_cast<std::uint64_t>(hundredths) : static_cast<std::uint64_t>(hundredths);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%s%" PRIu64 ".%02" PRIu64, negative ? "-" : "", v / 100, v % 100);
    return buf;
}

std::vector<GiftItem> ItemsOf(const PanelCatalogue& doc, const std::string& dataFolder) {
    std::vector<GiftItem> items;
    if (!doc.loaded) return items;
    for (const PanelItem& p : doc.items) {
        const std::size_t parentAt = items.size();
        items.push_back(ItemOf(p, dataFolder, GiftItem::kTopLevel, 0));
        for (const PanelItem& m : p.members) {
            items.push_back(ItemOf(m, dataFolder, GiftItem::kMember, p.id));
            GiftItem& parent = items[parentAt];
            const GiftItem& member = items.back();
            if (parent.animation.empty() && !member.animation.empty()) {
                parent.animation = member.animation;
                parent.price = member.price;
            }
        }
    }
    return items;
}

}  // namespace

std::vector<GiftItem> ReadGiftItems(std::string_view xml, const std::string& dataFolder) {
    return ItemsOf(ReadGiftConfig(xml), dataFolder);
}

bool LoadGiftItems(const std::string& dataFolder, const std::string& relativeFile,
                   std::vector<GiftItem>& items) {
    const PanelCatalogue doc = LoadGiftConfig(FullPath(dataFolder, relativeFile));
    items = ItemsOf(doc, dataFolder);
    return doc.loaded;
}

std::string GiftPriceText(const GiftItem& item) {
    if (item.initialPrice == 0) return Amount(item.price) + item.currencyName;
    return "原价:" + Amount(item.initialPrice) + "/现价:" + Amount(item.price) + item.currencyName;
}

std::string GiftVipText(const GiftItem& item, std::uint32_t myVipLevel) {
    if (static_cast<std::int64_t>(myVipLevel) >= item.buyRequest) return {};
    return "需要VIP" + std::to_string(item.buyRequest) + "及以上才能购买";
}

}  // namespace catalogue
