// Any text as a cached GiftConfig.xml, read into a panel's items: whatever
// it holds, every member follows its group, every file stays inside the
// data folder, and a group without an animation has no member with one.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "room/catalogue/gift_items.h"

namespace {

constexpr std::string_view kFolder = "/data/";

void Check(bool ok) {
    if (!ok) std::abort();
}

void CheckPath(const std::string& path) {
    if (path.empty()) return;
    Check(path.size() > kFolder.size() && path.compare(0, kFolder.size(), kFolder) == 0);
    Check(path.find("/../") == std::string::npos && path.find('\\') == std::string::npos);
    Check(path.find('\0') == std::string::npos);
    const std::string_view tail = std::string_view(path).substr(kFolder.size());
    Check(tail.front() != '/' && tail != ".." && tail.substr(0, 3) != "../");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using catalogue::GiftItem;
    const std::string_view xml(reinterpret_cast<const char*>(data), size);
    const auto items = catalogue::ReadGiftItems(xml, std::string(kFolder));
    const GiftItem* group = nullptr;
    for (const GiftItem& item : items) {
        Check(item.id != 0);
        Check(item.price >= 0 && item.initialPrice >= 0 && item.buyRequest >= 0);
        CheckPath(item.icon);
        CheckPath(item.chatPicture);
        CheckPath(item.animation);
        CheckPath(item.sound);
        if (item.entry == GiftItem::kTopLevel) {
            Check(item.parentId == 0 && item.Visible());
            group = &item;
        } else {
            Check(item.entry == GiftItem::kMember && !item.Visible());
            Check(group != nullptr && item.parentId == group->id);
            Check(!group->animation.empty() || item.animation.empty());
        }
        // Texts the popup shows are built for any amount.
        Check(!catalogue::GiftPriceText(item).empty());
        (void)catalogue::GiftVipText(item, 0);
    }
    return 0;
}
