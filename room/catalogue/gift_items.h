#pragma once
// The items of one panel (gifts, cars or packs) as the panel draws and
// pages them: the cached GiftConfig.xml read back, flattened in document
// order (a group, then its members), with every file a full path.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace catalogue {

struct GiftItem {
    enum Entry : std::int32_t { kTopLevel = 1, kMember = 2 };

    std::uint32_t id = 0;
    std::uint32_t parentId = 0;  // 0 for a top-level item
    // Hundredths of the currency unit.
    std::int64_t price = 0, initialPrice = 0;
    std::int32_t entry = kTopLevel;  // members are never cells of the grid
    std::int64_t buyRequest = 0;     // the lowest VIP level that may buy it
    std::string currencyName, name;
    // Data folder + the cached relative path; empty when there is none.
    std::string icon, chatPicture, animation, sound;

    bool Visible() const { return entry == kTopLevel; }
};

// Items from the document's text; empty for a damaged or foreign one. A
// group without an animation of its own takes the price and animation of
// its first member that has one.
std::vector<GiftItem> ReadGiftItems(std::string_view xml, const std::string& dataFolder);
// The file data folder + `relativeFile` into `items` (emptied first); false
// when it is missing or no catalogue document.
bool LoadGiftItems(const std::string& dataFolder, const std::string& relativeFile,
                   std::vector<GiftItem>& items);

// The popup's price line: "8.00金币" or, with a former price,
// "原价:10.00/现价:8.00金币".
std::string GiftPriceText(const GiftItem& item);
// The popup's level line: "需要VIP3及以上才能购买" while my level is below
// the item's; empty otherwise.
std::string GiftVipText(const GiftItem& item, std::uint32_t myVipLevel);

}  // namespace catalogue
