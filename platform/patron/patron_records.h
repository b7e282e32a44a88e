#pragma once
// The records the account library hands out. Plain structs of fixed size
// (checked below): the events pass a pointer to one for the length of the
// callback, and the program copies it whole onto the heap for the room
// window. Texts are UTF-8, NUL-terminated, cut at a character boundary when
// longer than their field. Numbers are host order; times are seconds since
// 1970 (0 = never expires).

#include <cstddef>
#include <cstdint>

// --- event 2: the user's level (PATRON_GetUserLevel) ------------- 4120 bytes
struct PatronUserLevel {
    std::uint32_t status;          // 1 = valid
    std::uint32_t userId;
    std::uint32_t level;           // 1 …
    std::uint32_t experience;      // saturated at 0xFFFFFFFF
    std::uint32_t nextExperience;  // experience of the next level; 0 at the top
    std::uint32_t reserved;
    char title[64];                // e.g. "Lv.3"
    char detail[4032];             // free text the service may add; empty today
};

// --- event 6: balance (PATRON_GetBalance) --------------------------- 40 bytes
struct PatronBalance {
    std::uint32_t status;  // 1 = valid
    std::uint32_t userId;
    std::uint32_t coins;   // the coin balance, saturated
    std::uint32_t pelto;   // the second balance in hundredths (12345 = 123.45)
    std::uint32_t reserved[6];
};

// --- event 7: purchase result (PATRON_GiveGift) -------------------- 732 bytes
struct PatronPurchaseResult {
    std::uint32_t status;  // 1 = done, 0 = failed (error says why)
    std::uint32_t kind;    // 1 gift, 4 car, 6 pack item, 7 VIP
    std::uint32_t itemId;
    std::uint32_t count;
    char kindText[16];     // the kind as decimal text ("1", "4", "6", "7")
    char error[512];       // the reason of a failure; empty on success
    char receiver[64];     // receiver's nickname
    char itemName[124];
};

// --- event 8: wealth grade (PATRON_GetWealthGrade) ----------------- 376 bytes
struct PatronWealthGrade {
    std::uint32_t status;  // 1 = valid
    std::uint32_t userId;
    char gradeText[64];    // name of the grade
    char medalUrl[256];    // the grade's medal icon
    std::uint32_t grade;   // 1 …; the user list orders by it
    char colour[16];       // the grade's colour, "#RRGGBB"
    std::uint32_t spentLow;   // lifetime spending in coins (low and high halves)
    std::uint32_t spentHigh;
    std::uint32_t reserved[5];
};

// --- event 14: my cars (PATRON_GetMyCarList) ----------------------- 464 bytes
struct PatronCar {
    std::uint32_t carId;
    std::uint32_t expiry;
    std::uint32_t active;  // 1 = the car shown when I enter a room
    char name[44];
};
struct PatronCarList {
    std::uint32_t status;  // 1 = valid
    std::uint32_t userId;
    std::uint32_t total;   // cars the service has; only `count` fit here
    std::uint32_t count;
    PatronCar cars[8];
};

// --- event 17: my pack (PATRON_GetMyPackList) ---------------------- 484 bytes
struct PatronPackEntry {
    std::uint32_t entryId;  // what a prop is used by (PATRON_GiveProp)
    std::uint32_t propId;   // 100 gag card, 10 cancel-gag card, 1 video-text prop
    std::uint32_t count;
    std::uint32_t value;    // the entry's own value, passed back when used
    char name[36];
};
struct PatronPackList {
    std::uint32_t status;
    std::uint32_t userId;
    std::uint32_t total;
    std::uint32_t count;
    PatronPackEntry entries[9];
};

// --- event 18: my VIP memberships (PATRON_GetMyVipList) ------------ 740 bytes
struct PatronVip {
    std::uint32_t vipId;
    std::uint32_t level;
    std::uint32_t expiry;
    char name[48];
};
struct PatronVipList {
    std::uint32_t status;
    std::uint32_t userId;
    std::uint32_t total;
    std::uint32_t count;
    std::uint32_t level;  // the highest live level, 0 = none
    PatronVip vips[12];
};

// --- PATRON_GetMyDetailInfo: the signed-in user ------------------- 1024 bytes
// Also what the profile window shows of another user (name then empty).
struct PatronUserDetail {
    std::uint32_t userId;
    std::uint32_t sex;          // 1 woman, other values man
    std::uint32_t wealthGrade;  // user card tag 8
    std::uint32_t vipLevel;     // user card tag 16
    std::uint32_t profileByte;  // user card tag 3
    std::uint32_t value14;      // user card tag 14
    char name[64];              // sign-in name
    char nickname[64];
    char headUrl[256];          // user card tag 1
    char wealthColour[16];      // user card tag 12
    char wealthText[64];        // user card tag 13
    char medalUrl[256];         // user card tag 15
    char text2[64];             // user card tag 2
    char text4[64];             // user card tag 4
    char reserved[152];
};

// --- PATRON_GiveProp: using a pack entry --------------------------- 152 bytes
struct PatronPropRecord {
    std::uint32_t giverId;
    std::uint32_t receiverId;
    std::uint32_t entryId;
    std::uint32_t count;   // always 1
    std::uint32_t roomId;
    std::uint32_t value;   // the pack entry's own value
    char text[128];        // the video-text prop's text
};

// --- PATRON_GiveGift: the purchase and its catalogue item ---------------------
struct PatronGiftRecord {
    std::uint32_t receiverId;
    std::uint32_t giverId;
    std::uint32_t roomId;
    std::uint32_t profileByte;  // my user card tag 3
    char receiverNick[64];
    char giverNick[64];
    char code[32];              // the catalogue item's code text
    char headUrl[256];          // my head image
    char text4[64];             // my user card tag 4
};
struct PatronItemRecord {
    std::uint32_t itemId;
    std::uint32_t kind;   // 1 gift, 4 car, 6 pack item, 7 VIP
    std::uint32_t price;  // coins
    std::uint32_t reserved;
    char name[64];
    char code[32];
};

static_assert(sizeof(PatronUserLevel) == 4120);
static_assert(sizeof(PatronBalance) == 40);
static_assert(sizeof(PatronPurchaseResult) == 732);
static_assert(sizeof(PatronWealthGrade) == 376);
static_assert(sizeof(PatronCarList) == 464);
static_assert(sizeof(PatronPackList) == 484);
static_assert(sizeof(PatronVipList) == 740);
static_assert(sizeof(PatronUserDetail) == 1024);
static_assert(sizeof(PatronPropRecord) == 152);
static_assert(sizeof(PatronGiftRecord) == 496);
static_assert(sizeof(PatronItemRecord) == 112);

// Copies UTF-8 text into a fixed field: NUL-terminated, cut before a
// character that does not fit whole.
void PatronCopyText(char* field, std::size_t size, const char* text, std::size_t length);
template <std::size_t N>
void PatronCopyText(char (&field)[N], const char* text, std::size_t length) {
    PatronCopyText(field, N, text, length);
}
