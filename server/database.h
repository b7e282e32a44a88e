#pragma once
// The server's state in one SQLite database (WAL): accounts, rooms, roles,
// room roles and the power rules. The schema only changes through the
// numbered migrations of SchemaMigrations(); the version reached is kept in
// the database (PRAGMA user_version), so each migration runs once.
//
// One connection serves every thread; calls are serialised by a lock.

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

namespace server {

class Stmt;

// Role ids the room uses. Lower ids rank higher (the user list sorts by
// them); a user without a live room role is a guest.
inline constexpr std::uint8_t kRoleOwner = 1;
inline constexpr std::uint8_t kRoleManager = 3;
inline constexpr std::uint8_t kRoleAnchor = 7;
inline constexpr std::uint8_t kRoleGuest = 20;
// A power only the server checks: managing the microphones and the mic
// queue for others (give the anchor microphone, control, forbid, reorder).
inline constexpr std::uint16_t kPowerManageMic = 31;

struct Migration {
    int version;       // 1, 2, 3 … without gaps
    const char* what;  // for the error text when it fails
    const char* sql;   // runs in one transaction with the version bump
};

// Every schema change, oldest first. Append; never edit a shipped one.
const std::vector<Migration>& SchemaMigrations();

struct UserRecord {
    std::uint32_t id = 0;
    std::string name;
    std::string nickname;
    std::uint8_t sex = 0;  // 1 woman, other values man
};

struct RoomRecord {
    std::uint32_t id = 0;
    std::string name;
    std::string announcement;
    std::uint8_t mode = 1;          // 1 free mic, 2 anchor, 3 music, 4 mic queue
    std::uint32_t chatInterval = 0;  // seconds between two chat lines of one user
    std::string chatFont;
    std::uint32_t micTurnSeconds = 300;  // one speaker's turn at the head of the mic queue
    std::string logoUrl{};      // the room's picture in the directory; empty = none
    std::string description{};  // one line under the name in the directory
};

struct RoleRecord {
    std::uint8_t id = 0;
    std::string name;
    std::string colour;  // "#RRGGBB"
};

struct PowerRule {
    std::uint16_t powerId = 0;
    std::uint8_t role = 0;
    std::uint8_t byRole = 0;  // 0 = the general rule
    std::int8_t yesNo = 0;    // > 0 allowed
};

// A gag lasts until it is cancelled; it outlives the member's login.
struct GagRecord {
    std::uint32_t room = 0;
    std::uint32_t user = 0;
    std::uint32_t by = 0;
    std::string reason;
    std::uint32_t option = 0;
    std::int64_t at = 0;
};

// A pack entry of the account service (table account_pack), as a card's
// use reads it on this connection.
struct PropEntryRow {
    std::uint32_t user = 0;
    std::uint32_t prop = 0;
    std::uint32_t count = 0;
};

enum class TokenCheck { ok, no_token, mismatch, expired };

// An anchor's clock-in (starts a duty of check-in cycles) or sign-in (the
// anchor is still there in that cycle); rows are only ever added.
enum class CheckinKind : std::uint8_t { clock_in = 1, sign_in = 2 };
struct CheckinRow {
    std::uint32_t room = 0;
    std::uint32_t user = 0;
    std::string nickname;  // the account's, when it happened
    CheckinKind kind = CheckinKind::clock_in;
    std::int64_t at = 0;
    std::int64_t cycleStart = 0;  // the cycle it belongs to
};

// A room's background picture: the file is `name` in the background store.
struct RoomBackground {
    std::uint32_t id = 0;
    std::uint32_t room = 0;
    std::string name;
    std::uint32_t user = 0;  // who uploaded it
    std::uint64_t bytes = 0;
    std::int64_t storedAt = 0;
};
enum class BackgroundAdd { ok, full, error };

struct SecretColumns;

class CServerDb {
public:
    CServerDb() = default;
    ~CServerDb();
    CServerDb(const CServerDb&) = delete;
    CServerDb& operator=(const CServerDb&) = delete;

    // Opens (creating when missing) and brings the schema up to date. A
    // database written by a newer program is refused rather than guessed at.
    bool Open(const std::string& path, std::string& error);
    bool Open(const std::string& path, const std::vector<Migration>& migrations,
              std::string& error);
    void Close();
    bool IsOpen();
    int SchemaVersion();

    // Runs fn in one transaction: committed when fn returns true, rolled
    // back otherwise. Calls from fn to this object join the transaction.
    bool InTransaction(const std::function<bool()>& fn);

    // --- users -----------------------------------------------------------
    // id 0 takes the next free id. False with a reason when the name or id
    // is taken or the name is empty.
    bool AddUser(const std::string& name, std::string_view password, const std::string& nickname,
                 std::uint8_t sex, std::uint32_t id, std::uint32_t iterations,
                 std::uint32_t* outId, std::string& error);
    std::optional<UserRecord> UserById(std::uint32_t id);
    std::optional<UserRecord> UserByName(const std::string& name);
    // The user's id when the name exists and the password is right.
    std::optional<std::uint32_t> CheckPassword(const std::string& name, std::string_view password);

    // --- tokens ----------------------------------------------------------
    // One live token per user: issuing replaces (and so revokes) the last.
    // Empty when the user does not exist.
    std::string IssueToken(std::uint32_t userId, std::int64_t now, std::int64_t ttlSeconds);
    // `expiry`, when given, receives the token's expiry (seconds since 1970)
    // once the token is found to be the user's.
    TokenCheck CheckToken(std::uint32_t userId, std::string_view token, std::int64_t now,
                          std::int64_t* expiry = nullptr);
    bool RevokeToken(std::uint32_t userId);
    // The kept sign-in ("remember password"): a second secret, one per user,
    // that only signs in again; the session token's logout leaves it.
    std::string IssueKeepToken(std::uint32_t userId, std::int64_t now, std::int64_t ttlSeconds);
    TokenCheck CheckKeepToken(std::uint32_t userId, std::string_view token, std::int64_t now);
    bool RevokeKeepToken(std::uint32_t userId);

    // --- rooms, roles, powers -------------------------------------------
    // replace = false keeps an existing row untouched (true when it exists).
    bool PutRoom(const RoomRecord& room, bool replace);
    std::optional<RoomRecord> RoomById(std::uint32_t id);
    std::vector<RoomRecord> Rooms();

    // expiry: seconds since 1970, 0 = permanent.
    bool SetRoomRole(std::uint32_t room, std::uint32_t user, std::uint8_t role,
                     std::int64_t expiry, bool replace = true);
    // The user's role in the room at `now`: guest when none or expired.
    std::uint8_t RoomRole(std::uint32_t room, std::uint32_t user, std::int64_t now);

    bool PutRole(const RoleRecord& role, bool replace);
    std::vector<RoleRecord> Roles();
    bool PutPowerRule(const PowerRule& rule, bool replace);
    std::vector<PowerRule> PowerRules();
    // Changes whenever the database may have changed (a write through this
    // connection or any other), so readers can keep what they read until then.
    std::uint64_t Generation();

    // The user's room role back to guest.
    bool RemoveRoomRole(std::uint32_t room, std::uint32_t user);
    // False when there is no such room.
    bool SetRoomMode(std::uint32_t room, std::uint8_t mode);

    // --- moderation --------------------------------------------------------
    bool AddGag(const GagRecord& gag);
    bool RemoveGag(std::uint32_t room, std::uint32_t user);
    bool IsGagged(std::uint32_t room, std::uint32_t user);
    // until: seconds since 1970; a later kick replaces an earlier one.
    bool AddKick(std::uint32_t room, std::uint32_t user, std::uint32_t by,
                 const std::string& reason, std::int64_t until);
    // When the user's kick from the room ends, or 0 when none lasts at `now`.
    std::int64_t KickedUntil(std::uint32_t room, std::uint32_t user, std::int64_t now);
    // Appends to the moderation log (rows are never changed or removed).
    bool LogModeration(std::int64_t at, std::uint32_t room, std::uint32_t actor,
                       std::uint32_t target, std::string_view action, std::string_view detail);

    // --- props --------------------------------------------------------------
    // The account service keeps the pack on its own connection; a card is
    // read and spent on this one, so that spending it and what it does (a
    // gag) are one transaction (InTransaction). Nothing when there is no
    // such entry (or no pack table).
    std::optional<PropEntryRow> PropEntryById(std::uint32_t entry);
    // One of the entry's props used: false, with nothing changed, unless the
    // entry is the user's, holds `prop` and has one left.
    bool SpendProp(std::uint32_t entry, std::uint32_t user, std::uint32_t prop);

    // --- chat pictures ----------------------------------------------------
    // Who uploaded which picture, for the per-user quota.
    bool AddPicture(const std::string& id, std::uint32_t user, std::uint64_t bytes,
                    std::int64_t now);
    std::uint64_t PictureBytesOf(std::uint32_t user);

    // --- anchor check-ins (server/checkin_db.cpp) -------------------------
    bool AddCheckin(const CheckinRow& row);
    // When the user last clocked in in the room; nothing when never.
    std::optional<std::int64_t> LatestClockIn(std::uint32_t room, std::uint32_t user);
    // The starts of the cycles the user signed in the room, from `from` on.
    std::vector<std::int64_t> SignedCycles(std::uint32_t room, std::uint32_t user,
                                           std::int64_t from);

    // --- room backgrounds (server/checkin_db.cpp) --------------------------
    // Counted and added in one transaction, so two uploads at once cannot
    // pass the cap together; `bg.id` is set on ok.
    BackgroundAdd AddRoomBackground(RoomBackground& bg, std::size_t maxPerRoom);
    std::vector<RoomBackground> RoomBackgrounds(std::uint32_t room);  // oldest first
    std::optional<RoomBackground> RoomBackgroundById(std::uint32_t id);
    bool RemoveRoomBackground(std::uint32_t id);

    // Rows of one of the tables above; -1 for another name.
    std::int64_t CountRows(std::string_view table);

    const std::string& lastError() const { return lastError_; }

private:
    // One row holds two secrets (the session token, the kept sign-in):
    // issued, checked and revoked alike.
    std::string IssueSecret(const SecretColumns& c, std::uint32_t userId, std::int64_t now,
                            std::int64_t ttlSeconds);
    TokenCheck CheckSecret(const SecretColumns& c, std::uint32_t userId, std::string_view token,
                           std::int64_t now, std::int64_t* expiresAt);
    bool RevokeSecret(const SecretColumns& c, std::uint32_t userId);
    bool RunStmt(Stmt& st);
    bool Exec(const char* sql, std::string& error);
    bool Migrate(const std::vector<Migration>& migrations, std::string& error);

    std::recursive_mutex lock_;
    sqlite3* db_ = nullptr;
    std::string lastError_;
};

}  // namespace server
