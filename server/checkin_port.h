#pragma once
// The check-in port (HTTP 5000): anchor clock-in and sign-in
// (checkin_service.h) and the rooms' background pictures
// (room_backgrounds.h), on an HTTP server of its own that shares the
// relay's I/O threads. Every answer, refusals included, is a TLV service
// answer (net/service_answer.h).

#include <cstdint>
#include <memory>
#include <string>

#include "core/clock.h"
#include "server/checkin_service.h"
#include "server/database.h"
#include "server/http/http_server.h"
#include "server/picture_store.h"
#include "server/room_backgrounds.h"

namespace boost::asio {
class io_context;
}  // namespace boost::asio

namespace server {

inline constexpr std::uint16_t kCheckinPort = 5000;

struct CheckinPortOptions {
    std::string pictureFolder;                      // where the backgrounds are kept
    std::uint64_t pictureQuotaBytes = 1ull << 30;   // all backgrounds together
    HttpLimits http;
    RoomBackgroundOptions backgrounds;
};

class CCheckinPort {
public:
    CCheckinPort(boost::asio::io_context& io, CServerDb& db, IClock& clock,
                 CheckinPortOptions options);
    ~CCheckinPort();
    CCheckinPort(const CCheckinPort&) = delete;
    CCheckinPort& operator=(const CCheckinPort&) = delete;

    // Opens the picture folder and mounts the routes; Listen does it first.
    // Alone, for serving requests without a socket (CHttpServer::Serve).
    bool Open(std::string& error);
    // Opens, then listens (port 0: any free port).
    bool Listen(const std::string& address, std::uint16_t port, std::string& error);
    std::uint16_t port() const { return http_.port(); }
    CHttpServer& http() { return http_; }
    void Close() { http_.Close(); }
    // Close, then waits for the handlers in flight (not on an I/O thread).
    void Stop() { http_.Stop(); }

private:
    CPictureStore store_;
    CCheckinService checkin_;
    CRoomBackgrounds backgrounds_;
    CHttpServer http_;
    bool opened_ = false;  // routes are mounted once
};

}  // namespace server
