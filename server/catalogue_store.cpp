#include "server/catalogue_store.h"
#include "server/sqlite_stmt.h"

#include <openssl/sha.h>
#include <sqlite3.h>

#include "server/password.h"

namespace server {

namespace {

constexpr const char* kItemColumns =
    "i.id, i.item_type, i.parent_id, i.sort_order, i.node, i.name, i.price, i.initial_price,"
    " i.currency_type, i.currency_name, i.buy_request, i.ext, i.ext_one, i.type, i.check_code,"
    " i.load_type, i.version_id, i.describe, i.chat_msg, i.cartoon_type, i.notice_type,"
    " i.use_times, i.valid_time, i.charm_value, i.harm_switch,"
    " i.icon, fi.ext, i.chat_pic, fc.ext, i.cartoon, fa.ext, i.voice, fv.ext";

std::uint32_t U32(std::int64_t v) { return v < 0 || v > 0xFFFFFFFFll ? 0 : static_cast<std::uint32_t>(v); }

CatalogueItem ReadItem(const Stmt& st) {
    CatalogueItem it;
    int c = 0;
    it.id = U32(st.i64(c++));
    it.itemType = st.text(c++);
    it.parent = U32(st.i64(c++));
    it.order = st.i64(c++);
    it.group = st.text(c++) == "1";
    it.name = st.text(c++);
    it.price = st.i64(c++);
    it.initialPrice = st.i64(c++);
    it.currencyType = st.text(c++);
    it.currencyName = st.text(c++);
    it.buyRequest = U32(st.i64(c++));
    it.ext = st.text(c++);
    it.extOne = st.text(c++);
    it.type = st.text(c++);
    it.checkCode = st.text(c++);
    it.loadType = st.text(c++);
    it.versionId = st.i64(c++);
    it.describe = st.text(c++);
    it.chatMsg = st.text(c++);
    it.cartoonType = st.text(c++);
    it.noticeType = st.text(c++);
    it.useTimes = U32(st.i64(c++));
    it.validTime = U32(st.i64(c++));
    it.charmValue = U32(st.i64(c++));
    it.harmSwitch = st.text(c++);
    for (CatalogueFileRef* f : {&it.icon, &it.chatPic, &it.cartoon, &it.voice}) {
        f->digest = st.text(c++);
        f->ext = st.text(c++);
        if (f->ext.empty()) f->digest.clear();  // a dangling reference is no file
    }
    return it;
}

}  // namespace

bool IsItemType(std::string_view type) {
    return type == item_type::kGift || type == item_type::kCar || type == item_type::kPack ||
           type == item_type::kVip;
}

std::string ContentDigest(std::string_view bytes) {
    unsigned char digest[SHA256_DIGEST_LENGTH];
    SHA256(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), digest);
    return ToHex(digest, sizeof digest);
}

CCatalogueStore::~CCatalogueStore() { Close(); }

bool CCatalogueStore::Exec(const char* sql, std::string& error) {
    char* msg = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &msg) == SQLITE_OK) return true;
    error = msg ? msg : sqlite3_errmsg(db_);
    sqlite3_free(msg);
    return false;
}

bool CCatalogueStore::Open(const std::string& path, std::string& error) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    if (db_) return true;
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        error = "catalogue: " + (db_ ? std::string(sqlite3_errmsg(db_)) : "cannot open " + path);
        sqlite3_close(db_);
        db_ = nullptr;
        return false;
    }
    sqlite3_busy_timeout(db_, 5000);
    Stmt probe(db_, "SELECT 1 FROM catalogue_items LIMIT 1;");
    if (!probe || !Exec("PRAGMA foreign_keys=ON;", error)) {
        error = "catalogue: the database has no catalogue tables";
        sqlite3_close(db_);
        db_ = nullptr;
        return false;
    }
    return true;
}

void CCatalogueStore::Close() {
    std::lock_guard<std::recursive_mutex> g(lock_);
    if (db_) sqlite3_close_v2(db_);
    db_ = nullptr;
}

bool CCatalogueStore::InTransaction(const std::function<bool()>& fn) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    std::string why;
    if (!db_ || !Exec("BEGIN IMMEDIATE;", why)) return false;
    bool ok = false;
    try {
        ok = fn();
    } catch (...) {
        ok = false;
    }
    if (ok && Exec("COMMIT;", why)) return true;
    Exec("ROLLBACK;", why);
    return false;
}

CatalogueFileRef CCatalogueStore::PutFile(std::string_view bytes, const std::string& ext,
                                          std::string& error) {
    if (bytes.empty()) {
        error = "an empty file";
        return {};
    }
    CatalogueFileRef ref{ContentDigest(bytes), ext};
    std::lock_guard<std::recursive_mutex> g(lock_);
    Stmt st(db_, "INSERT INTO catalogue_files (digest, ext, bytes) VALUES (?1, ?2, ?3) "
                 "ON CONFLICT(digest) DO NOTHING;");
    st.bind(1, ref.digest).bind(2, ext);
    st.bind(3, std::vector<unsigned char>(bytes.begin(), bytes.end()));
    if (!st.run()) {
        error = st.error();
        return {};
    }
    return ref;
}

bool CCatalogueStore::PutItem(const CatalogueItem& it, bool replace, std::string& error) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    // Not "OR IGNORE": that would also pass over a row its checks refuse.
    const std::string sql =
        std::string(replace ? "INSERT OR REPLACE" : "INSERT") +
        " INTO catalogue_items (id, item_type, parent_id, sort_order, node, name, price,"
        " initial_price, currency_type, currency_name, buy_request, ext, ext_one, type,"
        " check_code, load_type, version_id, describe, chat_msg, cartoon_type, notice_type,"
        " use_times, valid_time, charm_value, harm_switch, icon, chat_pic, cartoon, voice)"
        " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, ?17,"
        " ?18, ?19, ?20, ?21, ?22, ?23, ?24, ?25, ?26, ?27, ?28, ?29)" +
        (replace ? ";" : " ON CONFLICT(id) DO NOTHING;");
    Stmt st(db_, sql.c_str());
    int c = 0;
    const auto num = [&](std::int64_t v) { st.bind(++c, v); };
    const auto text = [&](std::string_view v) { st.bind(++c, v); };
    num(it.id);
    text(it.itemType);
    num(it.parent);
    num(it.order);
    text(it.group ? "1" : "0");
    text(it.name);
    num(it.price);
    num(it.initialPrice);
    text(it.currencyType);
    text(it.currencyName);
    num(it.buyRequest);
    text(it.ext);
    text(it.extOne);
    text(it.type);
    text(it.checkCode);
    text(it.loadType);
    num(it.versionId);
    text(it.describe);
    text(it.chatMsg);
    text(it.cartoonType);
    text(it.noticeType);
    num(it.useTimes);
    num(it.validTime);
    num(it.charmValue);
    text(it.harmSwitch);
    for (const CatalogueFileRef* f : {&it.icon, &it.chatPic, &it.cartoon, &it.voice}) {
        if (f->empty()) st.bind_null(++c);
        else text(f->digest);
    }
    if (!st.run()) {
        error = "item " + std::to_string(it.id) + ": " + st.error();
        return false;
    }
    return true;
}

std::vector<CatalogueItem> CCatalogueStore::Items(std::string_view itemType) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    std::vector<CatalogueItem> out;
    const std::string sql =
        std::string("SELECT ") + kItemColumns +
        " FROM catalogue_items i"
        " LEFT JOIN catalogue_files fi ON fi.digest = i.icon"
        " LEFT JOIN catalogue_files fc ON fc.digest = i.chat_pic"
        " LEFT JOIN catalogue_files fa ON fa.digest = i.cartoon"
        " LEFT JOIN catalogue_files fv ON fv.digest = i.voice"
        " WHERE i.item_type = ?1 ORDER BY i.sort_order, i.id;";
    Stmt st(db_, sql.c_str());
    st.bind(1, itemType);
    while (st.row()) out.push_back(ReadItem(st));
    return out;
}

std::optional<CatalogueFile> CCatalogueStore::File(std::string_view digest) {
    std::lock_guard<std::recursive_mutex> g(lock_);
    Stmt st(db_, "SELECT ext, bytes FROM catalogue_files WHERE digest = ?1;");
    st.bind(1, digest);
    if (!st.row()) return std::nullopt;
    const auto bytes = st.blob(1);
    return CatalogueFile{st.text(0), std::string(bytes.begin(), bytes.end())};
}

std::int64_t CCatalogueStore::ItemCount() {
    std::lock_guard<std::recursive_mutex> g(lock_);
    Stmt st(db_, "SELECT COUNT(*) FROM catalogue_items;");
    return st.row() ? st.i64(0) : -1;
}

}  // namespace server
