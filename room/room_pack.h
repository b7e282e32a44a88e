#pragma once
// My pack as the account service last listed it (message UM_PACK_LIST):
// which props I hold, and the entry a card is used by. Moderation reads it
// for the gag cards, the user menu for which card entries to offer.

#include <cstdint>
#include <string>
#include <vector>

#include "core/message.h"

// Props the room knows by their id.
inline constexpr std::uint32_t kPropVideoText = 1;
inline constexpr std::uint32_t kPropCancelGagCard = 10;
inline constexpr std::uint32_t kPropGagCard = 100;

struct PackItem {
    std::uint32_t entryId = 0;
    std::uint32_t propId = 0;
    std::uint32_t count = 0;
    std::uint32_t value = 0;  // passed back when the prop is used
    std::string name;
};

class CRoomPack {
public:
    // A pack answer: a listed pack replaces mine and true; a failed answer
    // (or one that is no pack) leaves mine as it was and false.
    bool OnPackList(const WindowMessage& m);
    void Set(std::vector<PackItem> items);

    // An entry holds the prop with at least one left: a used-up card is no card.
    bool OwnsCard(std::uint32_t propId) const { return FirstEntry(propId) != nullptr; }
    // The first such entry, or nothing.
    const PackItem* FirstEntry(std::uint32_t propId) const;
    const std::vector<PackItem>& items() const { return items_; }
    bool loaded() const { return loaded_; }

private:
    std::vector<PackItem> items_;
    bool loaded_ = false;
};
