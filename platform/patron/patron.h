#pragma once
// The account library: sign-in, the token, balance, wealth grade, lists,
// billboards, flowers, purchases and using props, from zeri-server's account service
// over HTTP+JSON (docs/account-api.md).
//
// A session (PATRON_Connect) owns one worker thread. Every request is
// queued to it and answered later through the session's one callback,
// called on that worker thread: callback(event, a, b, context). Requests
// return 1 when queued, 0 when not (no such session, closed, queue full).
// Only PATRON_Connect (waits for the service's greeting) and PATRON_Login
// (shows the sign-in window or signs in from the flags) wait for answers.

#include <cstdint>
#include <string>

#include "platform/patron/patron_records.h"

using PATRON_HANDLE = std::uintptr_t;  // 0 = none

// Events. `b` points to data that lives only during the callback.
enum : int {
    PATRON_EV_SESSION_LOST = 1,   // the service refused the token (expired, replaced by
                                  // another sign-in, signed out); a = b = 0
    PATRON_EV_USER_LEVEL = 2,     // a = 1: b = PatronUserLevel*; a = 0: b = error text
    PATRON_EV_FLOWER_COUNT = 4,   // a = 1 valid / 0 failed, b = the count
    PATRON_EV_FLOWER_FAILED = 5,  // giving flowers failed; a = b = 0
    PATRON_EV_BALANCE = 6,        // a = 1: b = PatronBalance*; a = 0: b = error text
    PATRON_EV_PURCHASE = 7,       // a = status, b = PatronPurchaseResult* (always)
    PATRON_EV_WEALTH_GRADE = 8,   // a = 1: b = PatronWealthGrade*; a = 0: b = error text
    PATRON_EV_BILLBOARD = 12,     // a = body length, b = the TLV body (see below)
    PATRON_EV_CAR_LIST = 14,      // a = 1: b = PatronCarList*; a = 0: b = error text
    PATRON_EV_CAR_ACTIVATED = 15, // a = 1 done / 0 failed, b = car id
    PATRON_EV_RECHARGE = 16,      // a = 1 done / 0 failed, b = 0
    PATRON_EV_PACK_LIST = 17,     // a = 1: b = PatronPackList*; a = 0: b = error text
    PATRON_EV_VIP_LIST = 18,      // a = 1: b = PatronVipList*; a = 0: b = error text
    PATRON_EV_PROP_USED = 19,     // a = 1 used / 0 refused, b = pack entry id
    PATRON_EV_CLOSED = 256,       // the session has ended (PATRON_Close); the last event
    PATRON_EV_ENTER_ROOM = 257,   // a = room id to enter (the room directory's choice)
};
// Wealth billboard body: tag 200 (u32) result, 0 = success; 201 error text;
// 1 the period ("DAY", "WEEK", "MONTH", "ALL"); tag 2 once per entry, a
// nested body with 3 user id, 9 wealth grade, 6 coins spent in the period
// (u32s), 4 nickname, 5 grade text, 7 grade colour, 8 head image URL (texts)
// and 10 the medal icon URL.

using PATRON_CALLBACK = void (*)(int event, std::uintptr_t a, std::intptr_t b, void* context);

// Where the account service is (before PATRON_Connect; default 127.0.0.1:8080).
void PATRON_SetServer(const std::string& host, std::uint16_t port = 8080);

// How PATRON_Login signs in. With a user name and password it signs in
// without a window; headless it never opens one. `confFolder` keeps the last
// user name (empty: the data folder's conf/).
struct PatronLoginOptions {
    std::string user;
    std::string password;
    bool headless = false;
    std::string confFolder;
    // The server was named for this run (--server): the window offers it
    // rather than the one remembered from the last sign-in.
    bool serverGiven = false;
};
void PATRON_SetLoginOptions(const PatronLoginOptions& options);

// 0 when the account service cannot be reached.
PATRON_HANDLE PATRON_Connect();
// A handle whose service could not be reached: the sign-in window of
// PATRON_Login then connects, to the same server or another one.
PATRON_HANDLE PATRON_Open();
// Where the account service is now (the sign-in window may have changed it).
void PATRON_GetServer(std::string& host, std::uint16_t& port);
// "host[:port]" (a host name or IPv4 address; the port 1–65535, `port`
// kept when none is given). False for anything else.
bool PATRON_ParseServer(const std::string& text, std::string& host, std::uint16_t& port);
int PATRON_SetCallBack(PATRON_HANDLE h, PATRON_CALLBACK callback, void* context);
// Non-zero when signed in. Shows the sign-in window unless the options give
// the name and password (or say headless); 0 when the user cancels or,
// without a window, when the service refuses (the reason on standard error).
int PATRON_Login(PATRON_HANDLE h);
// Signs out (the token dies) and ends the session: PATRON_EV_CLOSED is the
// last event. The handle is invalid afterwards. Never waits.
void PATRON_Close(PATRON_HANDLE h);
// a = my user id, b = when my token expires (seconds since 1970). 0 before sign-in.
int PATRON_GetLoginInfo(PATRON_HANDLE h, std::uint32_t* a, std::uint32_t* b);
int PATRON_GetMyDetailInfo(PATRON_HANDLE h, PatronUserDetail* record);
// The friends store's session, kept for the library's windows.
int PATRON_ImHandle(PATRON_HANDLE h, void* buddy);
// Copies the token (at most 127 characters) and a NUL into a 128-byte buffer.
int PATRON_GetToken(PATRON_HANDLE h, char* buffer128);

int PATRON_GetBalance(PATRON_HANDLE h, std::uint32_t me);
int PATRON_GetWealthGrade(PATRON_HANDLE h, std::uint32_t me, std::uint32_t user);
int PATRON_GetMyCarList(PATRON_HANDLE h, std::uint32_t me, std::uint32_t user);
int PATRON_GetMyVipList(PATRON_HANDLE h, std::uint32_t me);
int PATRON_GetMyPackList(PATRON_HANDLE h, std::uint32_t me);
int PATRON_GetUserLevel(PATRON_HANDLE h, std::uint32_t user);
// list 0 = day, 1 = week, 2 = month, 3 = all time.
int PATRON_GetWealthBillBoard(PATRON_HANDLE h, std::uint32_t me, std::uint32_t list,
                              std::uint32_t start, std::uint32_t count);
int PATRON_GetFlowerNum(PATRON_HANDLE h, std::uint32_t anchor);

// Uses one prop of a pack entry on the record's receiver in its room
// (/account/give-prop): a gag card (100) gags, a cancel-gag card (10) frees.
// PATRON_EV_PROP_USED: a = 1 used / 0 refused (the service's reason is
// logged), b = the entry. The giver is always the signed-in user.
int PATRON_GiveProp(PATRON_HANDLE h, const PatronPropRecord* record);

// Purchases. Each paying call sends a random 128-bit request id; an answer
// lost on the way (no HTTP answer at all) is asked for again with the same
// id, at most twice, and the service pays and delivers it once.
// Flowers for the room's anchor: free, one a minute. Success shows through
// the room's push; a failure raises PATRON_EV_FLOWER_FAILED. The JSON text
// is not sent: the service builds what the room shows from its tables.
int PATRON_GiveFlower(PATRON_HANDLE h, std::uint32_t me, std::uint32_t anchor,
                      std::uint32_t room, const char* json);
// Kind 1 gives `count` of a gift to the record's receiver (the room's
// anchor) in the record's room; kinds 4 (car), 6 (pack item) and 7 (VIP
// time) buy the item for me. PATRON_EV_PURCHASE: a = status, b = the
// PatronPurchaseResult with the service's answer or its reason.
int PATRON_GiveGift(PATRON_HANDLE h, const PatronGiftRecord* gift,
                    const PatronItemRecord* item, std::uint32_t count);
// Makes one of my cars the one shown when I enter a room:
// PATRON_EV_CAR_ACTIVATED, a = 1 done / 0 failed, b = the car id.
int PATRON_ActivateCar(PATRON_HANDLE h, std::uint32_t me, const char* carId);
// Recharges (demo coins; a server without --demo-recharge refuses):
// PATRON_EV_RECHARGE, a = 1 / 0. The outcome is also one "recharge:" line on
// standard output where there are no windows.
int PATRON_Recharge(PATRON_HANDLE h, std::uint32_t me);

// Shows a small profile window of the user (without windows: one
// "profile:" line on standard output).
int PATRON_ShowUserInfo(PATRON_HANDLE h, std::uint32_t user);
// The user chose a room (the room directory): raises PATRON_EV_ENTER_ROOM
// with its id on the calling thread. 0 without a signed-in session or room.
int PATRON_EnterRoom(PATRON_HANDLE h, std::uint32_t room);
// After every room login: the service keeps the room as my last room.
int PATRON_LoginRoomNotify(PATRON_HANDLE h, std::uint32_t me, std::uint32_t room,
                           const char* text, const char* text2);

// Waits for closed sessions to finish their sign-out (bounded by the
// request timeouts) and frees them. Process exit and tests.
void PATRON_Shutdown();
