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
#include "room/room_account.h"

// The account messages (UM_BALANCE, UM_PACK_LIST…) are the room's: room/room_account.h.

// context = the AppContext. Events before the room window exists, after
// the session has ended, and of other numbers are dropped.
void AccountCallback(int event, std::uintptr_t a, std::intptr_t b, void* context);

// The same for one room window: the event as its message, the lent record
// or text copied. Tests that hold several clients give each its own.
void PostAccountEvent(HWND w, int event, std::uintptr_t a, std::intptr_t b);
