#pragma once
// A zeri-server with the demo users, rooms and catalogue for the purchase
// tests: members of the lobby over the chat connection (Carol on the anchor
// microphone), the purchase routes over HTTP, and a dump of every account
// table to prove that a refused purchase changed nothing.
#include <gtest/gtest.h>
#include <httplib.h>
#include <sqlite3.h>

#include <atomic>
#include <ctime>
#include <map>
#include <memory>
#include <string>

#include "net/catalogue_chat.h"
#include "net/catalogue_mic.h"
#include "net/catalogue_room.h"
#include "net/json.h"
#include "server/account_store.h"
#include "server/catalogue_seed.h"
#include "server/catalogue_store.h"
#include "server/seed.h"
#include "server/server_app.h"
#include "server_fixture.h"

namespace srvtest::buy {

using namespace server;
using namespace std::chrono_literals;

constexpr std::uint8_t kChat = 1;
constexpr std::uint32_t kAlice = 10001, kBob = 10002, kCarol = 10003, kDave = 10004;
constexpr std::uint32_t kLobby = 1001, kMusic = 1002;
// Demo gifts: red heart (100, charm 10), gold heart (VIP 1), gold crown
// (VIP 3), gold gem (520 in whole units of the second balance).
constexpr std::uint32_t kHeart = 1101, kGoldHeart = 1117, kGoldCrown = 1122, kGoldGem = 1120;
constexpr std::uint32_t kCar = demo_item::kFirstCar, kCar2 = demo_item::kFirstCar + 1;

struct Reply {
    int status = 0;
    json::value body;
    std::string text;
    std::int64_t code() const { return body.get_int("code"); }
};

// A fresh 128-bit request id.
inline std::string NewId() {
    static std::atomic<std::uint64_t> n{1};
    char buf[33];
    std::snprintf(buf, sizeof buf, "%016llx%016llx", 0x5eedull,
                  static_cast<unsigned long long>(n++));
    return buf;
}

class PurchaseServer {
public:
    void Start(PurchaseOptions options = {}) {
        const std::string file = dir.file(kDatabaseFile);
        std::string err;
        {
            CServerDb db;
            ASSERT_TRUE(db.Open(file, err)) << err;
            ASSERT_TRUE(SeedDemo(db, SeedOptions{1000}, err)) << err;
            for (std::uint32_t id : {kAlice, kBob, kCarol, kDave})
                tokens[id] = db.IssueToken(id, std::time(nullptr), 30 * 86400);
        }
        {
            CAccountStore store;
            ASSERT_TRUE(store.Open(file, err)) << err;
            ASSERT_TRUE(store.SeedDemo({kAlice, kBob, kCarol, kDave}, err)) << err;
            CCatalogueStore catalogue;
            ASSERT_TRUE(catalogue.Open(file, err)) << err;
            ASSERT_TRUE(SeedDemoCatalogue(catalogue, err)) << err;
        }
        ServerOptions o = LocalServerOptions(dir.path());
        o.purchases = options;
        srv = std::make_unique<CZeriServer>(o, RoomLimits{}, &clock);
        ASSERT_TRUE(srv->Start(err)) << err;
        http = std::make_unique<httplib::Client>("127.0.0.1", srv->accountPort());
        ASSERT_EQ(sqlite3_open(file.c_str(), &peek), SQLITE_OK);
        sqlite3_busy_timeout(peek, 5000);
    }
    ~PurchaseServer() {
        if (srv) srv->Stop();
        sqlite3_close(peek);
    }

    // A member of the room; what the login brought is read and dropped.
    std::unique_ptr<RawClient> In(std::uint32_t user, std::uint32_t room = kLobby) {
        auto c = std::make_unique<RawClient>(srv->port(), "pc_chat");
        msg::Control_Login_Req r;
        r.user_id = user, r.room_id = room, r.token = tokens[user];
        auto resp = c->Ask<msg::Control_Login_Resp>(kChat, r);
        EXPECT_TRUE(resp && resp->ok()) << user;
        while (c->Next(100ms)) {
        }
        return c;
    }
    // Carol, the lobby's anchor, takes the anchor microphone.
    std::unique_ptr<RawClient> AnchorCarol() {
        auto c = In(kCarol);
        msg::Control_Open_Mic_Req r;
        r.user_id = kCarol, r.room_id = kLobby;
        c->Send(kChat, r);
        auto a = c->Notice<msg::Control_Open_Mic_Resp>();
        EXPECT_TRUE(a && a->ok());
        EXPECT_EQ(srv->rooms().AnchorOf(kLobby), kCarol);
        while (c->Next(100ms)) {
        }
        return c;
    }

    Reply Post(std::uint32_t user, const std::string& path, const std::string& body,
               httplib::Client* client = nullptr) {
        httplib::Headers h = {{"X-Zeri-User", std::to_string(user)},
                              {"Authorization", "Bearer " + tokens[user]}};
        Reply r;
        auto res = (client ? client : http.get())->Post(path, h, body, "application/json");
        if (!res) return r;
        r.status = res->status;
        r.text = res->body;
        r.body = json::value::parse(res->body);
        return r;
    }
    Reply Gift(std::uint32_t user, std::uint32_t item, std::int64_t count, std::uint32_t receiver,
               const std::string& id = NewId(), std::uint32_t room = kLobby) {
        json::value b = json::value::object();
        b.set("request", id);
        b.set("room", static_cast<std::int64_t>(room));
        b.set("receiver", static_cast<std::int64_t>(receiver));
        b.set("item", static_cast<std::int64_t>(item));
        b.set("count", count);
        return Post(user, "/account/gift", b.dump());
    }
    Reply Buy(std::uint32_t user, std::uint32_t kind, std::uint32_t item,
              const std::string& id = NewId()) {
        json::value b = json::value::object();
        b.set("request", id);
        b.set("kind", static_cast<std::int64_t>(kind));
        b.set("item", static_cast<std::int64_t>(item));
        b.set("count", std::int64_t{1});
        return Post(user, "/account/buy", b.dump());
    }
    Reply Flower(std::uint32_t user, std::uint32_t anchor, const std::string& id = NewId()) {
        json::value b = json::value::object();
        b.set("request", id);
        b.set("room", static_cast<std::int64_t>(kLobby));
        b.set("anchor", static_cast<std::int64_t>(anchor));
        return Post(user, "/account/flower", b.dump());
    }

    // The next push the member hears ("TYPE|PAYLOAD"), or "(nothing)".
    static std::string Pushed(RawClient& c, std::chrono::milliseconds wait = 5s) {
        auto f = c.NextAnswer(wait);
        while (f && f->command != msg::Control_Push_Data_Notify::id) f = c.NextAnswer(wait);
        if (!f) return "(nothing)";
        const auto n = Decode<msg::Control_Push_Data_Notify>(f->payload);
        return std::string(msg::chat_line_text(n.json));
    }
    static json::value PushedJson(RawClient& c, int type) {
        const std::string p = Pushed(c);
        const std::string head = std::to_string(type) + "|";
        EXPECT_EQ(p.rfind(head, 0), 0u) << p;
        return p.rfind(head, 0) == 0 ? json::value::parse(p.substr(head.size())) : json::value();
    }

    // Every account table, row by row, as text.
    std::string Dump() {
        std::string out;
        for (const char* t : {"account_wallets", "account_spending", "account_cars", "account_vips",
                              "account_pack", "account_flowers", "account_profiles",
                              "account_purchases", "account_gift_ledger", "account_charm",
                              "account_flower_givers"}) {
            out += std::string("#") + t + "\n";
            const std::string sql = std::string("SELECT * FROM ") + t + " ORDER BY 1, 2;";
            sqlite3_stmt* st = nullptr;
            EXPECT_EQ(sqlite3_prepare_v2(peek, sql.c_str(), -1, &st, nullptr), SQLITE_OK) << t;
            while (st && sqlite3_step(st) == SQLITE_ROW) {
                for (int i = 0; i < sqlite3_column_count(st); ++i) {
                    const auto* v = sqlite3_column_text(st, i);
                    out += v ? reinterpret_cast<const char*>(v) : "NULL";
                    out += '|';
                }
                out += '\n';
            }
            sqlite3_finalize(st);
        }
        return out;
    }
    std::int64_t Scalar(const std::string& sql) {
        sqlite3_stmt* st = nullptr;
        std::int64_t v = -1;
        if (sqlite3_prepare_v2(peek, sql.c_str(), -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW)
            v = sqlite3_column_int64(st, 0);
        sqlite3_finalize(st);
        return v;
    }
    std::int64_t Coins(std::uint32_t user) {
        return Scalar("SELECT coins FROM account_wallets WHERE user_id = " + std::to_string(user));
    }
    std::int64_t Pelto(std::uint32_t user) {
        return Scalar("SELECT pelto FROM account_wallets WHERE user_id = " + std::to_string(user));
    }
    void SetWallet(std::uint32_t user, std::int64_t coins, std::int64_t pelto) {
        const std::string sql = "UPDATE account_wallets SET coins = " + std::to_string(coins) +
                                ", pelto = " + std::to_string(pelto) +
                                " WHERE user_id = " + std::to_string(user);
        ASSERT_EQ(sqlite3_exec(peek, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    }
    std::string Nickname(std::uint32_t user) {
        const auto u = srv->db().UserById(user);
        return u ? u->nickname : std::string();
    }

    TempDir dir;
    TestClock clock;
    std::map<std::uint32_t, std::string> tokens;
    std::unique_ptr<CZeriServer> srv;
    std::unique_ptr<httplib::Client> http;
    sqlite3* peek = nullptr;
};

}  // namespace srvtest::buy
