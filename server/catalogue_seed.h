#pragma once
// The demo catalogue: gifts (with a group holding a nested group), cars,
// VIP grades and props, with pictures drawn by the server. Ids are shared
// with the rest of the server: the pack's cards are the props the room
// service spends (account_store.h).

#include <cstdint>
#include <string>

#include "server/account_store.h"

namespace server {

class CCatalogueStore;

namespace demo_item {
inline constexpr std::uint32_t kFirstGift = 1101;  // 24 gifts, 1101 …
inline constexpr std::uint32_t kGiftGroup = 1200;  // members 1201, 1202 and group 1210
inline constexpr std::uint32_t kNestedGroup = 1210;  // members 1211, 1212
inline constexpr std::uint32_t kFirstCar = 4001;   // six cars
// VIP level L for the d-th duration (0 … 3): 7000 + 100 L + d + 1.
inline constexpr std::uint32_t VipItem(unsigned level, unsigned duration) {
    return 7000 + 100 * level + duration + 1;
}
inline constexpr std::uint32_t kGagCard = kPropGagCard;
inline constexpr std::uint32_t kUngagCard = kPropCancelGagCard;
inline constexpr std::uint32_t kVideoText = 1;
}  // namespace demo_item

// Adds the demo catalogue when the catalogue is empty (so an edited one is
// left alone, and the pictures are drawn only once). One transaction.
bool SeedDemoCatalogue(CCatalogueStore& store, std::string& error);

}  // namespace server
