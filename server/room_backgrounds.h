#pragma once
// A room's background pictures on the check-in port:
//   POST /savepic                 body: room id (4 bytes, little-endian), then
//                                 the picture; answer not sealed
//   POST /delbackgroundpic?picId=N
//   POST /getbackgroundpic?roomid=N
//   POST /getroomclothinginfo?roomid=N&pageid=P
//   GET  /background/NAME         the picture itself
// Uploads and deletes need the token of an owner or manager of that room;
// the lists are public (every visitor sees the backgrounds). Pictures are
// JPEG, BMP or PNG by their first bytes, at most 4 MiB, five per room, kept
// under names this service makes up. docs/server.md has the answers.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "core/clock.h"
#include "server/database.h"
#include "server/http/http_server.h"
#include "server/picture_store.h"
#include "server/rate_limit.h"

namespace server {

inline constexpr std::size_t kMaxRoomBackgrounds = 5;
inline constexpr std::size_t kBackgroundPage = 10;  // items of one clothing page

struct RoomBackgroundOptions {
    std::chrono::milliseconds uploadDeadline{60000};
    double uploadsPerSecond = 1;  // per client address
    double uploadBurst = 10;
};

class CRoomBackgrounds {
public:
    CRoomBackgrounds(CServerDb& db, CPictureStore& store, IClock& clock,
                     RoomBackgroundOptions options = {});
    CRoomBackgrounds(const CRoomBackgrounds&) = delete;
    CRoomBackgrounds& operator=(const CRoomBackgrounds&) = delete;

    void Mount(CHttpServer& http);

    // The file extension a background of these bytes is kept with, or
    // nullptr for bytes that are no JPEG, BMP or PNG.
    static const char* Extension(std::string_view bytes);

private:
    void Save(const HttpRequest& req, HttpResponse& res);
    void Delete(const HttpRequest& req, HttpResponse& res);
    // Every background of the room (page 0) or one page of them, as items
    // of id and absolute URL.
    void List(const HttpRequest& req, HttpResponse& res, bool paged);
    void Picture(const HttpRequest& req, HttpResponse& res);
    bool AllowUpload(const std::string& address);

    CServerDb& db_;
    CPictureStore& store_;
    IClock& clock_;
    const RoomBackgroundOptions options_;
    std::mutex uploadLock_;
    CRateLimiter uploads_;
};

}  // namespace server
