#pragma once
// The purchase routes of the account service's port (docs/account-api.md):
//   POST /account/gift          {"request", "room", "receiver", "item", "count"}
//   POST /account/buy           {"request", "kind": 4|6|7, "item", "count": 1}
//   POST /account/activate-car  {"car"}
//   POST /account/flower        {"request", "room", "anchor", …}
//   POST /account/recharge      {"request"}
// This checks the request's form, the caller's token and rate, and the room
// (membership, the anchor); the store pays and delivers in one transaction.
// Only after the commit is the room told (gift line, flower, car).

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "core/clock.h"
#include "net/json.h"
#include "server/database.h"
#include "server/http/http_server.h"
#include "server/purchase_store.h"
#include "server/rate_limit.h"
#include "server/room_handler.h"

namespace server {

// What --demo-recharge credits per recharge.
inline constexpr std::uint64_t kDemoRechargeCoins = 10000;

struct PurchaseOptions {
    // Recharging credits coins only on a demo server; a real one would
    // take money, which this server does not.
    bool demoRecharge = false;
    std::uint64_t rechargeCoins = kDemoRechargeCoins;
    // One bucket per user for every paying call (gift, buy, car, flower,
    // recharge, props).
    double requestsPerSecond = 5;
    double requestBurst = 20;
};

class CPurchaseService {
public:
    CPurchaseService(CServerDb& db, CPurchaseStore& store, CRoomHandler& rooms, IClock& clock,
                     PurchaseOptions options);
    CPurchaseService(const CPurchaseService&) = delete;
    CPurchaseService& operator=(const CPurchaseService&) = delete;

    void Mount(CHttpServer& http);
    // Where pictures are linked from once the ports are known.
    void SetCataloguePort(std::uint16_t port) { cataloguePort_ = port; }
    void SetMedalPort(std::uint16_t port) { medalPort_ = port; }

    // A member entered a room: an active car drives in for everyone there.
    void AnnounceCar(std::uint32_t room, std::uint32_t user);
    // Takes one from the user's bucket; false when it is empty.
    bool Allow(std::uint32_t user);

private:
    void Purchase(const HttpRequest& req, HttpResponse& res, bool gift);
    void Flower(const HttpRequest& req, HttpResponse& res);
    void Recharge(const HttpRequest& req, HttpResponse& res);
    void ActivateCar(const HttpRequest& req, HttpResponse& res);
    // The caller, with the body parsed and the rate taken; 0 with the
    // refusal written.
    std::uint32_t Begin(const HttpRequest& req, HttpResponse& res, json::value& body);
    void PushGift(const PurchaseRequest& r, const PurchaseOutcome& o);
    void PushFlower(std::uint32_t room, std::uint32_t giver, std::uint32_t anchor);
    std::string PictureUrl(const std::string& itemType, const ItemPicture& p);
    void NoteHost(const HttpRequest& req);

    CServerDb& db_;
    CPurchaseStore& store_;
    CRoomHandler& rooms_;
    IClock& clock_;
    PurchaseOptions options_;
    std::mutex lock_;  // guards limiter_ and host_
    CRateLimiter limiter_;
    std::string host_ = "127.0.0.1";
    std::atomic<std::uint16_t> cataloguePort_{8000};
    std::atomic<std::uint16_t> medalPort_{5000};
};

}  // namespace server
