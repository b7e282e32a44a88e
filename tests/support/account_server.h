#pragma once
// An in-process zeri-server (relay and account service on free loopback
// ports) over a temporary data folder with the demo users, hashed cheaply so
// that tests do not spend seconds on password hashing.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

#include "core/clock.h"
#include "server/account_store.h"
#include "server/seed.h"
#include "server/server_app.h"

namespace testsupport {

class TempFolder {
public:
    TempFolder() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "zeri-acct-XXXXXX").string();
        if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
        path_ = tmpl + "/";
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// Wall time plus an offset the test moves (token expiry, billboard periods).
class ShiftedClock : public IClock {
public:
    std::uint32_t TickMs() override { return sys_.TickMs(); }
    std::time_t Now() override { return std::time(nullptr) + offset_.load(); }
    void Advance(std::int64_t seconds) { offset_ += seconds; }

private:
    CSystemClock sys_;
    std::atomic<std::int64_t> offset_{0};
};

struct DemoLogin {
    const char* name;
    const char* password;
    std::uint32_t id;
};
inline constexpr DemoLogin kAlice{"alice", "alice-demo", 10001};
inline constexpr DemoLogin kBob{"bob", "bob-demo", 10002};

class AccountServer {
public:
    AccountServer() {
        const std::string db = dir.path() + server::kDatabaseFile;
        std::string err;
        {
            server::CServerDb d;
            if (!d.Open(db, err) || !server::SeedDemo(d, server::SeedOptions{1000}, err))
                throw std::runtime_error("seed: " + err);
        }
        {
            server::CAccountStore s;
            std::vector<std::uint32_t> ids;
            for (const auto& u : server::DemoUsers()) ids.push_back(u.id);
            if (!s.Open(db, err) || !s.SeedDemo(ids, err))
                throw std::runtime_error("seed accounts: " + err);
        }
        server::ServerOptions o;
        o.dataDir = dir.path();
        o.listen = "127.0.0.1";
        o.port = 0;
        o.threads = 2;
        srv = std::make_unique<server::CZeriServer>(o, server::RoomLimits{}, &clock);
        if (!srv->Start(err)) throw std::runtime_error("server: " + err);
    }
    ~AccountServer() { srv->Stop(); }

    std::uint16_t relayPort() const { return srv->port(); }
    std::uint16_t accountPort() const { return srv->accountPort(); }
    std::uint16_t cataloguePort() const { return srv->cataloguePort(); }
    server::CServerDb& db() { return srv->db(); }

    TempFolder dir;
    ShiftedClock clock;
    std::unique_ptr<server::CZeriServer> srv;
};

// A port on which nothing listens (bound, then closed again).
inline std::uint16_t ClosedPort() {
    return 1;  // privileged and unused on test machines: connecting is refused
}

}  // namespace testsupport
