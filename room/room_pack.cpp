#include "room/room_pack.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "platform/patron/patron_records.h"

bool CRoomPack::OnPackList(const WindowMessage& m) {
    const PatronPackList* list = m.wParam == 1 ? m.As<PatronPackList>() : nullptr;
    if (!list || list->status != 1) return false;
    std::vector<PackItem> items;
    // The record's own count is not trusted beyond its array.
    const std::size_t n = std::min<std::size_t>(list->count, std::size(list->entries));
    for (std::size_t i = 0; i < n; ++i) {
        const PatronPackEntry& e = list->entries[i];
        items.push_back({e.entryId, e.propId, e.count, e.value,
                         std::string(e.name, strnlen(e.name, sizeof e.name))});
    }
    Set(std::move(items));
    return true;
}

void CRoomPack::Set(std::vector<PackItem> items) {
    items_ = std::move(items);
    loaded_ = true;
}

const PackItem* CRoomPack::FirstEntry(std::uint32_t propId) const {
    for (const PackItem& p : items_)
        if (p.propId == propId && p.count > 0) return &p;
    return nullptr;
}
