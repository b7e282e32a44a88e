#pragma once
// What the room needs from the signed-in account: who I am, my token, and
// the account queries the room starts. The account library's adapter
// implements it; the queries' answers come back as window messages.

#include <cstdint>
#include <string>
#include <vector>

#include "net/user_card.h"

// Account answers to the room window (the program's account callback posts
// them). Payloads, when the first parameter is 1: the record type named;
// when it is 0 a std::string with the reason.
enum : unsigned {
    UM_USER_LEVEL = 1732,       // PatronUserLevel
    UM_FLOWER_COUNT = 1741,     // (1 valid / 0 failed, count)
    UM_BALANCE = 1744,          // PatronBalance
    UM_PURCHASE_RESULT = 1745,  // PatronPurchaseResult, always
    UM_WEALTH_GRADE = 1751,     // PatronWealthGrade
    UM_BILLBOARD = 1764,        // AccountBillboard (wParam = its length)
    UM_FLOWER_FAILED = 1765,
    UM_CAR_ACTIVATED = 1773,    // (1 done / 0 failed, car id)
    UM_CAR_LIST = 1774,         // PatronCarList
    UM_RECHARGE_RESULT = 1776,  // (1 done / 0 failed)
    UM_VIP_LIST = 1783,         // PatronVipList
    UM_PACK_LIST = 1784,        // PatronPackList
    UM_PROP_USED = 1788,        // (1 used / 0 refused, pack entry id)
    UM_ACCOUNT_EXIT = 1738,     // the room window's exit path
    UM_ACCOUNT_ENTER_ROOM = 1757,
};

// The wealth billboard's TLV body (UM_BILLBOARD), copied from the library.
struct AccountBillboard {
    std::vector<unsigned char> body;
};

// One prop of a pack entry used on a member of the room.
struct PropUse {
    std::uint32_t giverId = 0;  // me
    std::uint32_t receiverId = 0;
    std::uint32_t entryId = 0;
    std::uint32_t count = 1;
    std::uint32_t roomId = 0;
    std::uint32_t value = 0;  // the pack entry's own value
    std::string text;         // the video-text prop's text
};

// A purchase or a gift, as PATRON_GiveGift carries it: the giver is me,
// the receiver the room's anchor (gifts) or me (cars, pack items, VIP).
struct PurchaseOrder {
    std::uint32_t kind = 0;  // 1 gift, 4 car, 6 pack item, 7 VIP
    std::uint32_t itemId = 0;
    std::uint32_t count = 1;
    std::uint32_t receiverId = 0;
    std::string receiverNick;
    std::uint32_t giverId = 0;
    std::string giverNick;
    std::uint32_t roomId = 0;
    std::string code;       // the catalogue item's code text
    std::string itemName;
    std::int64_t price = 0;  // the catalogue's price, hundredths
    std::string headUrl;     // my head image
    std::string text4;       // my user card tag 4
    std::uint8_t profileByte = 0;  // my user card tag 3
};

struct MyAccount {
    std::uint32_t userId = 0;
    std::string nickname;
    std::string token;  // at most 127 characters
    std::uint8_t sex = 2;  // 1 woman, 0 man, 2 not said (the chat lines' default)
    msg::user_card card;
};

class IRoomAccount {
public:
    virtual ~IRoomAccount() = default;
    virtual MyAccount Me() = 0;
    // After every successful room login.
    virtual void LoginRoomNotify(std::uint32_t roomId) = 0;
    // Balance, wealth grade, cars, VIP, pack, user level.
    virtual void RequestAccountState() = 0;
    virtual void RequestBalance() = 0;
    // The wealth billboards (periods 0 day to 3 all time, 20 entries each).
    virtual void RequestBillboards() = 0;
    virtual void RequestFlowerCount(std::uint32_t anchorId) = 0;
    // The power list of the room service ("m=LB"); the answer arrives as
    // message 1125 with the JSON text.
    virtual void RequestPowerList() = 0;
    // My pack again (answer: UM_PACK_LIST).
    virtual void RequestPack() = 0;
    // Uses a prop; false when the call failed at once. The result comes as
    // UM_PROP_USED.
    virtual bool GiveProp(const PropUse& use) = 0;
    // Buys or gives (false when the call failed at once); the result comes
    // as UM_PURCHASE_RESULT.
    virtual bool GiveGift(const PurchaseOrder& order) {
        (void)order;
        return false;
    }
    // Makes the car the one shown when I enter a room (UM_CAR_ACTIVATED).
    virtual bool ActivateCar(std::uint32_t carId) {
        (void)carId;
        return false;
    }
    // The account's own recharge window (UM_RECHARGE_RESULT).
    virtual void Recharge() {}
    // A flower for the anchor; `json` describes me for the room's line.
    // False when the call failed at once (UM_FLOWER_FAILED otherwise on failure).
    virtual bool GiveFlower(std::uint32_t anchorId, std::uint32_t roomId, const std::string& json) {
        (void)anchorId;
        (void)roomId;
        (void)json;
        return false;
    }
    // My cars (UM_CAR_LIST) and my VIP memberships (UM_VIP_LIST) again.
    virtual void RequestCars() {}
    virtual void RequestVips() {}
    // The account's own profile window of a user.
    virtual void ShowUserInfo(std::uint32_t userId) = 0;
    virtual void Close() = 0;
};
