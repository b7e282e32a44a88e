#pragma once
// What the room needs from the signed-in account: who I am, my token, and
// the account queries the room starts. The account library's adapter
// implements it; the queries' answers come back as window messages.

#include <cstdint>
#include <string>

#include "net/user_card.h"

struct MyAccount {
    std::uint32_t userId = 0;
    std::string nickname;
    std::string token;  // at most 127 characters
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
    // Both wealth billboards (periods 0 and 1, 20 entries).
    virtual void RequestBillboards() = 0;
    virtual void RequestFlowerCount(std::uint32_t anchorId) = 0;
    // The power list of the room service ("m=LB"); the answer arrives as
    // message 1125 with the JSON text.
    virtual void RequestPowerList() = 0;
    virtual void Close() = 0;
};
