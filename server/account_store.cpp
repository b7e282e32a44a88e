#include "server/account_store.h"
#include "server/sqlite_stmt.h"

#include <sqlite3.h>

#include <limits>

namespace server {

const std::vector<WealthGrade>& WealthGrades() {
    static const std::vector<WealthGrade> grades = {
        {1, 0, "平民", "#9E9E9E"},         {2, 100, "小康", "#8BC34A"},
        {3, 500, "富户", "#4CAF50"},       {4, 2000, "财主", "#03A9F4"},
        {5, 10000, "富豪", "#3F51B5"},     {6, 50000, "大亨", "#9C27B0"},
        {7, 200000, "巨富", "#FF9800"},    {8, 1000000, "首富", "#F44336"},
    };
    return grades;
}

const WealthGrade& GradeForSpending(std::uint64_t spent) {
    const auto& g = WealthGrades();
    std::size_t i = 0;
    while (i + 1 < g.size() && spent >= g[i + 1].from) ++i;
    return g[i];
}

UserLevel LevelForExperience(std::uint64_t experience) {
    // Each level asks for 100 more experience than the one before.
    static constexpr std::uint32_t kTop = 60;
    UserLevel l;
    l.experience = experience;
    std::uint64_t need = 0;
    for (std::uint32_t level = 1; level <= kTop; ++level) {
        const std::uint64_t next = need + 100ull * level;
        if (experience < next || level == kTop) {
            l.level = level;
            l.next = level == kTop ? 0 : next;
            return l;
        }
        need = next;
    }
    return l;
}

namespace {

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS account_wallets (
  user_id  INTEGER PRIMARY KEY,
  coins    INTEGER NOT NULL DEFAULT 0 CHECK (coins >= 0),
  pelto    INTEGER NOT NULL DEFAULT 0 CHECK (pelto >= 0)
);
CREATE TABLE IF NOT EXISTS account_spending (
  id       INTEGER PRIMARY KEY AUTOINCREMENT,
  user_id  INTEGER NOT NULL,
  amount   INTEGER NOT NULL CHECK (amount > 0),
  at       INTEGER NOT NULL
);
CREATE INDEX IF NOT EXISTS account_spending_at ON account_spending(at);
CREATE INDEX IF NOT EXISTS account_spending_user ON account_spending(user_id);
CREATE TABLE IF NOT EXISTS account_cars (
  user_id  INTEGER NOT NULL,
  car_id   INTEGER NOT NULL,
  name     TEXT NOT NULL DEFAULT '',
  expiry   INTEGER NOT NULL DEFAULT 0,
  active   INTEGER NOT NULL DEFAULT 0,
  PRIMARY KEY (user_id, car_id)
);
CREATE TABLE IF NOT EXISTS account_vips (
  user_id  INTEGER NOT NULL,
  vip_id   INTEGER NOT NULL,
  level    INTEGER NOT NULL DEFAULT 0,
  name     TEXT NOT NULL DEFAULT '',
  expiry   INTEGER NOT NULL DEFAULT 0,
  PRIMARY KEY (user_id, vip_id)
);
CREATE TABLE IF NOT EXISTS account_pack (
  entry_id INTEGER PRIMARY KEY AUTOINCREMENT,
  user_id  INTEGER NOT NULL,
  prop_id  INTEGER NOT NULL,
  name     TEXT NOT NULL DEFAULT '',
  count    INTEGER NOT NULL DEFAULT 0 CHECK (count >= 0),
  value    INTEGER NOT NULL DEFAULT 0,
  UNIQUE (user_id, prop_id)
);
CREATE TABLE IF NOT EXISTS account_flowers (
  anchor_id INTEGER PRIMARY KEY,
  count     INTEGER NOT NULL DEFAULT 0
);
CREATE TABLE IF NOT EXISTS account_profiles (
  user_id    INTEGER PRIMARY KEY,
  head_url   TEXT NOT NULL DEFAULT '',
  experience INTEGER NOT NULL DEFAULT 0,
  last_room  INTEGER NOT NULL DEFAULT 0
);
)sql";


std::int64_t Clamp(std::uint64_t v) {
    constexpr auto kMax = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    return static_cast<std::int64_t>(v > kMax ? kMax : v);
}

std::uint64_t NonNegative(std::int64_t v) { return v < 0 ? 0 : static_cast<std::uint64_t>(v); }

}  // namespace

CAccountStore::~CAccountStore() { Close(); }

bool CAccountStore::Exec(const char* sql, std::string& error) {
    char* msg = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &msg) == SQLITE_OK) return true;
    error = msg ? msg : sqlite3_errmsg(db_);
    sqlite3_free(msg);
    return false;
}

bool CAccountStore::Open(const std::string& path, std::string& error) {
    std::lock_guard<std::mutex> g(lock_);
    if (db_) return true;
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        nullptr) != SQLITE_OK) {
        error = db_ ? sqlite3_errmsg(db_) : "cannot open " + path;
        sqlite3_close(db_);
        db_ = nullptr;
        return false;
    }
    // The relay's connection writes the same file: wait for it instead of
    // failing on a busy database.
    sqlite3_busy_timeout(db_, 5000);
    if (!Exec("PRAGMA journal_mode=WAL;", error) || !Exec(kSchema, error)) {
        error = "account tables: " + error;
        sqlite3_close(db_);
        db_ = nullptr;
        return false;
    }
    return true;
}

void CAccountStore::Close() {
    std::lock_guard<std::mutex> g(lock_);
    if (db_) sqlite3_close(db_);
    db_ = nullptr;
}

Wallet CAccountStore::GetWallet(std::uint32_t user) {
    std::lock_guard<std::mutex> g(lock_);
    Stmt st(db_, "SELECT coins, pelto FROM account_wallets WHERE user_id = ?1;");
    st.bind(1, user);
    Wallet w;
    if (st.row()) {
        w.coins = NonNegative(st.i64(0));
        w.pelto = NonNegative(st.i64(1));
    }
    return w;
}

bool CAccountStore::SetWallet(std::uint32_t user, const Wallet& w) {
    std::lock_guard<std::mutex> g(lock_);
    Stmt st(db_, "INSERT OR REPLACE INTO account_wallets(user_id, coins, pelto) VALUES(?1,?2,?3);");
    return st.bind(1, user).bind(2, Clamp(w.coins)).bind(3, Clamp(w.pelto)).run();
}

bool CAccountStore::RecordSpending(std::uint32_t user, std::uint64_t coins, std::int64_t at) {
    if (coins == 0) return false;
    std::lock_guard<std::mutex> g(lock_);
    Stmt st(db_, "INSERT INTO account_spending(user_id, amount, at) VALUES(?1,?2,?3);");
    return st.bind(1, user).bind(2, Clamp(coins)).bind(3, at).run();
}

std::uint64_t CAccountStore::TotalSpent(std::uint32_t user) {
    std::lock_guard<std::mutex> g(lock_);
    Stmt st(db_, "SELECT COALESCE(SUM(amount), 0) FROM account_spending WHERE user_id = ?1;");
    st.bind(1, user);
    return st.row() ? NonNegative(st.i64(0)) : 0;
}

std::vector<BillboardRow> CAccountStore::Billboard(std::int64_t since, std::uint32_t start,
                                                   std::uint32_t count) {
    std::lock_guard<std::mutex> g(lock_);
    Stmt st(db_,
            "SELECT user_id, SUM(amount) AS total FROM account_spending WHERE at >= ?1 "
            "GROUP BY user_id ORDER BY total DESC, user_id ASC LIMIT ?2 OFFSET ?3;");
    st.bind(1, since).bind(2, count).bind(3, start);
    std::vector<BillboardRow> out;
    while (st.row())
        out.push_back({static_cast<std::uint32_t>(st.i64(0)), NonNegative(st.i64(1))});
    return out;
}

bool CAccountStore::AddCar(std::uint32_t user, const CarEntry& car) {
    std::lock_guard<std::mutex> g(lock_);
    Stmt st(db_,
            "INSERT OR REPLACE INTO account_cars(user_id, car_id, name, expiry, active) "
            "VALUES(?1,?2,?3,?4,?5);");
    return st.bind(1, user).bind(2, car.carId).bind(3, car.name).bind(4, car.expiry)
        .bind(5, car.active ? 1 : 0).run();
}

std::vector<CarEntry> CAccountStore::Cars(std::uint32_t user, std::int64_t now) {
    std::lock_guard<std::mutex> g(lock_);
    Stmt st(db_,
            "SELECT car_id, name, expiry, active FROM account_cars WHERE user_id = ?1 "
            "AND (expiry = 0 OR expiry > ?2) ORDER BY car_id;");
    st.bind(1, user).bind(2, now);
    std::vector<CarEntry> out;
    while (st.row())
        out.push_back({static_cast<std::uint32_t>(st.i64(0)), st.text(1), st.i64(2),
                       st.i64(3) != 0});
    return out;
}

bool CAccountStore::AddVip(std::uint32_t user, const VipEntry& vip) {
    std::lock_guard<std::mutex> g(lock_);
    Stmt st(db_,
            "INSERT OR REPLACE INTO account_vips(user_id, vip_id, level, name, expiry) "
            "VALUES(?1,?2,?3,?4,?5);");
    return st.bind(1, user).bind(2, vip.vipId).bind(3, vip.level).bind(4, vip.name)
        .bind(5, vip.expiry).run();
}

std::vector<VipEntry> CAccountStore::Vips(std::uint32_t user, std::int64_t now) {
    std::lock_guard<std::mutex> g(lock_);
    Stmt st(db_,
            "SELECT vip_id, level, name, expiry FROM account_vips WHERE user_id = ?1 "
            "AND (expiry = 0 OR expiry > ?2) ORDER BY level DESC, vip_id;");
    st.bind(1, user).bind(2, now);
    std::vector<VipEntry> out;
    while (st.row())
        out.push_back({static_cast<std::uint32_t>(st.i64(0)),
                       static_cast<std::uint32_t>(st.i64(1)), st.text(2), st.i64(3)});
    return out;
}

bool CAccountStore::AddProp(std::uint32_t user, std::uint32_t propId, const std::string& name,
                            std::uint32_t count, std::uint32_t value) {
    std::lock_guard<std::mutex> g(lock_);
    Stmt st(db_,
            "INSERT INTO account_pack(user_id, prop_id, name, count, value) "
            "VALUES(?1,?2,?3,?4,?5) ON CONFLICT(user_id, prop_id) "
            "DO UPDATE SET count = count + excluded.count;");
    return st.bind(1, user).bind(2, propId).bind(3, name).bind(4, count).bind(5, value).run();
}

std::vector<PackEntry> CAccountStore::Pack(std::uint32_t user) {
    std::lock_guard<std::mutex> g(lock_);
    Stmt st(db_,
            "SELECT entry_id, prop_id, name, count, value FROM account_pack "
            "WHERE user_id = ?1 AND count > 0 ORDER BY entry_id;");
    st.bind(1, user);
    std::vector<PackEntry> out;
    while (st.row())
        out.push_back({static_cast<std::uint32_t>(st.i64(0)),
                       static_cast<std::uint32_t>(st.i64(1)), st.text(2),
                       static_cast<std::uint32_t>(st.i64(3)),
                       static_cast<std::uint32_t>(st.i64(4))});
    return out;
}

std::uint64_t CAccountStore::Flowers(std::uint32_t anchor) {
    std::lock_guard<std::mutex> g(lock_);
    Stmt st(db_, "SELECT count FROM account_flowers WHERE anchor_id = ?1;");
    st.bind(1, anchor);
    return st.row() ? NonNegative(st.i64(0)) : 0;
}

bool CAccountStore::AddFlowers(std::uint32_t anchor, std::uint64_t n) {
    std::lock_guard<std::mutex> g(lock_);
    Stmt st(db_,
            "INSERT INTO account_flowers(anchor_id, count) VALUES(?1, ?2) "
            "ON CONFLICT(anchor_id) DO UPDATE SET count = count + excluded.count;");
    return st.bind(1, anchor).bind(2, Clamp(n)).run();
}

Profile CAccountStore::GetProfile(std::uint32_t user) {
    std::lock_guard<std::mutex> g(lock_);
    Stmt st(db_,
            "SELECT head_url, experience, last_room FROM account_profiles WHERE user_id = ?1;");
    st.bind(1, user);
    Profile p;
    if (st.row()) {
        p.headUrl = st.text(0);
        p.experience = NonNegative(st.i64(1));
        p.lastRoom = static_cast<std::uint32_t>(st.i64(2));
    }
    return p;
}

bool CAccountStore::SetHeadUrl(std::uint32_t user, const std::string& url) {
    std::lock_guard<std::mutex> g(lock_);
    Stmt st(db_,
            "INSERT INTO account_profiles(user_id, head_url) VALUES(?1, ?2) "
            "ON CONFLICT(user_id) DO UPDATE SET head_url = excluded.head_url;");
    return st.bind(1, user).bind(2, url).run();
}

bool CAccountStore::SetLastRoom(std::uint32_t user, std::uint32_t room) {
    std::lock_guard<std::mutex> g(lock_);
    Stmt st(db_,
            "INSERT INTO account_profiles(user_id, last_room) VALUES(?1, ?2) "
            "ON CONFLICT(user_id) DO UPDATE SET last_room = excluded.last_room;");
    return st.bind(1, user).bind(2, room).run();
}

bool CAccountStore::SeedDemo(const std::vector<std::uint32_t>& users, std::string& error) {
    std::lock_guard<std::mutex> g(lock_);
    if (!db_) {
        error = "account store not open";
        return false;
    }
    if (!Exec("BEGIN IMMEDIATE;", error)) return false;
    bool ok = true;
    for (std::uint32_t u : users) {
        {
            Stmt st(db_, "INSERT OR IGNORE INTO account_wallets(user_id, coins, pelto) "
                         "VALUES(?1, 100000, 12345);");
            ok = st.bind(1, u).run();
        }
        if (!ok || sqlite3_changes(db_) == 0) {
            if (!ok) break;
            continue;  // seeded before: the user's pack may have changed since
        }
        for (auto [prop, name] : {std::pair{kPropGagCard, "禁言卡"},
                                  std::pair{kPropCancelGagCard, "解禁卡"}}) {
            Stmt st(db_, "INSERT OR IGNORE INTO account_pack(user_id, prop_id, name, count, value) "
                         "VALUES(?1, ?2, ?3, 3, 0);");
            if (!st.bind(1, u).bind(2, prop).bind(3, std::string(name)).run()) ok = false;
        }
        if (!ok) break;
    }
    if (!ok) {
        error = sqlite3_errmsg(db_);
        std::string ignore;
        Exec("ROLLBACK;", ignore);
        return false;
    }
    return Exec("COMMIT;", error);
}

}  // namespace server
