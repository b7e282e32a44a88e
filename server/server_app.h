#pragma once
// zeri-server as an object: the database, the relay and the HTTP services
// on one set of I/O threads, and the room handler. main() runs one; tests
// run one in-process on an ephemeral port with a temporary data folder.

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/clock.h"
#include "server/account_service.h"
#include "server/account_store.h"
#include "server/checkin_port.h"
#include "server/catalogue_service.h"
#include "server/catalogue_store.h"
#include "server/database.h"
#include "server/http/http_server.h"
#include "server/memory_trim.h"
#include "server/relay_server.h"
#include "server/picture_store.h"
#include "server/purchase_service.h"
#include "server/purchase_store.h"
#include "server/room_handler.h"
#include "server/room_service.h"

namespace server {

inline constexpr std::uint16_t kRelayPort = 6666;
inline constexpr const char* kDatabaseFile = "zeri-server.db";

struct ServerOptions {
    std::string dataDir;              // empty: the program's data folder
    std::string listen = "0.0.0.0";   // every interface: clients come from other machines
    std::uint16_t port = kRelayPort;  // 0 = any free port (tests)
    // The account service; with port 0 it takes any free port as well.
    std::uint16_t accountPort = kAccountPort;
    // Clock-in, sign-in and room backgrounds; with port 0 any free port.
    std::uint16_t checkinPort = kCheckinPort;
    // The item catalogue; with port 0 it takes any free port as well.
    std::uint16_t cataloguePort = kCataloguePort;
    unsigned threads = 0;             // I/O threads; 0 = one per core
    bool seedDemo = false;
    // Lets the holder push system texts and pictures to any room; empty:
    // only a room's managers may.
    std::string adminSecret;
    std::uint64_t pictureQuotaMb = 1024;  // all stored chat pictures together
    std::uint64_t pictureUserQuotaMb = 64;  // one user's stored chat pictures
    std::uint64_t voiceQuotaMb = 256;       // all stored voice messages together
    std::string issueTokenFor;        // user name: print a new token and exit
    unsigned tokenDays = 30;
    bool help = false;
    HttpLimits http;  // connection caps and deadlines of the HTTP port
    RelayLimits relay;  // deadlines of the relay connections
    // Gifts, purchases, flowers and recharges (--demo-recharge opens the last).
    PurchaseOptions purchases;
};

// False with a message for an unknown flag, a missing value or a bad number.
bool ParseServerOptions(const std::vector<std::string>& args, ServerOptions& out,
                        std::string& error);
const char* ServerUsage();

class CZeriServer {
public:
    explicit CZeriServer(ServerOptions options, RoomLimits limits = {},
                         IClock* clock = nullptr);
    ~CZeriServer();
    CZeriServer(const CZeriServer&) = delete;
    CZeriServer& operator=(const CZeriServer&) = delete;

    // Opens the database (seeding it when asked), listens and starts the
    // I/O threads. False with a reason; nothing keeps running then.
    bool Start(std::string& error);
    // Stops on SIGINT or SIGTERM (main only; tests call Stop).
    void StopOnSignals();
    // Thread-safe and idempotent; may run on an I/O thread. Wait() finishes it.
    void RequestStop();
    // Blocks until the I/O threads have ended, then closes the database.
    void Wait();
    void Stop() {
        RequestStop();
        Wait();
    }

    std::uint16_t port() const { return relay_ ? relay_->port() : 0; }
    std::uint16_t accountPort() const { return http_ ? http_->port() : 0; }
    std::uint16_t checkinPort() const { return checkin_ ? checkin_->port() : 0; }
    std::uint16_t cataloguePort() const { return catalogueHttp_ ? catalogueHttp_->port() : 0; }
    CHttpServer* http() { return http_.get(); }
    CRelayServer* relay() { return relay_.get(); }
    CServerDb& db() { return db_; }
    CRoomHandler& rooms() { return *rooms_; }
    CPurchaseStore& purchaseStore() { return purchaseStore_; }
    CVoiceStore* voices() { return voices_.get(); }
    const std::string& databasePath() const { return dbPath_; }

private:
    void WaitForSessions(int triesLeft);

    ServerOptions options_;
    RoomLimits limits_;
    CSystemClock systemClock_;
    IClock& clock_;
    std::string dbPath_;
    CServerDb db_;
    CAccountStore accountStore_;
    std::unique_ptr<CAccountService> account_;
    std::unique_ptr<CPictureStore> pictures_;
    std::unique_ptr<CVoiceStore> voices_;
    std::unique_ptr<CRoomService> roomService_;
    CPurchaseStore purchaseStore_;
    std::unique_ptr<CPurchaseService> purchases_;
    // The I/O context with its work guard, signals and stop timer; kept
    // out of this header so that its users need no networking headers.
    struct Io;
    std::unique_ptr<Io> io_;
    std::unique_ptr<CRoomHandler> rooms_;
    std::unique_ptr<CRelayServer> relay_;
    std::unique_ptr<CHttpServer> http_;
    std::unique_ptr<CCheckinPort> checkin_;
    CCatalogueStore catalogueStore_;
    std::unique_ptr<CCatalogueService> catalogue_;
    std::unique_ptr<CHttpServer> catalogueHttp_;
    std::vector<std::thread> threads_;
    std::atomic<bool> stopping_{false};
    CMemoryTrim trim_;  // run by the tick, one thread at a time
};

// The admin path of --issue-token: opens the database of `options`,
// creates a token for the named user and returns it (empty with a reason).
std::string IssueTokenFor(const ServerOptions& options, std::string& error);

// Where the database of `options` lives.
std::string DatabasePath(const ServerOptions& options);

}  // namespace server
