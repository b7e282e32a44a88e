// The check-in service's tables: anchor clock-ins and sign-ins, and the rooms'
// background pictures (which file belongs to which room).
#include "server/database.h"
#include "server/sqlite_stmt.h"

namespace server {

namespace {

std::int64_t Wide(std::uint32_t v) { return static_cast<std::int64_t>(v); }

RoomBackground BackgroundFrom(const Stmt& st) {
    RoomBackground bg;
    bg.id = static_cast<std::uint32_t>(st.i64(0));
    bg.room = static_cast<std::uint32_t>(st.i64(1));
    bg.name = st.text(2);
    bg.user = static_cast<std::uint32_t>(st.i64(3));
    const std::int64_t bytes = st.i64(4);
    bg.bytes = bytes > 0 ? static_cast<std::uint64_t>(bytes) : 0;
    bg.storedAt = st.i64(5);
    return bg;
}

constexpr const char* kBackgroundColumns = "id, room_id, name, user_id, bytes, stored_at";

}  // namespace

bool CServerDb::AddCheckin(const CheckinRow& row) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    if (!db_) return false;
    Stmt st(db_,
            "INSERT INTO anchor_checkins (room_id, user_id, nickname, kind, at, cycle_start) "
            "VALUES (?1, ?2, ?3, ?4, ?5, ?6);");
    st.bind(1, Wide(row.room)).bind(2, Wide(row.user)).bind(3, row.nickname);
    st.bind(4, static_cast<std::int64_t>(row.kind)).bind(5, row.at).bind(6, row.cycleStart);
    return RunStmt(st);
}

std::optional<std::int64_t> CServerDb::LatestClockIn(std::uint32_t room, std::uint32_t user) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    if (!db_) return std::nullopt;
    Stmt st(db_,
            "SELECT at FROM anchor_checkins WHERE room_id = ?1 AND user_id = ?2 AND kind = 1 "
            "ORDER BY at DESC, id DESC LIMIT 1;");
    st.bind(1, Wide(room)).bind(2, Wide(user));
    if (!st.row()) return std::nullopt;
    return st.i64(0);
}

std::vector<std::int64_t> CServerDb::SignedCycles(std::uint32_t room, std::uint32_t user,
                                                  std::int64_t from) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    std::vector<std::int64_t> out;
    if (!db_) return out;
    Stmt st(db_,
            "SELECT DISTINCT cycle_start FROM anchor_checkins WHERE room_id = ?1 AND user_id = ?2 "
            "AND kind = 2 AND cycle_start >= ?3 ORDER BY cycle_start;");
    st.bind(1, Wide(room)).bind(2, Wide(user)).bind(3, from);
    while (st.row()) out.push_back(st.i64(0));
    return out;
}

BackgroundAdd CServerDb::AddRoomBackground(RoomBackground& bg, std::size_t maxPerRoom) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    BackgroundAdd result = BackgroundAdd::error;
    InTransaction([&] {
        Stmt count(db_, "SELECT COUNT(*) FROM room_backgrounds WHERE room_id = ?1;");
        count.bind(1, Wide(bg.room));
        if (!count.row()) return false;
        if (count.i64(0) >= static_cast<std::int64_t>(maxPerRoom)) {
            result = BackgroundAdd::full;
            return false;
        }
        Stmt st(db_,
                "INSERT INTO room_backgrounds (room_id, name, user_id, bytes, stored_at) "
                "VALUES (?1, ?2, ?3, ?4, ?5);");
        st.bind(1, Wide(bg.room)).bind(2, bg.name).bind(3, Wide(bg.user));
        st.bind(4, static_cast<std::int64_t>(bg.bytes)).bind(5, bg.storedAt);
        if (!RunStmt(st)) return false;
        bg.id = static_cast<std::uint32_t>(sqlite3_last_insert_rowid(db_));
        result = BackgroundAdd::ok;
        return true;
    });
    // A commit that failed after the insert leaves no row behind.
    if (result == BackgroundAdd::ok && !RoomBackgroundById(bg.id)) result = BackgroundAdd::error;
    return result;
}

std::vector<RoomBackground> CServerDb::RoomBackgrounds(std::uint32_t room) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    std::vector<RoomBackground> out;
    if (!db_) return out;
    const std::string sql = std::string("SELECT ") + kBackgroundColumns +
                            " FROM room_backgrounds WHERE room_id = ?1 ORDER BY id;";
    Stmt st(db_, sql.c_str());
    st.bind(1, Wide(room));
    while (st.row()) out.push_back(BackgroundFrom(st));
    return out;
}

std::optional<RoomBackground> CServerDb::RoomBackgroundById(std::uint32_t id) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    if (!db_) return std::nullopt;
    const std::string sql =
        std::string("SELECT ") + kBackgroundColumns + " FROM room_backgrounds WHERE id = ?1;";
    Stmt st(db_, sql.c_str());
    st.bind(1, Wide(id));
    if (!st.row()) return std::nullopt;
    return BackgroundFrom(st);
}

bool CServerDb::RemoveRoomBackground(std::uint32_t id) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    if (!db_) return false;
    Stmt st(db_, "DELETE FROM room_backgrounds WHERE id = ?1;");
    st.bind(1, Wide(id));
    return RunStmt(st) && sqlite3_changes(db_) > 0;
}

}  // namespace server
