#pragma once
// The server's prepared SQLite statements: bound by position, finalised on
// destruction. One connection's statements are used by one thread at a time.

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace server {

class Stmt {
public:
    Stmt(sqlite3* db, const char* sql) : db_(db) {
        if (!db || sqlite3_prepare_v2(db, sql, -1, &st_, nullptr) != SQLITE_OK) st_ = nullptr;
    }
    ~Stmt() { sqlite3_finalize(st_); }
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;

    explicit operator bool() const { return st_ != nullptr; }
    Stmt& bind(int i, std::int64_t v) {
        if (st_) sqlite3_bind_int64(st_, i, v);
        return *this;
    }
    Stmt& bind(int i, std::string_view v) {
        if (st_) sqlite3_bind_text(st_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Stmt& bind(int i, const std::vector<unsigned char>& v) {
        if (st_)
            sqlite3_bind_blob(st_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Stmt& bind_null(int i) {
        if (st_) sqlite3_bind_null(st_, i);
        return *this;
    }
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int step() { return st_ ? sqlite3_step(st_) : SQLITE_ERROR; }
    bool run() { return step() == SQLITE_DONE; }
    bool row() { return step() == SQLITE_ROW; }

    std::int64_t i64(int col) const { return sqlite3_column_int64(st_, col); }
    std::string text(int col) const {
        const auto* p = sqlite3_column_text(st_, col);
        return p ? std::string(reinterpret_cast<const char*>(p),
                               static_cast<std::size_t>(sqlite3_column_bytes(st_, col)))
                 : std::string();
    }
    std::vector<unsigned char> blob(int col) const {
        const auto* p = static_cast<const unsigned char*>(sqlite3_column_blob(st_, col));
        const int n = sqlite3_column_bytes(st_, col);
        return p ? std::vector<unsigned char>(p, p + n) : std::vector<unsigned char>();
    }
    bool is_null(int col) const { return sqlite3_column_type(st_, col) == SQLITE_NULL; }
    std::string error() const { return sqlite3_errmsg(db_); }

private:
    sqlite3* db_;
    sqlite3_stmt* st_ = nullptr;
};

}  // namespace server
