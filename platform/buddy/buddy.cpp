#include "platform/buddy/buddy.h"

#include <sqlite3.h>

#include <ctime>
#include <mutex>

#include "core/log.h"
#include "core/paths.h"

struct CBuddySession {
    sqlite3* db = nullptr;
    std::mutex lock;
};

namespace {

// Each entry moves the schema one version on; never edit a released one.
const char* const kMigrations[] = {
    "CREATE TABLE history(room_id INTEGER PRIMARY KEY, name TEXT NOT NULL DEFAULT '',"
    " second_name TEXT NOT NULL DEFAULT '', logo TEXT NOT NULL DEFAULT '',"
    " description TEXT NOT NULL DEFAULT '', people INTEGER NOT NULL DEFAULT 0,"
    " last_visit INTEGER NOT NULL DEFAULT 0);"
    "CREATE TABLE favourites(room_id INTEGER PRIMARY KEY);"
    "CREATE TABLE friends(user_id INTEGER PRIMARY KEY, nickname TEXT NOT NULL DEFAULT '');",
};

bool Exec(sqlite3* db, const char* sql) {
    char* err = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &err) == SQLITE_OK) return true;
    log_msg("buddy sql error: %s\r\n", err ? err : "?");
    sqlite3_free(err);
    return false;
}

bool Migrate(sqlite3* db) {
    sqlite3_stmt* st = nullptr;
    int version = 0;
    if (sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW)
        version = sqlite3_column_int(st, 0);
    sqlite3_finalize(st);
    const int target = static_cast<int>(sizeof kMigrations / sizeof kMigrations[0]);
    for (int v = version; v < target; ++v) {
        const std::string sql = std::string("BEGIN;") + kMigrations[v] +
                                "PRAGMA user_version=" + std::to_string(v + 1) + ";COMMIT;";
        if (!Exec(db, sql.c_str())) {
            Exec(db, "ROLLBACK;");
            return false;
        }
    }
    return true;
}

// Runs one statement with bound integer/text parameters; true when it ran.
class Stmt {
public:
    Stmt(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &st_, nullptr); }
    ~Stmt() { sqlite3_finalize(st_); }
    Stmt& Int(int i, std::int64_t v) {
        if (st_) sqlite3_bind_int64(st_, i, v);
        return *this;
    }
    Stmt& Text(int i, const std::string& v) {
        if (st_) sqlite3_bind_text(st_, i, v.c_str(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    bool Run() { return st_ && sqlite3_step(st_) == SQLITE_DONE; }
    bool Row() { return st_ && sqlite3_step(st_) == SQLITE_ROW; }
    std::int64_t ColInt(int c) { return sqlite3_column_int64(st_, c); }
    std::string ColText(int c) {
        const unsigned char* t = sqlite3_column_text(st_, c);
        return t ? reinterpret_cast<const char*>(t) : "";
    }

private:
    sqlite3_stmt* st_ = nullptr;
};

}  // namespace

BUDDY_HANDLE BUDDY_Create(std::uint32_t userId) {
    const std::string folder = paths::UserFolder(userId);
    paths::MakeDirs(folder);
    const std::string file = folder + "buddy.db";
    sqlite3* db = nullptr;
    if (sqlite3_open(file.c_str(), &db) != SQLITE_OK) {
        log_msg("buddy open %s fail: %s\r\n", file.c_str(), db ? sqlite3_errmsg(db) : "?");
        sqlite3_close(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, 2000);
    Exec(db, "PRAGMA journal_mode=WAL;");
    if (!Migrate(db)) {
        sqlite3_close(db);
        return nullptr;
    }
    auto* h = new CBuddySession;
    h->db = db;
    return h;
}

void BUDDY_Close(BUDDY_HANDLE h) {
    if (!h) return;
    sqlite3_close(h->db);
    delete h;
}

bool BUDDY_LoginRoomResp(BUDDY_HANDLE h, std::uint32_t roomId, const std::string& name) {
    if (!h || roomId == 0) return false;
    std::lock_guard<std::mutex> g(h->lock);
    return Stmt(h->db,
                "INSERT INTO history(room_id, name, last_visit) VALUES(?1, ?2, ?3)"
                " ON CONFLICT(room_id) DO UPDATE SET name=excluded.name,"
                " last_visit=excluded.last_visit")
        .Int(1, roomId)
        .Text(2, name)
        .Int(3, std::time(nullptr))
        .Run();
}

bool BUDDY_ExitRoom(BUDDY_HANDLE h, std::uint32_t roomId, std::uint32_t people) {
    if (!h || roomId == 0) return false;
    std::lock_guard<std::mutex> g(h->lock);
    return Stmt(h->db, "UPDATE history SET people=?2 WHERE room_id=?1").Int(1, roomId).Int(2, people).Run();
}

bool BUDDY_SetRoomDetails(BUDDY_HANDLE h, std::uint32_t roomId, const std::string& secondName,
                          const std::string& logo, const std::string& description) {
    if (!h || roomId == 0) return false;
    std::lock_guard<std::mutex> g(h->lock);
    return Stmt(h->db,
                "UPDATE history SET second_name=?2, logo=?3, description=?4 WHERE room_id=?1")
        .Int(1, roomId)
        .Text(2, secondName)
        .Text(3, logo)
        .Text(4, description)
        .Run();
}

bool BUDDY_IsStore(BUDDY_HANDLE h, std::uint32_t roomId) {
    if (!h) return false;
    std::lock_guard<std::mutex> g(h->lock);
    return Stmt(h->db, "SELECT 1 FROM favourites WHERE room_id=?1").Int(1, roomId).Row();
}

bool BUDDY_AddStore(BUDDY_HANDLE h, std::uint32_t roomId) {
    if (!h || roomId == 0) return false;
    std::lock_guard<std::mutex> g(h->lock);
    return Stmt(h->db, "INSERT OR IGNORE INTO favourites(room_id) VALUES(?1)").Int(1, roomId).Run();
}

bool BUDDY_DelStore(BUDDY_HANDLE h, std::uint32_t roomId) {
    if (!h) return false;
    std::lock_guard<std::mutex> g(h->lock);
    return Stmt(h->db, "DELETE FROM favourites WHERE room_id=?1").Int(1, roomId).Run();
}

namespace {

BuddyRoomInfo* RoomChain(Stmt& q) {
    BuddyRoomInfo* head = nullptr;
    BuddyRoomInfo** tail = &head;
    while (q.Row()) {
        auto* r = new BuddyRoomInfo;
        r->roomId = static_cast<std::uint32_t>(q.ColInt(0));
        r->name = q.ColText(1);
        r->secondName = q.ColText(2);
        r->logo = q.ColText(3);
        r->description = q.ColText(4);
        r->people = static_cast<std::uint32_t>(q.ColInt(5));
        r->lastVisit = q.ColInt(6);
        *tail = r;
        tail = &r->next;
    }
    return head;
}

}  // namespace

BuddyRoomInfo* BUDDY_GetHistoryRoom(BUDDY_HANDLE h, int limit) {
    if (!h) return nullptr;
    std::lock_guard<std::mutex> g(h->lock);
    Stmt q(h->db,
           "SELECT room_id, name, second_name, logo, description, people, last_visit FROM history"
           " ORDER BY last_visit DESC, room_id LIMIT ?1");
    q.Int(1, limit > 0 ? limit : 50);
    return RoomChain(q);
}

BuddyRoomInfo* BUDDY_GetStoreRoom(BUDDY_HANDLE h) {
    if (!h) return nullptr;
    std::lock_guard<std::mutex> g(h->lock);
    // A favourite never visited since the history was cleared still lists,
    // with only its id known.
    Stmt q(h->db,
           "SELECT f.room_id, IFNULL(h.name, ''), IFNULL(h.second_name, ''), IFNULL(h.logo, ''),"
           " IFNULL(h.description, ''), IFNULL(h.people, 0), IFNULL(h.last_visit, 0)"
           " FROM favourites f LEFT JOIN history h ON h.room_id = f.room_id"
           " ORDER BY IFNULL(h.last_visit, 0) DESC, f.room_id");
    return RoomChain(q);
}

void BUDDY_DestoryRoomInfo(BuddyRoomInfo* chain) {
    while (chain) {
        BuddyRoomInfo* next = chain->next;
        delete chain;
        chain = next;
    }
}

bool BUDDY_QueryFriend(BUDDY_HANDLE h, std::uint32_t userId) {
    if (!h) return false;
    std::lock_guard<std::mutex> g(h->lock);
    return Stmt(h->db, "SELECT 1 FROM friends WHERE user_id=?1").Int(1, userId).Row();
}

bool BUDDY_AddFriend(BUDDY_HANDLE h, std::uint32_t userId, const std::string& nickname) {
    if (!h || userId == 0) return false;
    std::lock_guard<std::mutex> g(h->lock);
    return Stmt(h->db,
                "INSERT INTO friends(user_id, nickname) VALUES(?1, ?2)"
                " ON CONFLICT(user_id) DO UPDATE SET nickname=excluded.nickname")
        .Int(1, userId)
        .Text(2, nickname)
        .Run();
}
