#pragma once
// The account library's one callback: each event becomes a window message to
// the room window. Records and texts that the library lends for the length of
// the callback are copied into the message's owned payload, freed after the
// room window's handler (or at once when the window is gone).

#include <cstdint>
#include <string>
#include <vector>

#include "core/message.h"
#include "platform/patron/patron_records.h"

// Account answers to the room window. Payloads, when the first parameter is
// 1: the record type named; when it is 0 a std::string with the reason.
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
    UM_PROP_USED = 1788,        // (1 done / 0 failed, pack entry id)
    UM_ACCOUNT_EXIT = 1738,     // the room window's exit path
    UM_ACCOUNT_ENTER_ROOM = 1757,
};

// The wealth billboard's TLV body.
struct AccountBillboard {
    std::vector<unsigned char> body;
};

// context = the AppContext. Events before the room window exists, after
// the session has ended, and of other numbers are dropped.
void AccountCallback(int event, std::uintptr_t a, std::intptr_t b, void* context);
