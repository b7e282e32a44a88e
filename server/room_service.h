#pragma once
// The room service's HTTP routes on the account service's port:
//   POST /kampo?m=LB        {"CMD": 30008 | 30012, "OBJ": {...}}: the power
//                           list (answer CMD 31008) and the roles (31012)
//   GET  /vest/ID_w.bmp     role badges (w woman, m man) drawn in the role's colour
//   POST /up?f=NAME&t=8     a chat picture (the body's bytes) -> {"file_id"}
//   GET  /down?id=ID        a stored chat picture
//   POST /up?f=NAME&t=9     a voice message (an AMR file) -> {"file_id"}
//   GET  /ID                a stored voice message (MountVoiceDownloads)
//   POST /admin/push        a system text or picture pushed to a room, for a
//                           manager of that room or the holder of the admin secret
//   POST /account/give-prop a gag or cancel-gag card used on a member (prop_service.h)
// See docs/server.md for the bodies and error codes.

#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>

#include "core/clock.h"
#include "server/database.h"
#include "server/failure_throttle.h"
#include "server/http/http_server.h"
#include "server/picture_store.h"
#include "server/rate_limit.h"
#include "server/room_handler.h"
#include "server/voice_store.h"

namespace server {

inline constexpr int kRolesRequest = 30012;
inline constexpr int kRolesAnswer = 31012;

// Error codes ("code" / "CODE") beyond those of the account service.
namespace service_error {
inline constexpr int forbidden = 1007;      // not a manager of that room
inline constexpr int no_room = 1008;
inline constexpr int too_large = 1009;      // picture over the limit, text too long
inline constexpr int not_found = 1010;      // no such picture or badge
inline constexpr int not_picture = 1011;    // bytes of no known picture format
inline constexpr int busy = 1012;           // upload rate limit
inline constexpr int store_full = 1013;
inline constexpr int unknown_command = 1014;
inline constexpr int user_quota = 1015;     // the uploader's own pictures fill their share
inline constexpr int head_too_large = 1016; // request head over its limit
inline constexpr int not_voice = 1035;      // no narrow-band AMR file a voice message may be
}  // namespace service_error

// Bodies of every other route on the port stay this small.
inline constexpr std::size_t kMaxServiceBody = 16 * 1024;
// A pushed system text, in bytes.
inline constexpr std::size_t kMaxPushText = 4096;

struct RoomServiceOptions {
    std::string adminSecret;                   // empty: only managers may push
    std::uint64_t pictureQuotaBytes = 1ull << 30;
    // What one user's pictures may take of it.
    std::uint64_t userPictureQuotaBytes = 64ull << 20;
    // How long an upload's body may take once its head is admitted.
    std::chrono::milliseconds uploadDeadline{60000};
    double uploadsPerSecond = 1;               // per client address
    double uploadBurst = 10;
};

class CRoomService {
public:
    CRoomService(CServerDb& db, CRoomHandler& rooms, CPictureStore& pictures, CVoiceStore& voices,
                 IClock& clock, RoomServiceOptions options);
    CRoomService(const CRoomService&) = delete;
    CRoomService& operator=(const CRoomService&) = delete;

    // Adds the routes, the body limits and the error answers to `http`
    // (before it starts). The handlers use this object: it must outlive
    // the server's serving.
    void Mount(CHttpServer& http);

private:
    std::string PowerListAnswer(std::uint32_t user, const std::string& token);
    std::string RolesAnswer(const std::string& hostPort);
    bool AllowUpload(const std::string& address);
    // Before an upload's body is read: who sends it, at what pace, and
    // whether it can fit their share.
    bool AdmitUpload(const HttpRequest& req, HttpResponse& res);
    void Upload(const HttpRequest& req, HttpResponse& res);
    void UploadVoice(const HttpRequest& req, HttpResponse& res);
    void Push(const HttpRequest& req, HttpResponse& res);
    // Takes `bytes` of the user's share for an upload in flight; false when
    // it does not fit. Release gives it back.
    bool ReserveShare(std::uint32_t user, std::uint64_t bytes);
    void ReleaseShare(std::uint32_t user, std::uint64_t bytes);

    CServerDb& db_;
    CRoomHandler& rooms_;
    CPictureStore& pictures_;
    CVoiceStore& voices_;
    IClock& clock_;
    const RoomServiceOptions options_;
    std::mutex uploadLock_;
    CRateLimiter uploads_;
    std::unordered_map<std::uint32_t, std::uint64_t> uploading_;  // user -> bytes in flight
    CFailureThrottle adminFailures_;
};

// GET /ID for a stored voice message's id, as "audio/amr"; every other GET
// path no route took is answered 404. Mounted after all other routes of
// the port, since it takes what they leave.
void MountVoiceDownloads(CHttpServer& http, CVoiceStore& voices);

// A small badge picture (BMP) in `rgb` (0xRRGGBB); the woman's has a light
// centre so the two can be told apart.
std::string VestBadge(std::uint32_t rgb, bool woman);

}  // namespace server
