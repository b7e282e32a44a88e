#include "server/database.h"
#include "server/sqlite_stmt.h"

#include <sqlite3.h>

#include <climits>

#include "server/password.h"

namespace server {

const std::vector<Migration>& SchemaMigrations() {
    static const std::vector<Migration> list = {
        {1, "accounts, rooms, roles and powers", R"sql(
CREATE TABLE users (
  id            INTEGER PRIMARY KEY CHECK (id BETWEEN 1 AND 4294967295),
  name          TEXT NOT NULL UNIQUE COLLATE NOCASE CHECK (length(name) > 0),
  pw_hash       BLOB NOT NULL,
  pw_salt       BLOB NOT NULL,
  pw_iterations INTEGER NOT NULL,
  nickname      TEXT NOT NULL DEFAULT '',
  sex           INTEGER NOT NULL DEFAULT 0,
  token_digest  TEXT,
  token_expiry  INTEGER NOT NULL DEFAULT 0
);
CREATE TABLE rooms (
  id            INTEGER PRIMARY KEY CHECK (id BETWEEN 1 AND 4294967295),
  name          TEXT NOT NULL,
  announcement  TEXT NOT NULL DEFAULT '',
  mode          INTEGER NOT NULL DEFAULT 1 CHECK (mode BETWEEN 1 AND 4),
  chat_interval INTEGER NOT NULL DEFAULT 0,
  chat_font     TEXT NOT NULL DEFAULT ''
);
CREATE TABLE roles (
  id            INTEGER PRIMARY KEY CHECK (id BETWEEN 1 AND 255),
  name          TEXT NOT NULL,
  colour        TEXT NOT NULL DEFAULT ''
);
CREATE TABLE room_roles (
  room_id       INTEGER NOT NULL REFERENCES rooms(id) ON DELETE CASCADE,
  user_id       INTEGER NOT NULL REFERENCES users(id) ON DELETE CASCADE,
  role          INTEGER NOT NULL REFERENCES roles(id),
  expiry        INTEGER NOT NULL DEFAULT 0,
  PRIMARY KEY (room_id, user_id)
);
CREATE TABLE power_rules (
  powerid       INTEGER NOT NULL CHECK (powerid BETWEEN 0 AND 65535),
  role          INTEGER NOT NULL CHECK (role BETWEEN 0 AND 255),
  by_role       INTEGER NOT NULL DEFAULT 0 CHECK (by_role BETWEEN 0 AND 255),
  yes_no        INTEGER NOT NULL CHECK (yes_no BETWEEN -128 AND 127),
  PRIMARY KEY (powerid, role, by_role)
);
)sql"},
        {2, "owners of chat pictures", R"sql(
CREATE TABLE pictures (
  id            TEXT PRIMARY KEY,
  user_id       INTEGER NOT NULL,
  bytes         INTEGER NOT NULL CHECK (bytes >= 0),
  stored_at     INTEGER NOT NULL
);
CREATE INDEX pictures_by_user ON pictures(user_id);
)sql"},
        {3, "gags, kicks and the moderation log", R"sql(
CREATE TABLE room_gags (
  room_id       INTEGER NOT NULL,
  user_id       INTEGER NOT NULL,
  by_user       INTEGER NOT NULL,
  reason        TEXT NOT NULL DEFAULT '',
  option        INTEGER NOT NULL DEFAULT 0,
  at            INTEGER NOT NULL,
  PRIMARY KEY (room_id, user_id)
);
CREATE TABLE room_kicks (
  room_id       INTEGER NOT NULL,
  user_id       INTEGER NOT NULL,
  by_user       INTEGER NOT NULL,
  reason        TEXT NOT NULL DEFAULT '',
  until         INTEGER NOT NULL,
  PRIMARY KEY (room_id, user_id)
);
CREATE TABLE moderation_log (
  id            INTEGER PRIMARY KEY AUTOINCREMENT,
  at            INTEGER NOT NULL,
  room_id       INTEGER NOT NULL,
  actor         INTEGER NOT NULL,
  target        INTEGER NOT NULL DEFAULT 0,
  action        TEXT NOT NULL,
  detail        TEXT NOT NULL DEFAULT ''
);
-- What moderators did stays as it was written.
CREATE TRIGGER moderation_log_no_update BEFORE UPDATE ON moderation_log
BEGIN SELECT RAISE(ABORT, 'moderation_log is append-only'); END;
CREATE TRIGGER moderation_log_no_delete BEFORE DELETE ON moderation_log
BEGIN SELECT RAISE(ABORT, 'moderation_log is append-only'); END;
)sql"},
        {4, "speaking turn of the mic queue", R"sql(
ALTER TABLE rooms ADD COLUMN mic_turn_seconds INTEGER NOT NULL DEFAULT 300
  CHECK (mic_turn_seconds BETWEEN 1 AND 65535);
)sql"},
        {5, "the room directory's logo and description", R"sql(
ALTER TABLE rooms ADD COLUMN logo_url TEXT NOT NULL DEFAULT '';
ALTER TABLE rooms ADD COLUMN description TEXT NOT NULL DEFAULT '';
)sql"},
        {6, "a kept sign-in (\"remember password\") beside the session token", R"sql(
ALTER TABLE users ADD COLUMN keep_digest TEXT;
ALTER TABLE users ADD COLUMN keep_expiry INTEGER NOT NULL DEFAULT 0;
)sql"},
        {7, "anchor clock-ins and sign-ins; room background pictures", R"sql(
CREATE TABLE anchor_checkins (
  id            INTEGER PRIMARY KEY AUTOINCREMENT,
  room_id       INTEGER NOT NULL,
  user_id       INTEGER NOT NULL,
  nickname      TEXT NOT NULL DEFAULT '',
  kind          INTEGER NOT NULL CHECK (kind IN (1, 2)),
  at            INTEGER NOT NULL,
  cycle_start   INTEGER NOT NULL
);
CREATE INDEX anchor_checkins_by_user ON anchor_checkins(room_id, user_id, kind, at);
CREATE TABLE room_backgrounds (
  id            INTEGER PRIMARY KEY AUTOINCREMENT CHECK (id BETWEEN 1 AND 2147483647),
  room_id       INTEGER NOT NULL,
  name          TEXT NOT NULL UNIQUE,
  user_id       INTEGER NOT NULL,
  bytes         INTEGER NOT NULL CHECK (bytes >= 0),
  stored_at     INTEGER NOT NULL
);
CREATE INDEX room_backgrounds_by_room ON room_backgrounds(room_id);
)sql"},
        // Ids are shared by every catalogue (a pushed gift or a pack entry names
        // one without its type); texts fit the fields a client reads them into.
        {8, "the item catalogues and their pictures", R"sql(
CREATE TABLE catalogue_files (
  digest        TEXT PRIMARY KEY
                CHECK (length(digest) = 64 AND digest NOT GLOB '*[^0-9a-f]*'),
  ext           TEXT NOT NULL CHECK (ext IN ('png', 'gif', 'bmp', 'jpg', 'wav')),
  bytes         BLOB NOT NULL CHECK (length(bytes) > 0)
);
CREATE TABLE catalogue_items (
  id            INTEGER PRIMARY KEY CHECK (id BETWEEN 1 AND 4294967295),
  item_type     TEXT NOT NULL CHECK (item_type IN ('1', '4', '6', '7')),
  parent_id     INTEGER NOT NULL DEFAULT 0 CHECK (parent_id >= 0),
  sort_order    INTEGER NOT NULL DEFAULT 0,
  node          TEXT NOT NULL DEFAULT '0' CHECK (node IN ('0', '1')),
  name          TEXT NOT NULL CHECK (length(CAST(name AS BLOB)) BETWEEN 1 AND 49),
  price         INTEGER NOT NULL DEFAULT 0,
  initial_price INTEGER NOT NULL DEFAULT 0,
  currency_type TEXT NOT NULL DEFAULT '1' CHECK (currency_type IN ('1', '2')),
  currency_name TEXT NOT NULL DEFAULT '' CHECK (length(CAST(currency_name AS BLOB)) <= 15),
  buy_request   INTEGER NOT NULL DEFAULT 0 CHECK (buy_request BETWEEN 0 AND 2147483647),
  ext           TEXT NOT NULL DEFAULT '' CHECK (length(CAST(ext AS BLOB)) <= 127),
  ext_one       TEXT NOT NULL DEFAULT '' CHECK (length(CAST(ext_one AS BLOB)) <= 23),
  type          TEXT NOT NULL DEFAULT '' CHECK (length(CAST(type AS BLOB)) <= 1),
  check_code    TEXT NOT NULL DEFAULT '' CHECK (length(CAST(check_code AS BLOB)) <= 99),
  load_type     TEXT NOT NULL DEFAULT '' CHECK (length(CAST(load_type AS BLOB)) <= 7),
  version_id    INTEGER NOT NULL DEFAULT 1 CHECK (version_id >= 0),
  describe      TEXT NOT NULL DEFAULT '' CHECK (length(CAST(describe AS BLOB)) <= 1023),
  chat_msg      TEXT NOT NULL DEFAULT '' CHECK (length(CAST(chat_msg AS BLOB)) <= 254),
  cartoon_type  TEXT NOT NULL DEFAULT '' CHECK (length(CAST(cartoon_type AS BLOB)) <= 1),
  notice_type   TEXT NOT NULL DEFAULT '' CHECK (length(CAST(notice_type AS BLOB)) <= 3),
  use_times     INTEGER NOT NULL DEFAULT 0 CHECK (use_times BETWEEN 0 AND 2147483647),
  valid_time    INTEGER NOT NULL DEFAULT 0 CHECK (valid_time BETWEEN 0 AND 2147483647),
  charm_value   INTEGER NOT NULL DEFAULT 0 CHECK (charm_value BETWEEN 0 AND 2147483647),
  harm_switch   TEXT NOT NULL DEFAULT '' CHECK (length(CAST(harm_switch AS BLOB)) <= 7),
  icon          TEXT REFERENCES catalogue_files(digest),
  chat_pic      TEXT REFERENCES catalogue_files(digest),
  cartoon       TEXT REFERENCES catalogue_files(digest),
  voice         TEXT REFERENCES catalogue_files(digest),
  -- A reader multiplies whole-unit prices (currency 2) by 100 in 32 bits.
  CHECK (price BETWEEN 0 AND (CASE currency_type WHEN '2' THEN 21474836 ELSE 2147483647 END)),
  CHECK (initial_price BETWEEN 0 AND (CASE currency_type WHEN '2' THEN 21474836 ELSE 2147483647 END)),
  CHECK (parent_id <> id)
);
CREATE INDEX catalogue_items_by_type ON catalogue_items(item_type, parent_id, sort_order, id);
-- A member belongs to a group (node '1') of its own catalogue.
CREATE TRIGGER catalogue_items_parent_insert BEFORE INSERT ON catalogue_items
WHEN NEW.parent_id <> 0 AND NOT EXISTS (SELECT 1 FROM catalogue_items
  WHERE id = NEW.parent_id AND node = '1' AND item_type = NEW.item_type)
BEGIN SELECT RAISE(ABORT, 'catalogue item: the parent is not a group of its catalogue'); END;
CREATE TRIGGER catalogue_items_parent_update BEFORE UPDATE OF parent_id, item_type ON catalogue_items
WHEN NEW.parent_id <> 0 AND NOT EXISTS (SELECT 1 FROM catalogue_items
  WHERE id = NEW.parent_id AND node = '1' AND item_type = NEW.item_type)
BEGIN SELECT RAISE(ABORT, 'catalogue item: the parent is not a group of its catalogue'); END;
)sql"},
        // Purchases: the answer kept under each request id (a retried request
        // gets it again instead of paying twice), the gifts given, the charm
        // they earned their receivers, and each giver's last flower to an
        // anchor. The wallets and the lists they fill stay the account
        // store's tables.
        {9, "purchases, gifts, charm and flowers given", R"sql(
CREATE TABLE account_purchases (
  user_id     INTEGER NOT NULL,
  request_id  TEXT NOT NULL
              CHECK (length(request_id) = 32 AND request_id NOT GLOB '*[^0-9a-f]*'),
  content     TEXT NOT NULL,
  answer      TEXT NOT NULL,
  at          INTEGER NOT NULL,
  PRIMARY KEY (user_id, request_id)
) WITHOUT ROWID;
CREATE TABLE account_gift_ledger (
  id          INTEGER PRIMARY KEY AUTOINCREMENT,
  giver_id    INTEGER NOT NULL,
  receiver_id INTEGER NOT NULL,
  room_id     INTEGER NOT NULL,
  item_id     INTEGER NOT NULL,
  count       INTEGER NOT NULL CHECK (count BETWEEN 1 AND 9999),
  cost        INTEGER NOT NULL CHECK (cost >= 0),
  currency    TEXT NOT NULL CHECK (currency IN ('coins', 'pelto')),
  charm       INTEGER NOT NULL CHECK (charm >= 0),
  at          INTEGER NOT NULL
);
CREATE INDEX account_gift_ledger_receiver ON account_gift_ledger(receiver_id, at);
CREATE TABLE account_charm (
  user_id     INTEGER PRIMARY KEY,
  charm       INTEGER NOT NULL DEFAULT 0 CHECK (charm >= 0)
);
CREATE TABLE account_flower_givers (
  giver_id    INTEGER NOT NULL,
  anchor_id   INTEGER NOT NULL,
  last_at     INTEGER NOT NULL,
  PRIMARY KEY (giver_id, anchor_id)
) WITHOUT ROWID;
)sql"},
    };
    return list;
}

namespace {


const char* InsertVerb(bool replace) { return replace ? "INSERT OR REPLACE" : "INSERT OR IGNORE"; }

}  // namespace

CServerDb::~CServerDb() { Close(); }

bool CServerDb::Exec(const char* sql, std::string& error) {
    char* msg = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &msg) == SQLITE_OK) return true;
    error = msg ? msg : sqlite3_errmsg(db_);
    sqlite3_free(msg);
    return false;
}

bool CServerDb::Open(const std::string& path, std::string& error) {
    return Open(path, SchemaMigrations(), error);
}

bool CServerDb::Open(const std::string& path, const std::vector<Migration>& migrations,
                     std::string& error) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    Close();
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX;
    if (sqlite3_open_v2(path.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
        error = "cannot open database " + path + ": " +
                (db_ ? sqlite3_errmsg(db_) : std::string("out of memory"));
        Close();
        return false;
    }
    sqlite3_busy_timeout(db_, 5000);
    // WAL lets an admin command write while the server reads; NORMAL is safe
    // with WAL (a power cut may lose the last commit, never corrupt).
    if (!Exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=ON;",
              error) ||
        !Migrate(migrations, error)) {
        error = path + ": " + error;
        Close();
        return false;
    }
    return true;
}

bool CServerDb::Migrate(const std::vector<Migration>& migrations, std::string& error) {
    for (std::size_t i = 0; i < migrations.size(); ++i) {
        if (migrations[i].version != static_cast<int>(i) + 1) {
            error = "migration list out of order at " + std::to_string(migrations[i].version);
            return false;
        }
    }
    const int have = SchemaVersion();
    const int known = static_cast<int>(migrations.size());
    if (have < 0) {
        error = "cannot read the schema version";
        return false;
    }
    if (have > known) {
        error = "schema version " + std::to_string(have) + " is newer than this program knows (" +
                std::to_string(known) + ")";
        return false;
    }
    for (const Migration& m : migrations) {
        if (m.version <= have) continue;
        std::string why;
        const std::string bump = "PRAGMA user_version=" + std::to_string(m.version) + ";";
        if (!Exec("BEGIN IMMEDIATE;", why)) {
            error = "migration " + std::to_string(m.version) + ": " + why;
            return false;
        }
        if (!Exec(m.sql, why) || !Exec(bump.c_str(), why) || !Exec("COMMIT;", why)) {
            std::string ignore;
            Exec("ROLLBACK;", ignore);
            error = "migration " + std::to_string(m.version) + " (" + m.what + ") failed: " + why;
            return false;
        }
    }
    return true;
}

void CServerDb::Close() {
    std::lock_guard<std::recursive_mutex> g(lock_);
    if (db_) sqlite3_close_v2(db_);
    db_ = nullptr;
}

bool CServerDb::IsOpen() {
    std::lock_guard<std::recursive_mutex> g(lock_);
    return db_ != nullptr;
}

int CServerDb::SchemaVersion() {
    std::lock_guard<std::recursive_mutex> g(lock_);
    if (!db_) return -1;
    Stmt st(db_, "PRAGMA user_version;");
    return st.step() == SQLITE_ROW ? static_cast<int>(st.i64(0)) : -1;
}

bool CServerDb::InTransaction(const std::function<bool()>& fn) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    if (!db_) return false;
    // Nested calls become savepoints of the outer transaction.
    const bool outer = sqlite3_get_autocommit(db_) != 0;
    std::string why;
    if (!Exec(outer ? "BEGIN IMMEDIATE;" : "SAVEPOINT nested;", why)) {
        lastError_ = why;
        return false;
    }
    bool ok = false;
    try {
        ok = fn();
    } catch (...) {
        ok = false;
    }
    if (ok && Exec(outer ? "COMMIT;" : "RELEASE nested;", why)) return true;
    if (!why.empty()) lastError_ = why;
    std::string ignore;
    Exec(outer ? "ROLLBACK;" : "ROLLBACK TO nested; RELEASE nested;", ignore);
    return false;
}

bool CServerDb::AddUser(const std::string& name, std::string_view password,
                        const std::string& nickname, std::uint8_t sex, std::uint32_t id,
                        std::uint32_t iterations, std::uint32_t* outId, std::string& error) {
    if (name.empty()) {
        error = "empty user name";
        return false;
    }
    // Hash before taking the lock: it is the slow part.
    PasswordHash ph;
    if (!HashPassword(password, iterations, ph)) {
        error = "cannot hash the password";
        return false;
    }
    std::lock_guard<std::recursive_mutex> g(lock_);
    if (!db_) {
        error = "database not open";
        return false;
    }
    Stmt st(db_,
            "INSERT INTO users (id, name, pw_hash, pw_salt, pw_iterations, nickname, sex) "
            "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7);");
    if (id) st.bind(1, static_cast<std::int64_t>(id));
    else st.bind_null(1);
    st.bind(2, name).bind(3, ph.hash).bind(4, ph.salt).bind(5, static_cast<std::int64_t>(iterations));
    st.bind(6, nickname).bind(7, static_cast<std::int64_t>(sex));
    if (!st.run()) {
        const int ext = sqlite3_extended_errcode(db_);
        error = (ext == SQLITE_CONSTRAINT_UNIQUE || ext == SQLITE_CONSTRAINT_PRIMARYKEY)
                    ? "user name or id already taken"
                    : st.error();
        return false;
    }
    const auto rowid = sqlite3_last_insert_rowid(db_);
    if (rowid <= 0 || rowid > UINT32_MAX) {
        error = "user id out of range";
        return false;
    }
    if (outId) *outId = static_cast<std::uint32_t>(rowid);
    return true;
}

std::optional<UserRecord> CServerDb::UserById(std::uint32_t id) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    if (!db_) return std::nullopt;
    Stmt st(db_, "SELECT id, name, nickname, sex FROM users WHERE id = ?1;");
    st.bind(1, static_cast<std::int64_t>(id));
    if (st.step() != SQLITE_ROW) return std::nullopt;
    return UserRecord{static_cast<std::uint32_t>(st.i64(0)), st.text(1), st.text(2),
                      static_cast<std::uint8_t>(st.i64(3))};
}

std::optional<UserRecord> CServerDb::UserByName(const std::string& name) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    if (!db_) return std::nullopt;
    Stmt st(db_, "SELECT id, name, nickname, sex FROM users WHERE name = ?1;");
    st.bind(1, name);
    if (st.step() != SQLITE_ROW) return std::nullopt;
    return UserRecord{static_cast<std::uint32_t>(st.i64(0)), st.text(1), st.text(2),
                      static_cast<std::uint8_t>(st.i64(3))};
}

std::optional<std::uint32_t> CServerDb::CheckPassword(const std::string& name,
                                                      std::string_view password) {
    PasswordHash stored;
    std::uint32_t id = 0;
    {
        std::lock_guard<std::recursive_mutex> g(lock_);
        if (!db_) return std::nullopt;
        Stmt st(db_, "SELECT id, pw_hash, pw_salt, pw_iterations FROM users WHERE name = ?1;");
        st.bind(1, name);
        if (st.step() == SQLITE_ROW) {
            id = static_cast<std::uint32_t>(st.i64(0));
            stored.hash = st.blob(1);
            stored.salt = st.blob(2);
            const auto it = st.i64(3);
            stored.iterations = it > 0 && it <= INT_MAX ? static_cast<std::uint32_t>(it) : 0;
        } else {
            // An unknown name costs the same derivation as a known one, so
            // the answer's timing does not tell which names exist.
            Stmt cost(db_, "SELECT pw_iterations FROM users ORDER BY id DESC LIMIT 1;");
            const auto it = cost.step() == SQLITE_ROW ? cost.i64(0) : 0;
            stored.iterations = it > 0 && it <= INT_MAX ? static_cast<std::uint32_t>(it)
                                                        : kPbkdf2Iterations;
            stored.salt.assign(kSaltBytes, 0x5a);
            stored.hash.assign(kHashBytes, 0);
        }
    }
    // The slow derivation runs without the lock so logins do not queue on it.
    const bool match = VerifyPassword(password, stored);
    if (!match || id == 0) return std::nullopt;
    return id;
}

// The two secrets a user row holds: the session token and the kept sign-in.
struct SecretColumns {
    const char* issue;
    const char* check;
    const char* revoke;
};

namespace {

constexpr SecretColumns kSessionToken{
    "UPDATE users SET token_digest = ?1, token_expiry = ?2 WHERE id = ?3;",
    "SELECT token_digest, token_expiry FROM users WHERE id = ?1;",
    "UPDATE users SET token_digest = NULL, token_expiry = 0 WHERE id = ?1;"};
constexpr SecretColumns kKeptSignIn{
    "UPDATE users SET keep_digest = ?1, keep_expiry = ?2 WHERE id = ?3;",
    "SELECT keep_digest, keep_expiry FROM users WHERE id = ?1;",
    "UPDATE users SET keep_digest = NULL, keep_expiry = 0 WHERE id = ?1;"};

}  // namespace

std::string CServerDb::IssueSecret(const SecretColumns& c, std::uint32_t userId, std::int64_t now,
                                   std::int64_t ttlSeconds) {
    const std::string token = NewToken();
    if (token.empty() || ttlSeconds <= 0) return {};
    std::lock_guard<std::recursive_mutex> g(lock_);
    if (!db_) return {};
    Stmt st(db_, c.issue);
    st.bind(1, TokenDigest(token)).bind(2, now + ttlSeconds).bind(3, static_cast<std::int64_t>(userId));
    if (!st.run() || sqlite3_changes(db_) != 1) return {};
    return token;
}

TokenCheck CServerDb::CheckSecret(const SecretColumns& c, std::uint32_t userId, std::string_view token,
                                  std::int64_t now, std::int64_t* expiresAt) {
    if (token.empty() || token.size() > kMaxTokenLength) return TokenCheck::mismatch;
    std::string digest;
    std::int64_t expiry = 0;
    {
        std::lock_guard<std::recursive_mutex> g(lock_);
        if (!db_) return TokenCheck::no_token;
        Stmt st(db_, c.check);
        st.bind(1, static_cast<std::int64_t>(userId));
        if (st.step() != SQLITE_ROW || st.is_null(0)) return TokenCheck::no_token;
        digest = st.text(0);
        expiry = st.i64(1);
    }
    if (!SameSecret(TokenDigest(token), digest)) return TokenCheck::mismatch;
    if (expiresAt) *expiresAt = expiry;
    if (expiry <= now) return TokenCheck::expired;
    return TokenCheck::ok;
}

bool CServerDb::RevokeSecret(const SecretColumns& c, std::uint32_t userId) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    if (!db_) return false;
    Stmt st(db_, c.revoke);
    st.bind(1, static_cast<std::int64_t>(userId));
    return st.run();
}

std::string CServerDb::IssueToken(std::uint32_t userId, std::int64_t now, std::int64_t ttlSeconds) {
    return IssueSecret(kSessionToken, userId, now, ttlSeconds);
}

TokenCheck CServerDb::CheckToken(std::uint32_t userId, std::string_view token, std::int64_t now,
                                 std::int64_t* expiresAt) {
    return CheckSecret(kSessionToken, userId, token, now, expiresAt);
}

bool CServerDb::RevokeToken(std::uint32_t userId) { return RevokeSecret(kSessionToken, userId); }

std::string CServerDb::IssueKeepToken(std::uint32_t userId, std::int64_t now, std::int64_t ttlSeconds) {
    return IssueSecret(kKeptSignIn, userId, now, ttlSeconds);
}

TokenCheck CServerDb::CheckKeepToken(std::uint32_t userId, std::string_view token, std::int64_t now) {
    return CheckSecret(kKeptSignIn, userId, token, now, nullptr);
}

bool CServerDb::RevokeKeepToken(std::uint32_t userId) { return RevokeSecret(kKeptSignIn, userId); }

bool CServerDb::PutRoom(const RoomRecord& r, bool replace) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    if (!db_) return false;
    // An upsert, not OR REPLACE: replacing would delete the row and its
    // room roles with it.
    const std::string sql =
        std::string("INSERT INTO rooms (id, name, announcement, mode, chat_interval, chat_font,"
                    " mic_turn_seconds, logo_url, description)"
                    " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9) ON CONFLICT(id) DO ") +
        (replace ? "UPDATE SET name = excluded.name, announcement = excluded.announcement,"
                   " mode = excluded.mode, chat_interval = excluded.chat_interval,"
                   " chat_font = excluded.chat_font, mic_turn_seconds = excluded.mic_turn_seconds,"
                   " logo_url = excluded.logo_url, description = excluded.description;"
                 : "NOTHING;");
    Stmt st(db_, sql.c_str());
    st.bind(1, static_cast<std::int64_t>(r.id)).bind(2, r.name).bind(3, r.announcement);
    st.bind(4, static_cast<std::int64_t>(r.mode)).bind(5, static_cast<std::int64_t>(r.chatInterval));
    st.bind(6, r.chatFont).bind(7, static_cast<std::int64_t>(r.micTurnSeconds));
    st.bind(8, r.logoUrl).bind(9, r.description);
    if (!st.run()) {
        lastError_ = st.error();
        return false;
    }
    return true;
}

namespace {
RoomRecord ReadRoom(const Stmt& st) {
    RoomRecord r;
    r.id = static_cast<std::uint32_t>(st.i64(0));
    r.name = st.text(1);
    r.announcement = st.text(2);
    r.mode = static_cast<std::uint8_t>(st.i64(3));
    r.chatInterval = static_cast<std::uint32_t>(st.i64(4));
    r.chatFont = st.text(5);
    r.micTurnSeconds = static_cast<std::uint32_t>(st.i64(6));
    r.logoUrl = st.text(7);
    r.description = st.text(8);
    return r;
}
}  // namespace

std::optional<RoomRecord> CServerDb::RoomById(std::uint32_t id) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    if (!db_) return std::nullopt;
    Stmt st(db_,
            "SELECT id, name, announcement, mode, chat_interval, chat_font, mic_turn_seconds, logo_url, description FROM rooms WHERE id = ?1;");
    st.bind(1, static_cast<std::int64_t>(id));
    if (st.step() != SQLITE_ROW) return std::nullopt;
    return ReadRoom(st);
}

std::vector<RoomRecord> CServerDb::Rooms() {
    std::lock_guard<std::recursive_mutex> g(lock_);
    std::vector<RoomRecord> out;
    if (!db_) return out;
    Stmt st(db_, "SELECT id, name, announcement, mode, chat_interval, chat_font, mic_turn_seconds, logo_url, description FROM rooms ORDER BY id;");
    while (st.step() == SQLITE_ROW) out.push_back(ReadRoom(st));
    return out;
}

bool CServerDb::SetRoomRole(std::uint32_t room, std::uint32_t user, std::uint8_t role,
                            std::int64_t expiry, bool replace) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    if (!db_) return false;
    const std::string sql = std::string(InsertVerb(replace)) +
                            " INTO room_roles (room_id, user_id, role, expiry) VALUES (?1, ?2, ?3, ?4);";
    Stmt st(db_, sql.c_str());
    st.bind(1, static_cast<std::int64_t>(room)).bind(2, static_cast<std::int64_t>(user));
    st.bind(3, static_cast<std::int64_t>(role)).bind(4, expiry);
    if (!st.run()) {
        lastError_ = st.error();
        return false;
    }
    return true;
}

std::uint8_t CServerDb::RoomRole(std::uint32_t room, std::uint32_t user, std::int64_t now) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    if (!db_) return kRoleGuest;
    Stmt st(db_,
            "SELECT role FROM room_roles WHERE room_id = ?1 AND user_id = ?2 "
            "AND (expiry = 0 OR expiry > ?3);");
    st.bind(1, static_cast<std::int64_t>(room)).bind(2, static_cast<std::int64_t>(user)).bind(3, now);
    if (st.step() != SQLITE_ROW) return kRoleGuest;
    return static_cast<std::uint8_t>(st.i64(0));
}

bool CServerDb::PutRole(const RoleRecord& r, bool replace) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    if (!db_) return false;
    const std::string sql =
        std::string("INSERT INTO roles (id, name, colour) VALUES (?1, ?2, ?3) ON CONFLICT(id) DO ") +
        (replace ? "UPDATE SET name = excluded.name, colour = excluded.colour;" : "NOTHING;");
    Stmt st(db_, sql.c_str());
    st.bind(1, static_cast<std::int64_t>(r.id)).bind(2, r.name).bind(3, r.colour);
    if (!st.run()) {
        lastError_ = st.error();
        return false;
    }
    return true;
}

std::vector<RoleRecord> CServerDb::Roles() {
    std::lock_guard<std::recursive_mutex> g(lock_);
    std::vector<RoleRecord> out;
    if (!db_) return out;
    Stmt st(db_, "SELECT id, name, colour FROM roles ORDER BY id;");
    while (st.step() == SQLITE_ROW)
        out.push_back({static_cast<std::uint8_t>(st.i64(0)), st.text(1), st.text(2)});
    return out;
}

bool CServerDb::PutPowerRule(const PowerRule& r, bool replace) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    if (!db_) return false;
    const std::string sql = std::string(InsertVerb(replace)) +
                            " INTO power_rules (powerid, role, by_role, yes_no) VALUES (?1, ?2, ?3, ?4);";
    Stmt st(db_, sql.c_str());
    st.bind(1, static_cast<std::int64_t>(r.powerId)).bind(2, static_cast<std::int64_t>(r.role));
    st.bind(3, static_cast<std::int64_t>(r.byRole)).bind(4, static_cast<std::int64_t>(r.yesNo));
    if (!st.run()) {
        lastError_ = st.error();
        return false;
    }
    return true;
}

std::vector<PowerRule> CServerDb::PowerRules() {
    std::lock_guard<std::recursive_mutex> g(lock_);
    std::vector<PowerRule> out;
    if (!db_) return out;
    Stmt st(db_,
            "SELECT powerid, role, by_role, yes_no FROM power_rules ORDER BY powerid, role, by_role;");
    while (st.step() == SQLITE_ROW)
        out.push_back({static_cast<std::uint16_t>(st.i64(0)), static_cast<std::uint8_t>(st.i64(1)),
                       static_cast<std::uint8_t>(st.i64(2)), static_cast<std::int8_t>(st.i64(3))});
    return out;
}

std::uint64_t CServerDb::Generation() {
    std::lock_guard<std::recursive_mutex> g(lock_);
    if (!db_) return 0;
    // data_version moves with other connections' commits, total_changes with ours.
    Stmt st(db_, "PRAGMA data_version;");
    const std::uint64_t others = st.step() == SQLITE_ROW ? static_cast<std::uint64_t>(st.i64(0)) : 0;
    return others << 40 ^ static_cast<std::uint64_t>(sqlite3_total_changes64(db_));
}

std::int64_t CServerDb::CountRows(std::string_view table) {
    static const char* const known[] = {"users",    "rooms",     "roles",      "room_roles",
                                        "power_rules", "pictures", "room_gags", "room_kicks",
                                        "moderation_log", "anchor_checkins", "room_backgrounds"};
    for (const char* t : known) {
        if (table != t) continue;
        std::lock_guard<std::recursive_mutex> g(lock_);
        if (!db_) return -1;
        const std::string sql = std::string("SELECT COUNT(*) FROM ") + t + ";";
        Stmt st(db_, sql.c_str());
        return st.step() == SQLITE_ROW ? st.i64(0) : -1;
    }
    return -1;
}

bool CServerDb::AddPicture(const std::string& id, std::uint32_t user, std::uint64_t bytes,
                           std::int64_t now) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    if (!db_) return false;
    Stmt st(db_, "INSERT INTO pictures (id, user_id, bytes, stored_at) VALUES (?1, ?2, ?3, ?4);");
    st.bind(1, id).bind(2, static_cast<std::int64_t>(user))
        .bind(3, static_cast<std::int64_t>(bytes)).bind(4, now);
    return st.run();
}

std::uint64_t CServerDb::PictureBytesOf(std::uint32_t user) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    if (!db_) return 0;
    Stmt st(db_, "SELECT COALESCE(SUM(bytes), 0) FROM pictures WHERE user_id = ?1;");
    st.bind(1, static_cast<std::int64_t>(user));
    if (st.step() != SQLITE_ROW) return 0;
    const std::int64_t n = st.i64(0);
    return n > 0 ? static_cast<std::uint64_t>(n) : 0;
}

// --- moderation -------------------------------------------------------------

bool CServerDb::RunStmt(Stmt& st) {
    if (st.run()) return true;
    lastError_ = st.error();
    return false;
}

bool CServerDb::RemoveRoomRole(std::uint32_t room, std::uint32_t user) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    if (!db_) return false;
    Stmt st(db_, "DELETE FROM room_roles WHERE room_id = ?1 AND user_id = ?2;");
    st.bind(1, static_cast<std::int64_t>(room)).bind(2, static_cast<std::int64_t>(user));
    return RunStmt(st);
}

bool CServerDb::SetRoomMode(std::uint32_t room, std::uint8_t mode) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    if (!db_) return false;
    Stmt st(db_, "UPDATE rooms SET mode = ?2 WHERE id = ?1;");
    st.bind(1, static_cast<std::int64_t>(room)).bind(2, static_cast<std::int64_t>(mode));
    return RunStmt(st) && sqlite3_changes(db_) == 1;
}

bool CServerDb::AddGag(const GagRecord& gag) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    if (!db_) return false;
    Stmt st(db_,
            "INSERT OR REPLACE INTO room_gags (room_id, user_id, by_user, reason, option, at) "
            "VALUES (?1, ?2, ?3, ?4, ?5, ?6);");
    st.bind(1, static_cast<std::int64_t>(gag.room)).bind(2, static_cast<std::int64_t>(gag.user));
    st.bind(3, static_cast<std::int64_t>(gag.by)).bind(4, gag.reason);
    st.bind(5, static_cast<std::int64_t>(gag.option)).bind(6, gag.at);
    return RunStmt(st);
}

bool CServerDb::RemoveGag(std::uint32_t room, std::uint32_t user) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    if (!db_) return false;
    Stmt st(db_, "DELETE FROM room_gags WHERE room_id = ?1 AND user_id = ?2;");
    st.bind(1, static_cast<std::int64_t>(room)).bind(2, static_cast<std::int64_t>(user));
    return RunStmt(st);
}

bool CServerDb::IsGagged(std::uint32_t room, std::uint32_t user) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    if (!db_) return false;
    Stmt st(db_, "SELECT 1 FROM room_gags WHERE room_id = ?1 AND user_id = ?2;");
    st.bind(1, static_cast<std::int64_t>(room)).bind(2, static_cast<std::int64_t>(user));
    return st.row();
}

bool CServerDb::AddKick(std::uint32_t room, std::uint32_t user, std::uint32_t by,
                        const std::string& reason, std::int64_t until) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    if (!db_) return false;
    Stmt st(db_,
            "INSERT OR REPLACE INTO room_kicks (room_id, user_id, by_user, reason, until) "
            "VALUES (?1, ?2, ?3, ?4, ?5);");
    st.bind(1, static_cast<std::int64_t>(room)).bind(2, static_cast<std::int64_t>(user));
    st.bind(3, static_cast<std::int64_t>(by)).bind(4, reason).bind(5, until);
    return RunStmt(st);
}

std::int64_t CServerDb::KickedUntil(std::uint32_t room, std::uint32_t user, std::int64_t now) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    if (!db_) return 0;
    Stmt st(db_, "SELECT until FROM room_kicks WHERE room_id = ?1 AND user_id = ?2 AND until > ?3;");
    st.bind(1, static_cast<std::int64_t>(room)).bind(2, static_cast<std::int64_t>(user)).bind(3, now);
    return st.row() ? st.i64(0) : 0;
}

bool CServerDb::LogModeration(std::int64_t at, std::uint32_t room, std::uint32_t actor,
                              std::uint32_t target, std::string_view action,
                              std::string_view detail) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    if (!db_) return false;
    Stmt st(db_,
            "INSERT INTO moderation_log (at, room_id, actor, target, action, detail) "
            "VALUES (?1, ?2, ?3, ?4, ?5, ?6);");
    st.bind(1, at).bind(2, static_cast<std::int64_t>(room)).bind(3, static_cast<std::int64_t>(actor));
    st.bind(4, static_cast<std::int64_t>(target)).bind(5, action).bind(6, detail);
    return RunStmt(st);
}

// --- props --------------------------------------------------------------------

std::optional<PropEntryRow> CServerDb::PropEntryById(std::uint32_t entry) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    if (!db_) return std::nullopt;
    Stmt st(db_, "SELECT user_id, prop_id, count FROM account_pack WHERE entry_id = ?1;");
    st.bind(1, static_cast<std::int64_t>(entry));
    if (!st.row()) return std::nullopt;
    const auto u32 = [&](int col) {
        const std::int64_t v = st.i64(col);
        return v < 0 || v > 0xFFFFFFFFll ? 0u : static_cast<std::uint32_t>(v);
    };
    return PropEntryRow{u32(0), u32(1), u32(2)};
}

bool CServerDb::SpendProp(std::uint32_t entry, std::uint32_t user, std::uint32_t prop) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    if (!db_) return false;
    Stmt st(db_,
            "UPDATE account_pack SET count = count - 1 "
            "WHERE entry_id = ?1 AND user_id = ?2 AND prop_id = ?3 AND count > 0;");
    st.bind(1, static_cast<std::int64_t>(entry)).bind(2, static_cast<std::int64_t>(user));
    st.bind(3, static_cast<std::int64_t>(prop));
    return RunStmt(st) && sqlite3_changes(db_) == 1;
}

}  // namespace server
