#pragma once
// What buying and giving show beyond named controls: the buy dialogs, the
// VIP dialog, the car list with the shops and my cars, my pack, the
// video-text prompt and the wealth billboards. The Qt room window draws
// them; the headless view prints them; a view without them shows nothing.
//
// The dialogs answer the room the way the panels do, by window messages to
// the room window (room/purchases/purchase_messages.h): confirming a buy
// posts UM_BUY_ITEM, activating a car UM_ACTIVATE_CAR, using a pack entry
// UM_USE_PROP. Only the video-text prompt answers through its callback,
// because it carries text.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace purchase {

// The purchase kinds: the first parameter of UM_ITEM_CHOSEN and UM_BUY_ITEM.
enum Kind : std::uint32_t { kGift = 1, kCar = 4, kProp = 6, kVip = 7 };

// One catalogue item as a dialog or a shop shows it.
struct Offer {
    std::uint32_t kind = 0;
    std::uint32_t itemId = 0;
    std::string name;
    std::int64_t price = 0;         // hundredths of the currency
    std::int64_t initialPrice = 0;  // 0: no former price
    std::string currency;           // the currency's name
    std::string icon;               // local file (absolute); empty when none
    std::string animation;          // local file (absolute); empty when none
    std::uint32_t buyRequest = 0;   // the lowest VIP level that may buy it
    std::int32_t validTime = 0;     // cars and VIP: days bought
    std::int32_t useTimes = 0;      // pack items: uses bought
};

// The VIP dialog's tiers ("Primary", "Medium", "Higher"), each with its
// duration options (at most four, the shortest first).
struct VipTier {
    std::uint32_t level = 0;
    std::string name;
    std::vector<Offer> durations;
};

struct OwnedCar {
    std::uint32_t carId = 0;
    std::string name;
    std::uint32_t expiry = 0;  // seconds since 1970; 0 = never
    bool active = false;
    std::string icon;  // from the car catalogue; empty when unknown
};

struct OwnedVip {
    std::uint32_t vipId = 0;
    std::uint32_t level = 0;
    std::string name;
    std::uint32_t expiry = 0;
};

struct PackLine {
    std::uint32_t entryId = 0;  // what UM_USE_PROP carries
    std::uint32_t propId = 0;
    std::uint32_t count = 0;
    std::string name;
    std::string icon;  // from the pack catalogue; empty when unknown
};

// One line of a wealth billboard.
struct BillboardLine {
    std::uint32_t place = 0;   // 1-based
    std::uint32_t userId = 0;  // tag 3
    std::uint32_t grade = 0;   // tag 9
    std::uint32_t amount = 0;  // tag 6
    std::string nickname;      // tag 4
    std::string gradeText;     // tag 5
    std::string colour;        // tag 7
    std::string head;          // tag 8
    std::string icon;          // tag 10's medal, local path once cached; else empty
};

}  // namespace purchase

class IPurchaseView {
public:
    virtual ~IPurchaseView() = default;
    // The buy dialog just above the cursor, centred on it. Kind 1: the gift
    // dialog with its count (1 to 9999), the smaller variant when `compact`
    // (the item asks for a higher VIP level than mine); kinds 4 and 6: the
    // item dialog titled "座驾" or "道具". Confirming posts UM_BUY_ITEM.
    virtual void OpenBuyDialog(const purchase::Offer& item, bool compact) {
        (void)item;
        (void)compact;
    }
    // The count the open gift dialog holds; nothing when it is not open.
    // A count that is no number reads as 0.
    virtual std::optional<std::int64_t> GiftDialogCount() const { return std::nullopt; }
    // The VIP dialog; its buy buttons post UM_BUY_ITEM with kind 7.
    virtual void OpenVipDialog(const std::vector<purchase::VipTier>& tiers) { (void)tiers; }
    // The car list: the car shop, the pack shop and my cars.
    virtual void OpenCarList(const std::vector<purchase::Offer>& cars,
                             const std::vector<purchase::Offer>& packs) {
        (void)cars;
        (void)packs;
    }
    // My lists as the account last gave them (the car list's third tab, the
    // pack view, the VIP display). Shown whether or not their window is open.
    virtual void ShowMyCars(const std::vector<purchase::OwnedCar>& cars) { (void)cars; }
    virtual void ShowMyPack(const std::vector<purchase::PackLine>& pack) { (void)pack; }
    virtual void ShowMyVips(const std::vector<purchase::OwnedVip>& vips, std::uint32_t level) {
        (void)vips;
        (void)level;
    }
    // My pack from bnt_prop; its entries post UM_USE_PROP.
    virtual void OpenPack() {}
    // The video-text prompt ("上视频"), centred; `ok` gets the UTF-8 text.
    virtual void OpenVideoTextDialog(std::function<void(const std::string& text)> ok) { (void)ok; }
    // A billboard list ("ListWealthDay", "ListWealthWeek", "ListWealthMonth",
    // "ListWealthAll") replaced by these lines.
    virtual void ShowBillboard(const std::string& list,
                               const std::vector<purchase::BillboardLine>& lines) {
        (void)list;
        (void)lines;
    }
};
