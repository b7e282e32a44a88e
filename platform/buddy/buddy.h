#pragma once
// The friends, room history and favourites library: one SQLite database per
// user, "buddy.db" in the user's folder. Every call is safe with a null
// handle (it does nothing and reports failure).

#include <cstdint>
#include <string>

struct CBuddySession;
using BUDDY_HANDLE = CBuddySession*;

// One visited room; a chain ordered by last visit, newest first.
struct BuddyRoomInfo {
    std::uint32_t roomId = 0;
    std::string name;
    std::string secondName;
    std::string logo;
    std::string description;
    std::uint32_t people = 0;
    std::int64_t lastVisit = 0;  // seconds since 1970
    BuddyRoomInfo* next = nullptr;
};

// Opens (creating when needed) the user's database. Null when the folder or
// the database cannot be opened; the reason goes to the log.
BUDDY_HANDLE BUDDY_Create(std::uint32_t userId);
void BUDDY_Close(BUDDY_HANDLE h);

// Records a visit after a successful room login (keeps the other fields).
bool BUDDY_LoginRoomResp(BUDDY_HANDLE h, std::uint32_t roomId, const std::string& name);
// Stores the last people count seen when leaving.
bool BUDDY_ExitRoom(BUDDY_HANDLE h, std::uint32_t roomId, std::uint32_t people = 0);
// Details a room list may show (second name, logo, description).
bool BUDDY_SetRoomDetails(BUDDY_HANDLE h, std::uint32_t roomId, const std::string& secondName,
                          const std::string& logo, const std::string& description);

bool BUDDY_IsStore(BUDDY_HANDLE h, std::uint32_t roomId);
bool BUDDY_AddStore(BUDDY_HANDLE h, std::uint32_t roomId);
bool BUDDY_DelStore(BUDDY_HANDLE h, std::uint32_t roomId);

// At most `limit` rooms, newest first; free with BUDDY_DestoryRoomInfo.
BuddyRoomInfo* BUDDY_GetHistoryRoom(BUDDY_HANDLE h, int limit = 50);
// The favourite rooms, with what the history knows of them, last visited
// first; free with BUDDY_DestoryRoomInfo.
BuddyRoomInfo* BUDDY_GetStoreRoom(BUDDY_HANDLE h);
void BUDDY_DestoryRoomInfo(BuddyRoomInfo* chain);

bool BUDDY_QueryFriend(BUDDY_HANDLE h, std::uint32_t userId);
bool BUDDY_AddFriend(BUDDY_HANDLE h, std::uint32_t userId, const std::string& nickname);
