// What the HTTP services' handlers do with whatever a client sends: query
// strings, headers and bodies of every route family, with and without a
// valid token, served as the server serves a request read from a socket
// (the HTTP parsing itself is the library's).
//
// The check-in port's routes (clock-in, sign-in, room backgrounds) are served
// by their own server; whatever they are sent, the answer is a service answer
// the client can read (sealed where the route seals).
//
// Input: byte 0 picks the route, byte 1 the credentials; the rest is split
// at the first two newlines into a target suffix, header lines ("Name:
// value", separated by '\r') and the body.

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "core/clock.h"
#include "net/service_answer.h"
#include "server/account_service.h"
#include "server/account_store.h"
#include "server/checkin_port.h"
#include "server/database.h"
#include "server/http/http_server.h"
#include "server/io_runner.h"
#include "server/picture_store.h"
#include "server/room_handler.h"
#include "server/room_service.h"
#include "server/seed.h"

namespace {

using namespace server;

constexpr std::uint32_t kUser = 10001;
constexpr std::uint32_t kAnchor = 10003;  // the anchor of rooms 1001 and 1002
constexpr const char* kSecret = "fuzzing-admin-secret";

struct Route {
    const char* method;
    const char* target;
    bool checkin = false;  // served by the check-in port
};
constexpr Route kRoutes[] = {
    {"POST", "/account/hello"},     {"POST", "/account/login"},   {"POST", "/account/logout"},
    {"POST", "/account/detail"},    {"POST", "/account/balance"}, {"POST", "/account/wealth"},
    {"POST", "/account/cars"},      {"POST", "/account/vips"},    {"POST", "/account/pack"},
    {"POST", "/account/level"},     {"POST", "/account/billboard"},
    {"POST", "/account/flowers"},   {"POST", "/account/room-login"},
    {"POST", "/kampo"},             {"GET", "/vest/"},            {"POST", "/up"},
    {"GET", "/down"},               {"POST", "/admin/push"},      {"GET", "/"},
    {"POST", "/userclockin", true}, {"POST", "/usersignin", true},
    {"POST", "/savepic", true},     {"POST", "/delbackgroundpic", true},
    {"POST", "/getbackgroundpic", true}, {"POST", "/getroomclothinginfo", true},
    {"GET", "/background/", true},
};

struct Services {
    Services() {
        dir = std::filesystem::temp_directory_path() / ("zeri-fuzz-http-" + std::to_string(getpid()));
        std::filesystem::create_directories(dir);
        std::string err;
        const std::string dbPath = (dir / "zeri-server.db").string();
        if (!db.Open(dbPath, err) || !SeedDemo(db, SeedOptions{1}, err) ||
            !store.Open(dbPath, err) || !store.SeedDemo({kUser, 10002}, err))
            std::abort();
        pictures = std::make_unique<CPictureStore>((dir / "pictures").string(), 64u << 20);
        if (!pictures->Open(err)) std::abort();
        voices = std::make_unique<CVoiceStore>((dir / "voices").string(), 64u << 20);
        if (!voices->Open(err)) std::abort();
        rooms = std::make_unique<CRoomHandler>(db, store, clock);
        account = std::make_unique<CAccountService>(db, store, clock, AccountOptions{});
        RoomServiceOptions so;
        so.adminSecret = kSecret;
        so.pictureQuotaBytes = 64u << 20;
        so.userPictureQuotaBytes = 8u << 20;
        roomService = std::make_unique<CRoomService>(db, *rooms, *pictures, *voices, clock, so);
        http = std::make_unique<CHttpServer>(io.io(), "fuzz");
        account->Mount(*http);
        roomService->Mount(*http);
        // Last: it answers every GET path no other route took.
        MountVoiceDownloads(*http, *voices);
        CheckinPortOptions co;
        co.pictureFolder = (dir / "backgrounds").string();
        co.pictureQuotaBytes = 64u << 20;
        checkin = std::make_unique<CCheckinPort>(io.io(), db, clock, co);
        if (!checkin->Open(err)) std::abort();
        token = db.IssueToken(kUser, clock.Now(), 3600);
        anchorToken = db.IssueToken(kAnchor, clock.Now(), 3600);
    }
    ~Services() {
        checkin.reset();
        http.reset();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }

    std::filesystem::path dir;
    CSystemClock clock;
    CServerDb db;
    CAccountStore store;
    std::unique_ptr<CPictureStore> pictures;
    std::unique_ptr<CVoiceStore> voices;
    std::unique_ptr<CRoomHandler> rooms;
    std::unique_ptr<CAccountService> account;
    std::unique_ptr<CRoomService> roomService;
    CIoRunner io;
    std::unique_ptr<CHttpServer> http;
    std::unique_ptr<CCheckinPort> checkin;
    std::string token;
    std::string anchorToken;
};

Services& Get() {
    static Services* s = new Services;  // lives for the whole run
    return *s;
}

std::string_view Cut(std::string_view& rest, char at) {
    const std::size_t p = rest.find(at);
    const std::string_view head = rest.substr(0, p);
    rest = p == std::string_view::npos ? std::string_view() : rest.substr(p + 1);
    return head;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    Services& s = Get();
    const Route& route = kRoutes[data[0] % (sizeof kRoutes / sizeof kRoutes[0])];
    const std::uint8_t creds = data[1];
    std::string_view rest(reinterpret_cast<const char*>(data + 2), size - 2);

    HttpRequest req;
    req.method = route.method;
    req.target = std::string(route.target) + std::string(Cut(rest, '\n'));
    std::string_view headers = Cut(rest, '\n');
    while (!headers.empty()) {
        std::string_view line = Cut(headers, '\r');
        const std::string_view name = Cut(line, ':');
        req.headers.emplace_back(std::string(name), std::string(line));
    }
    req.body = std::string(rest);
    req.remoteAddress = creds & 4 ? "10.0.0.1" : "127.0.0.1";
    req.localPort = 8080;
    if (creds & 1) {
        const bool anchor = creds & 16;
        req.headers.emplace_back("X-Zeri-User", std::to_string(anchor ? kAnchor : kUser));
        req.headers.emplace_back("Authorization", "Bearer " + (anchor ? s.anchorToken : s.token));
    }
    if (creds & 2) req.headers.emplace_back("X-Zeri-Admin", creds & 8 ? kSecret : "wrong-secret!!!!");

    HttpResponse res;
    (route.checkin ? s.checkin->http() : *s.http).Serve(req, res);
    if (res.status < 100 || res.status > 599) std::abort();
    if (route.checkin && res.file.empty()) {
        const bool sealed = req.path != "/savepic" && req.path.rfind("/background/", 0) != 0;
        msg::ServiceAnswer answer;
        if (!msg::DecodeServiceAnswer(reinterpret_cast<const unsigned char*>(res.body.data()),
                                      res.body.size(), sealed, answer))
            std::abort();
        // Whatever went wrong says why.
        if (res.status != 200 && answer.error.empty()) std::abort();
    }
    // Sign-in and sign-out replace the token: keep one that works.
    if (req.path == "/account/login" || req.path == "/account/logout")
        s.token = s.db.IssueToken(kUser, s.clock.Now(), 3600);
    return 0;
}
