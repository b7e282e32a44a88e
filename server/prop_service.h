#pragma once
// Using a prop from the pack (the account library's PATRON_GiveProp), on the
// account service's port:
//   POST /account/give-prop   {"room", "receiver", "entry", "count": 1}
// A gag card (prop 100) gags the receiver, a cancel-gag card (prop 10) frees
// them, each as a gag by power would (stored, logged, told to the room) but
// paid with the card instead of a power. The card is checked, spent and its
// effect stored in one transaction: a refused use costs nothing. A
// video-text prop (prop 1) with its "text" (1–128 bytes, no control
// characters) is spent and its text pushed to the room (type 8, inner "1").
// See docs/account-api.md for the answers.

#include "core/clock.h"
#include "server/database.h"
#include "server/http/http_server.h"
#include "server/room_handler.h"

namespace server {

// Error codes of the route beyond the account service's.
namespace prop_error {
inline constexpr int no_entry = 1017;     // no such pack entry, or another user's
inline constexpr int used_up = 1018;      // the entry has none left
inline constexpr int unsupported = 1019;  // a prop that cannot be used this way (yet)
// The same numbers as the relay's refusals of a gag (tag 208).
inline constexpr int not_in_room = 1021;  // the receiver is not in the room
inline constexpr int not_on_self = 1022;  // a gag card on its own user
inline constexpr int already = 1023;      // gagged already, or not gagged
}  // namespace prop_error

// Adds the route; the objects must outlive the serving.
void MountPropRoute(CHttpServer& http, CServerDb& db, CRoomHandler& rooms, IClock& clock);

}  // namespace server
