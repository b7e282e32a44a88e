#include "server/server_app.h"

#include <boost/asio.hpp>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <ctime>
#include <functional>

#include "core/log.h"
#include "core/paths.h"
#include "server/catalogue_seed.h"
#include "server/medal_art.h"
#include "server/seed.h"

namespace server {

namespace {

bool ParseNumber(const std::string& text, unsigned long max, unsigned long& out) {
    if (text.empty() || text.size() > 10) return false;
    unsigned long v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + static_cast<unsigned long>(c - '0');
    }
    if (v > max) return false;
    out = v;
    return true;
}

}  // namespace

const char* ServerUsage() {
    return "usage: zeri-server [--data-dir DIR] [--listen ADDR] [--port N] [--account-port N]\n"
           "                   [--catalogue-port N] [--checkin-port N] [--threads N]\n"
           "                   [--admin-secret S] [--picture-quota-mb N]\n"
           "                   [--picture-user-quota-mb N] [--voice-quota-mb N]\n"
           "                   [--seed-demo] [--demo-recharge] [--issue-token USER [--token-days N]]\n"
           "  --data-dir DIR      folder of zeri-server.db and log/ (default: the data folder)\n"
           "  --listen ADDR       address of the room relay (default 0.0.0.0)\n"
           "  --port N            port of the room relay (default 6666; 0 = any)\n"
           "  --account-port N    port of the account service (default 8080; 0 = any)\n"
           "  --checkin-port N    port of clock-in, sign-in and room backgrounds (default 5000; 0 = any)\n"
           "  --catalogue-port N  port of the item catalogue (default 8000; 0 = any)\n"
           "  --threads N         I/O threads (default: one per core)\n"
"  --admin-secret S    lets its holder push texts and pictures to any room (16+ chars)\n"
           "  --picture-quota-mb N  room for all stored chat pictures (default 1024)\n"
           "  --picture-user-quota-mb N  room for one user's chat pictures (default 64)\n"
           "  --voice-quota-mb N  room for all stored voice messages (default 256)\n"
           "  --seed-demo         add the demo users, rooms, roles, powers and catalogue (idempotent)\n"
           "  --demo-recharge     a recharge credits 10000 demo coins (otherwise it is refused)\n"
           "  --issue-token USER  print a new login token for USER and exit\n"
           "  --token-days N      lifetime of that token (default 30)\n";
}

bool ParseServerOptions(const std::vector<std::string>& args, ServerOptions& out,
                        std::string& error) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& v) {
            if (i + 1 >= args.size()) {
                error = a + " needs a value";
                return false;
            }
            v = args[++i];
            return true;
        };
        std::string v;
        unsigned long n = 0;
        if (a == "--help" || a == "-h") {
            out.help = true;
        } else if (a == "--seed-demo") {
            out.seedDemo = true;
        } else if (a == "--demo-recharge") {
            out.purchases.demoRecharge = true;
        } else if (a == "--data-dir") {
            if (!value(out.dataDir)) return false;
        } else if (a == "--listen") {
            if (!value(out.listen)) return false;
        } else if (a == "--port") {
            if (!value(v)) return false;
            if (!ParseNumber(v, 65535, n)) return error = "bad port '" + v + "'", false;
            out.port = static_cast<std::uint16_t>(n);
        } else if (a == "--account-port") {
            if (!value(v)) return false;
            if (!ParseNumber(v, 65535, n)) return error = "bad port '" + v + "'", false;
            out.accountPort = static_cast<std::uint16_t>(n);
        } else if (a == "--checkin-port") {
            if (!value(v)) return false;
            if (!ParseNumber(v, 65535, n)) return error = "bad port '" + v + "'", false;
            out.checkinPort = static_cast<std::uint16_t>(n);
        } else if (a == "--catalogue-port") {
            if (!value(v)) return false;
            if (!ParseNumber(v, 65535, n)) return error = "bad port '" + v + "'", false;
            out.cataloguePort = static_cast<std::uint16_t>(n);
        } else if (a == "--threads") {
            if (!value(v)) return false;
            if (!ParseNumber(v, 256, n) || n == 0)
                return error = "bad thread count '" + v + "'", false;
            out.threads = static_cast<unsigned>(n);
        } else if (a == "--admin-secret") {
            if (!value(out.adminSecret)) return false;
            // A short secret could be guessed through the push endpoint.
            if (out.adminSecret.size() < 16) return error = "--admin-secret needs 16 characters or more", false;
        } else if (a == "--picture-quota-mb") {
            if (!value(v)) return false;
            if (!ParseNumber(v, 1u << 20, n) || n == 0)
                return error = "bad picture quota '" + v + "'", false;
            out.pictureQuotaMb = n;
        } else if (a == "--picture-user-quota-mb") {
            if (!value(v)) return false;
            if (!ParseNumber(v, 1u << 20, n) || n == 0)
                return error = "bad picture quota '" + v + "'", false;
            out.pictureUserQuotaMb = n;
        } else if (a == "--voice-quota-mb") {
            if (!value(v)) return false;
            if (!ParseNumber(v, 1u << 20, n) || n == 0)
                return error = "bad voice quota '" + v + "'", false;
            out.voiceQuotaMb = n;
        } else if (a == "--issue-token") {
            if (!value(out.issueTokenFor)) return false;
            if (out.issueTokenFor.empty()) return error = "--issue-token needs a user name", false;
        } else if (a == "--token-days") {
            if (!value(v)) return false;
            if (!ParseNumber(v, 3650, n) || n == 0)
                return error = "bad token lifetime '" + v + "' (1 to 3650 days)", false;
            out.tokenDays = static_cast<unsigned>(n);
        } else {
            error = "unknown flag '" + a + "'";
            return false;
        }
    }
    return true;
}

std::string DatabasePath(const ServerOptions& options) {
    const std::string dir =
        options.dataDir.empty() ? paths::DataFolder() : paths::WithSlash(options.dataDir);
    return dir + kDatabaseFile;
}

namespace {

bool OpenDatabase(const ServerOptions& options, CServerDb& db, std::string& path,
                  std::string& error) {
    path = DatabasePath(options);
    paths::MakeDirs(path);
    if (!db.Open(path, error)) return false;
    if (options.seedDemo && !SeedDemo(db, SeedOptions{}, error)) {
        error = "demo data: " + error;
        db.Close();
        return false;
    }
    return true;
}

}  // namespace

std::string IssueTokenFor(const ServerOptions& options, std::string& error) {
    CServerDb db;
    std::string path;
    if (!OpenDatabase(options, db, path, error)) return {};
    const auto user = db.UserByName(options.issueTokenFor);
    if (!user) {
        error = "no user named '" + options.issueTokenFor + "'";
        return {};
    }
    const std::string token = db.IssueToken(user->id, std::time(nullptr),
                                            static_cast<std::int64_t>(options.tokenDays) * 86400);
    if (token.empty()) error = "cannot issue a token";
    return token;
}

struct CZeriServer::Io {
    boost::asio::io_context context;
    std::optional<boost::asio::executor_work_guard<boost::asio::io_context::executor_type>> work;
    std::unique_ptr<boost::asio::signal_set> signals;
    std::unique_ptr<boost::asio::steady_timer> stopTimer;
    // Runs the room clocks (the mic queue's turns) once a second.
    std::unique_ptr<boost::asio::steady_timer> tickTimer;
    std::function<void()> tick;
};

CZeriServer::CZeriServer(ServerOptions options, RoomLimits limits, IClock* clock)
    : options_(std::move(options)),
      limits_(limits),
      clock_(clock ? *clock : systemClock_),
      io_(std::make_unique<Io>()) {}

CZeriServer::~CZeriServer() { Stop(); }

bool CZeriServer::Start(std::string& error) {
    if (!threads_.empty()) {
        error = "already running";
        return false;
    }
    if (!OpenDatabase(options_, db_, dbPath_, error)) return false;
    if (!accountStore_.Open(dbPath_, error)) {
        db_.Close();
        return false;
    }
    if (options_.seedDemo) {
        std::vector<std::uint32_t> ids;
        for (const DemoUser& u : DemoUsers()) ids.push_back(u.id);
        if (!accountStore_.SeedDemo(ids, error)) {
            error = "demo accounts: " + error;
            accountStore_.Close();
            db_.Close();
            return false;
        }
    }
    const bool catalogueOpen = catalogueStore_.Open(dbPath_, error);
    if (!catalogueOpen || (options_.seedDemo && !SeedDemoCatalogue(catalogueStore_, error))) {
        if (catalogueOpen) error = "demo catalogue: " + error;
        catalogueStore_.Close();
        accountStore_.Close();
        db_.Close();
        return false;
    }
    rooms_ = std::make_unique<CRoomHandler>(db_, accountStore_, clock_, limits_);
    const auto fail = [this] {
        checkin_.reset();
        catalogueHttp_.reset();
        catalogue_.reset();
        catalogueStore_.Close();
        http_.reset();
        roomService_.reset();
        account_.reset();
        pictures_.reset();
        relay_.reset();
        purchases_.reset();
        purchaseStore_.Close();
        rooms_.reset();
        accountStore_.Close();
        db_.Close();
        return false;
    };
    relay_ = std::make_unique<CRelayServer>(io_->context, *rooms_, options_.relay);
    if (!relay_->Listen(options_.listen, options_.port, error)) return fail();
    pictures_ = std::make_unique<CPictureStore>(
        (std::filesystem::path(dbPath_).parent_path() / "pictures").string(),
        options_.pictureQuotaMb << 20);
    if (!pictures_->Open(error)) return fail();
    voices_ = std::make_unique<CVoiceStore>(
        (std::filesystem::path(dbPath_).parent_path() / "voices").string(),
        options_.voiceQuotaMb << 20);
    if (!voices_->Open(error)) return fail();
    // A chat line may carry a voice message only when it names a stored one.
    // The store is kept until the server object goes, as the relay may ask late.
    rooms_->SetVoiceKnown([this](std::string_view id) { return voices_->Has(id); });
    AccountOptions ao;
    ao.onSignOut = [this](std::uint32_t user) { rooms_->EndUserSessions(user); };
    account_ = std::make_unique<CAccountService>(db_, accountStore_, clock_, ao);
    RoomServiceOptions so;
    so.adminSecret = options_.adminSecret;
    so.pictureQuotaBytes = options_.pictureQuotaMb << 20;
    so.userPictureQuotaBytes = options_.pictureUserQuotaMb << 20;
    roomService_ = std::make_unique<CRoomService>(db_, *rooms_, *pictures_, *voices_, clock_,
                                                  so);
    if (!purchaseStore_.Open(dbPath_, error)) return fail();
    purchases_ = std::make_unique<CPurchaseService>(db_, purchaseStore_, *rooms_, clock_,
                                                    options_.purchases);
    rooms_->SetOnEntered([this](std::uint32_t room, std::uint32_t user) {
        purchases_->AnnounceCar(room, user);
    });
    // One HTTP port carries the account and the room services.
    http_ = std::make_unique<CHttpServer>(io_->context, "http services", options_.http);
    account_->Mount(*http_);
    roomService_->Mount(*http_);
    purchases_->Mount(*http_);
    MountVoiceDownloads(*http_, *voices_);
    const std::uint16_t httpPort = options_.port == 0 ? 0 : options_.accountPort;
    if (!http_->Listen(options_.listen, httpPort, error)) {
        error = "account service: " + error;
        return fail();
    }
    CheckinPortOptions co;
    co.pictureFolder = (std::filesystem::path(dbPath_).parent_path() / "backgrounds").string();
    co.pictureQuotaBytes = options_.pictureQuotaMb << 20;
    co.http = options_.http;
    // Its handlers are short (a token digest, a row, a file of 4 MiB at most).
    co.http.workers = std::min(co.http.workers, 2u);
    checkin_ = std::make_unique<CCheckinPort>(io_->context, db_, clock_, co);
    // The wealth medals that the account answers link to.
    MountMedalRoute(checkin_->http());
    if (!checkin_->Listen(options_.listen, options_.port == 0 ? 0 : options_.checkinPort, error))
        return fail();
    account_->SetMedalPort(checkin_->port());
    purchases_->SetMedalPort(checkin_->port());
    catalogue_ = std::make_unique<CCatalogueService>(catalogueStore_);
    // Its handlers only read: a few workers are plenty.
    HttpLimits catalogueLimits = options_.http;
    catalogueLimits.workers = std::min(catalogueLimits.workers, 4u);
    catalogueHttp_ = std::make_unique<CHttpServer>(io_->context, "item catalogue", catalogueLimits);
    catalogue_->Mount(*catalogueHttp_);
    if (!catalogueHttp_->Listen(options_.listen, options_.port == 0 ? 0 : options_.cataloguePort,
                                error)) {
        error = "item catalogue: " + error;
        return fail();
    }
    purchases_->SetCataloguePort(catalogueHttp_->port());
    io_->context.restart();
    io_->work.emplace(io_->context.get_executor());
    io_->tickTimer = std::make_unique<boost::asio::steady_timer>(io_->context);
    io_->tick = [this] {
        io_->tickTimer->expires_after(std::chrono::seconds(1));
        io_->tickTimer->async_wait([this](const boost::system::error_code& ec) {
            if (ec || stopping_) return;
            rooms_->OnTick(clock_.Now());
            trim_.OnTick(rooms_->SessionsEnded());
            io_->tick();
        });
    };
    io_->tick();
    stopping_ = false;
    unsigned n = options_.threads ? options_.threads : std::thread::hardware_concurrency();
    if (n == 0) n = 1;
    for (unsigned i = 0; i < n; ++i) threads_.emplace_back([this] { io_->context.run(); });
    log_msg("zeri-server: relay on %s:%u, %u I/O threads, database %s", options_.listen.c_str(),
            static_cast<unsigned>(port()), n, dbPath_.c_str());
    return true;
}

void CZeriServer::StopOnSignals() {
    io_->signals = std::make_unique<boost::asio::signal_set>(io_->context, SIGINT, SIGTERM);
    io_->signals->async_wait([this](const boost::system::error_code& ec, int sig) {
        if (ec) return;
        log_msg("zeri-server: signal %d, stopping", sig);
        RequestStop();
    });
}

void CZeriServer::RequestStop() {
    if (threads_.empty() || stopping_.exchange(true)) return;
    boost::asio::post(io_->context, [this] {
        if (io_->signals) {
            boost::system::error_code ignore;
            io_->signals->cancel(ignore);
        }
        if (io_->tickTimer) io_->tickTimer->cancel();
        relay_->Stop();
        http_->Close();
        checkin_->Close();
        catalogueHttp_->Close();
        rooms_->CloseAll();
        io_->work.reset();
        // Give the closes a moment to reach their peers, then end the loop
        // even if a connection that never said hello still waits for data.
        io_->stopTimer = std::make_unique<boost::asio::steady_timer>(io_->context);
        WaitForSessions(20);
    });
}

void CZeriServer::WaitForSessions(int triesLeft) {
    if (triesLeft <= 0 || rooms_->SessionCount() == 0) {
        io_->context.stop();
        return;
    }
    io_->stopTimer->expires_after(std::chrono::milliseconds(10));
    io_->stopTimer->async_wait([this, triesLeft](const boost::system::error_code&) {
        WaitForSessions(triesLeft - 1);
    });
}

void CZeriServer::Wait() {
    for (auto& t : threads_)
        if (t.joinable()) t.join();
    threads_.clear();
    // Its handlers read the database: they end before the database closes.
    if (http_) http_->Stop();
    http_.reset();
    if (checkin_) checkin_->Stop();
    checkin_.reset();
    if (catalogueHttp_) catalogueHttp_->Stop();
    catalogueHttp_.reset();
    catalogue_.reset();
    catalogueStore_.Close();
    account_.reset();
    roomService_.reset();
    pictures_.reset();
    accountStore_.Close();
    io_->stopTimer.reset();
    io_->tickTimer.reset();
    io_->tick = nullptr;
    io_->signals.reset();
    relay_.reset();
    purchases_.reset();
    purchaseStore_.Close();
    rooms_.reset();
    db_.Close();
}

}  // namespace server
