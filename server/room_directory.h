#pragma once
// The room directory on the services port: which rooms there are and how
// many people are in each right now, for the client's directory window.
//
//   GET /rooms[?page=P][&size=S][&q=TEXT][&ids=ID,ID,…]
//
// Rooms with people in them first (most first), then by id; `q` keeps the
// rooms whose name holds TEXT (ASCII letters in any case) or whose id starts
// with it; `ids` answers just those rooms, in the order asked (the user's
// favourites and recent rooms), without paging. See docs/server.md.

#include "server/database.h"
#include "server/http/http_server.h"
#include "server/room_handler.h"

namespace server {

inline constexpr int kDirectoryPageSize = 50;
inline constexpr int kDirectoryMaxPageSize = 100;
inline constexpr std::size_t kDirectoryMaxQuery = 64;  // bytes of `q`
inline constexpr std::size_t kDirectoryMaxIds = 100;

// Adds the route; the objects must outlive the serving.
void MountRoomDirectory(CHttpServer& http, CServerDb& db, CRoomHandler& rooms);

}  // namespace server
