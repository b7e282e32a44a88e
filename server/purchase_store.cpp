#include "server/purchase_store.h"

#include <sqlite3.h>

#include <limits>

#include "core/log.h"
#include "net/json.h"
#include "server/sqlite_stmt.h"

namespace server {

namespace {

constexpr std::int64_t kDaySeconds = 86400;
constexpr auto kInt64Max = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());

const char* ItemTypeOf(std::uint32_t kind) {
    switch (kind) {
        case kKindGift: return "1";
        case kKindCar: return "4";
        case kKindPack: return "6";
        case kKindVip: return "7";
        default: return "";
    }
}

std::uint64_t NonNegative(std::int64_t v) { return v < 0 ? 0 : static_cast<std::uint64_t>(v); }
std::int64_t Signed(std::uint64_t v) { return static_cast<std::int64_t>(v > kInt64Max ? kInt64Max : v); }

// A VIP grade's level is its `ext` in decimal; anything else is level 0.
std::uint32_t LevelOf(const std::string& ext) {
    if (ext.empty() || ext.size() > 9) return 0;
    std::uint32_t v = 0;
    for (char c : ext) {
        if (c < '0' || c > '9') return 0;
        v = v * 10 + static_cast<std::uint32_t>(c - '0');
    }
    return v;
}

struct Item {
    std::string type, node, name, currency, ext;
    std::uint64_t price = 0;
    std::uint32_t buyRequest = 0, useTimes = 0, validDays = 0, charmValue = 0;
    ItemPicture icon, chatPic;
};

std::optional<Item> LoadItem(sqlite3* db, std::uint32_t id) {
    Stmt st(db,
            "SELECT i.item_type, i.node, i.name, i.price, i.currency_type, i.buy_request, "
            "i.use_times, i.valid_time, i.charm_value, i.ext, i.icon, fi.ext, i.chat_pic, fc.ext "
            "FROM catalogue_items i "
            "LEFT JOIN catalogue_files fi ON fi.digest = i.icon "
            "LEFT JOIN catalogue_files fc ON fc.digest = i.chat_pic WHERE i.id = ?1;");
    st.bind(1, static_cast<std::int64_t>(id));
    if (!st.row()) return std::nullopt;
    const auto u32 = [&](int col) {
        const std::int64_t v = st.i64(col);
        return v < 0 || v > 0xFFFFFFFFll ? 0u : static_cast<std::uint32_t>(v);
    };
    Item it;
    it.type = st.text(0);
    it.node = st.text(1);
    it.name = st.text(2);
    it.price = NonNegative(st.i64(3));
    it.currency = st.text(4);
    it.buyRequest = u32(5);
    it.useTimes = u32(6);
    it.validDays = u32(7);
    it.charmValue = u32(8);
    it.ext = st.text(9);
    if (!st.is_null(10)) it.icon = {st.text(10), st.text(11)};
    if (!st.is_null(12)) it.chatPic = {st.text(12), st.text(13)};
    return it;
}

std::uint32_t VipLevel(sqlite3* db, std::uint32_t user, std::int64_t now) {
    Stmt st(db, "SELECT COALESCE(MAX(level), 0) FROM account_vips "
                "WHERE user_id = ?1 AND (expiry = 0 OR expiry > ?2);");
    st.bind(1, static_cast<std::int64_t>(user)).bind(2, now);
    return st.row() ? static_cast<std::uint32_t>(NonNegative(st.i64(0))) : 0;
}

json::value Balance(sqlite3* db, std::uint32_t user, json::value v) {
    Stmt st(db, "SELECT coins, pelto FROM account_wallets WHERE user_id = ?1;");
    st.bind(1, static_cast<std::int64_t>(user));
    const bool row = st.row();
    v.set("coins", row ? st.i64(0) : 0);
    v.set("pelto", row ? st.i64(1) : 0);
    return v;
}

// Takes `cost` from one balance: exactly one row changes, or nothing does.
bool Debit(sqlite3* db, std::uint32_t user, bool pelto, std::uint64_t cost) {
    Stmt st(db, pelto ? "UPDATE account_wallets SET pelto = pelto - ?1 "
                        "WHERE user_id = ?2 AND pelto >= ?1;"
                      : "UPDATE account_wallets SET coins = coins - ?1 "
                        "WHERE user_id = ?2 AND coins >= ?1;");
    st.bind(1, Signed(cost)).bind(2, static_cast<std::int64_t>(user));
    return st.run() && sqlite3_changes(db) == 1;
}

// What a purchase puts into the buyer's lists or the receiver's charm.
bool Deliver(sqlite3* db, const PurchaseRequest& r, const Item& it, std::uint64_t cost,
             std::uint64_t charm) {
    const auto user = static_cast<std::int64_t>(r.user);
    const auto item = static_cast<std::int64_t>(r.item);
    const std::int64_t span = static_cast<std::int64_t>(it.validDays) * kDaySeconds;
    switch (r.kind) {
        case kKindGift: {
            Stmt led(db, "INSERT INTO account_gift_ledger (giver_id, receiver_id, room_id, item_id, "
                         "count, cost, currency, charm, at) VALUES (?1,?2,?3,?4,?5,?6,?7,?8,?9);");
            led.bind(1, user).bind(2, static_cast<std::int64_t>(r.receiver))
                .bind(3, static_cast<std::int64_t>(r.room)).bind(4, item)
                .bind(5, static_cast<std::int64_t>(r.count)).bind(6, Signed(cost))
                .bind(7, it.currency == "2" ? "pelto" : "coins").bind(8, Signed(charm)).bind(9, r.now);
            if (!led.run()) return false;
            Stmt ch(db, "INSERT INTO account_charm (user_id, charm) VALUES (?1, ?2) "
                        "ON CONFLICT(user_id) DO UPDATE SET charm = charm + excluded.charm;");
            return ch.bind(1, static_cast<std::int64_t>(r.receiver)).bind(2, Signed(charm)).run();
        }
        case kKindCar: {
            // A car bought again runs on from its expiry (or from now when
            // that has passed); a permanent one stays permanent.
            Stmt st(db, "INSERT INTO account_cars (user_id, car_id, name, expiry, active) "
                        "VALUES (?1, ?2, ?3, CASE WHEN ?4 = 0 THEN 0 ELSE ?5 + ?4 END, 0) "
                        "ON CONFLICT(user_id, car_id) DO UPDATE SET name = excluded.name, "
                        "expiry = CASE WHEN account_cars.expiry = 0 OR ?4 = 0 THEN 0 "
                        "ELSE MAX(account_cars.expiry, ?5) + ?4 END;");
            return st.bind(1, user).bind(2, item).bind(3, it.name).bind(4, span).bind(5, r.now).run();
        }
        case kKindPack: {
            const std::int64_t n = it.useTimes ? it.useTimes : 1;
            Stmt st(db, "INSERT INTO account_pack (user_id, prop_id, name, count, value) "
                        "VALUES (?1, ?2, ?3, ?4, 0) ON CONFLICT(user_id, prop_id) "
                        "DO UPDATE SET count = count + excluded.count "
                        "WHERE count + excluded.count <= 4294967295;");
            return st.bind(1, user).bind(2, item).bind(3, it.name).bind(4, n).run() &&
                   sqlite3_changes(db) == 1;
        }
        case kKindVip: {
            Stmt st(db, "INSERT INTO account_vips (user_id, vip_id, level, name, expiry) "
                        "VALUES (?1, ?2, ?3, ?4, CASE WHEN ?5 = 0 THEN 0 ELSE ?6 + ?5 END) "
                        "ON CONFLICT(user_id, vip_id) DO UPDATE SET level = excluded.level, "
                        "name = excluded.name, expiry = CASE WHEN account_vips.expiry = 0 OR ?5 = 0 "
                        "THEN 0 ELSE MAX(account_vips.expiry, ?6) + ?5 END;");
            return st.bind(1, user).bind(2, item).bind(3, static_cast<std::int64_t>(LevelOf(it.ext)))
                .bind(4, it.name).bind(5, span).bind(6, r.now).run();
        }
        default: return false;
    }
}

}  // namespace

bool IsRequestId(std::string_view id) {
    if (id.size() != 32) return false;
    for (char c : id)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

std::string PurchaseRequest::Content() const {
    return "buy kind=" + std::to_string(kind) + " item=" + std::to_string(item) +
           " count=" + std::to_string(count) + " room=" + std::to_string(room) +
           " receiver=" + std::to_string(receiver);
}

PurchaseOutcome PurchaseOutcome::Refused(int status, int code, std::string error) {
    PurchaseOutcome o;
    o.status = status;
    o.code = code;
    o.error = std::move(error);
    return o;
}

CPurchaseStore::~CPurchaseStore() { Close(); }

bool CPurchaseStore::Exec(const char* sql, std::string& error) {
    char* msg = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &msg) == SQLITE_OK) return true;
    error = msg ? msg : sqlite3_errmsg(db_);
    sqlite3_free(msg);
    return false;
}

bool CPurchaseStore::Open(const std::string& path, std::string& error) {
    std::lock_guard<std::mutex> g(lock_);
    if (db_) return true;
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        error = "purchases: " + (db_ ? std::string(sqlite3_errmsg(db_)) : "cannot open " + path);
        sqlite3_close(db_);
        db_ = nullptr;
        return false;
    }
    // Purchases wait for the other connections' writes rather than fail.
    sqlite3_busy_timeout(db_, 5000);
    Stmt probe(db_, "SELECT 1 FROM account_purchases, account_wallets, catalogue_items LIMIT 1;");
    if (!probe) {
        error = "purchases: the database has no purchase, wallet or catalogue tables";
        sqlite3_close(db_);
        db_ = nullptr;
        return false;
    }
    return true;
}

void CPurchaseStore::Close() {
    std::lock_guard<std::mutex> g(lock_);
    if (db_) sqlite3_close_v2(db_);
    db_ = nullptr;
}

void CPurchaseStore::SetFaultAfterDebit(std::function<bool()> fault) {
    std::lock_guard<std::mutex> g(lock_);
    faultAfterDebit_ = std::move(fault);
}

std::optional<PurchaseOutcome> CPurchaseStore::ReplayLocked(std::uint32_t user,
                                                            const std::string& requestId,
                                                            const std::string& content) {
    Stmt st(db_, "SELECT content, answer FROM account_purchases WHERE user_id = ?1 AND request_id = ?2;");
    st.bind(1, static_cast<std::int64_t>(user)).bind(2, requestId);
    if (!st.row()) return std::nullopt;
    if (st.text(0) != content)
        return PurchaseOutcome::Refused(409, purchase_error::id_reused, "请求编号已用于另一笔交易");
    PurchaseOutcome o;
    o.result = PurchaseOutcome::Result::replayed;
    o.status = 200;
    o.answer = st.text(1);
    return o;
}

std::optional<PurchaseOutcome> CPurchaseStore::Replay(std::uint32_t user,
                                                      const std::string& requestId,
                                                      const std::string& content) {
    std::lock_guard<std::mutex> g(lock_);
    if (!db_) return PurchaseOutcome::Refused(500, 1006, "服务器内部错误");
    return ReplayLocked(user, requestId, content);
}

bool CPurchaseStore::Keep(std::uint32_t user, const std::string& requestId,
                          const std::string& content, const std::string& answer, std::int64_t now) {
    Stmt st(db_, "INSERT INTO account_purchases (user_id, request_id, content, answer, at) "
                 "VALUES (?1, ?2, ?3, ?4, ?5);");
    return st.bind(1, static_cast<std::int64_t>(user)).bind(2, requestId).bind(3, content)
        .bind(4, answer).bind(5, now).run();
}

PurchaseOutcome CPurchaseStore::Transaction(std::uint32_t user, const std::string& requestId,
                                            const std::string& content,
                                            const std::function<PurchaseOutcome()>& body) {
    std::lock_guard<std::mutex> g(lock_);
    std::string why;
    if (!db_ || !Exec("BEGIN IMMEDIATE;", why)) {
        log_err("purchase: cannot begin for user %u: %s", user, why.c_str());
        return PurchaseOutcome::Refused(500, 1006, "服务器内部错误");
    }
    PurchaseOutcome o;
    // Asked again inside: a request with the same id may have committed
    // since the caller's look.
    if (!requestId.empty()) {
        if (auto seen = ReplayLocked(user, requestId, content)) o = std::move(*seen);
        else o = body();
    } else {
        o = body();
    }
    if (o.result == PurchaseOutcome::Result::done && Exec("COMMIT;", why)) return o;
    if (o.result == PurchaseOutcome::Result::done) {
        log_err("purchase: commit failed for user %u: %s", user, why.c_str());
        o = PurchaseOutcome::Refused(500, 1006, "服务器内部错误");
    }
    std::string ignore;
    Exec("ROLLBACK;", ignore);
    return o;
}

std::string CPurchaseStore::NicknameLocked(std::uint32_t user) {
    Stmt st(db_, "SELECT nickname FROM users WHERE id = ?1;");
    st.bind(1, static_cast<std::int64_t>(user));
    return st.row() ? st.text(0) : std::string();
}

PurchaseOutcome CPurchaseStore::Buy(const PurchaseRequest& r) {
    return Transaction(r.user, r.requestId, r.Content(), [&]() -> PurchaseOutcome {
        const auto item = LoadItem(db_, r.item);
        // Groups are shelves, not goods; another catalogue's item is not this kind.
        if (!item || item->type != ItemTypeOf(r.kind) || item->node == "1")
            return PurchaseOutcome::Refused(404, purchase_error::no_item, "商品不存在");
        if (item->buyRequest > VipLevel(db_, r.user, r.now)) {
            const std::string why = "需要VIP" + std::to_string(item->buyRequest) + "及以上才能购买";
            return PurchaseOutcome::Refused(403, purchase_error::vip_too_low, why);
        }
        // Whole-unit prices (currency "2") are hundredths of the second
        // balance once multiplied by 100, as the client shows them.
        const bool pelto = item->currency == "2";
        std::uint64_t cost = 0;
        if (__builtin_mul_overflow(item->price, pelto ? 100u : 1u, &cost) ||
            __builtin_mul_overflow(cost, static_cast<std::uint64_t>(r.count), &cost) ||
            cost > kInt64Max)
            return PurchaseOutcome::Refused(400, purchase_error::too_costly, "金额超出范围");
        if (cost > 0 && !Debit(db_, r.user, pelto, cost))
            return PurchaseOutcome::Refused(409, purchase_error::not_enough, "余额不足，请先充值");
        if (faultAfterDebit_ && !faultAfterDebit_())
            return PurchaseOutcome::Refused(500, 1006, "服务器内部错误");
        // Coins spent are what grades, levels and billboards count.
        if (cost > 0 && !pelto) {
            Stmt sp(db_, "INSERT INTO account_spending (user_id, amount, at) VALUES (?1, ?2, ?3);");
            if (!sp.bind(1, static_cast<std::int64_t>(r.user)).bind(2, Signed(cost)).bind(3, r.now).run())
                return PurchaseOutcome::Refused(500, 1006, "服务器内部错误");
        }
        const std::uint64_t charm =
            r.kind == kKindGift ? static_cast<std::uint64_t>(item->charmValue) * r.count : 0;
        if (!Deliver(db_, r, *item, cost, charm))
            return PurchaseOutcome::Refused(500, 1006, "服务器内部错误");

        PurchaseOutcome o;
        o.result = PurchaseOutcome::Result::done;
        o.status = 200;
        o.itemName = item->name;
        o.itemType = item->type;
        o.icon = item->icon;
        o.chatPic = item->chatPic;
        o.giverName = NicknameLocked(r.user);
        o.receiverName = r.receiver == r.user ? o.giverName : NicknameLocked(r.receiver);
        o.charm = charm;
        json::value v = json::value::object();
        v.set("code", std::int64_t{0});
        v.set("request", r.requestId);
        v.set("kind", static_cast<std::int64_t>(r.kind));
        v.set("item", static_cast<std::int64_t>(r.item));
        v.set("count", static_cast<std::int64_t>(r.count));
        v.set("name", item->name);
        v.set("cost", Signed(cost));
        v.set("currency", pelto ? "pelto" : "coins");
        v.set("receiver", static_cast<std::int64_t>(r.receiver));
        v.set("receiverNickname", o.receiverName);
        o.answer = Balance(db_, r.user, v).dump();
        if (!Keep(r.user, r.requestId, r.Content(), o.answer, r.now))
            return PurchaseOutcome::Refused(500, 1006, "服务器内部错误");
        return o;
    });
}

PurchaseOutcome CPurchaseStore::GiveFlower(std::uint32_t user, const std::string& requestId,
                                           std::uint32_t room, std::uint32_t anchor,
                                           std::int64_t now) {
    const std::string content =
        "flower room=" + std::to_string(room) + " anchor=" + std::to_string(anchor);
    return Transaction(user, requestId, content, [&]() -> PurchaseOutcome {
        const auto giver = static_cast<std::int64_t>(user), to = static_cast<std::int64_t>(anchor);
        {
            Stmt last(db_, "SELECT last_at FROM account_flower_givers WHERE giver_id = ?1 AND anchor_id = ?2;");
            last.bind(1, giver).bind(2, to);
            if (last.row() && now - last.i64(0) < kFlowerSeconds && now >= last.i64(0))
                return PurchaseOutcome::Refused(429, purchase_error::too_soon, "每分钟只能送一朵花");
        }
        Stmt mark(db_, "INSERT INTO account_flower_givers (giver_id, anchor_id, last_at) VALUES (?1, ?2, ?3) "
                       "ON CONFLICT(giver_id, anchor_id) DO UPDATE SET last_at = excluded.last_at;");
        Stmt add(db_, "INSERT INTO account_flowers (anchor_id, count) VALUES (?1, 1) "
                      "ON CONFLICT(anchor_id) DO UPDATE SET count = count + 1;");
        if (!mark.bind(1, giver).bind(2, to).bind(3, now).run() || !add.bind(1, to).run())
            return PurchaseOutcome::Refused(500, 1006, "服务器内部错误");
        Stmt count(db_, "SELECT count FROM account_flowers WHERE anchor_id = ?1;");
        count.bind(1, to);
        PurchaseOutcome o;
        o.result = PurchaseOutcome::Result::done;
        o.status = 200;
        o.giverName = NicknameLocked(user);
        o.receiverName = NicknameLocked(anchor);
        json::value v = json::value::object();
        v.set("code", std::int64_t{0});
        v.set("request", requestId);
        v.set("anchor", to);
        v.set("count", count.row() ? count.i64(0) : 0);
        o.answer = v.dump();
        if (!Keep(user, requestId, content, o.answer, now))
            return PurchaseOutcome::Refused(500, 1006, "服务器内部错误");
        return o;
    });
}

PurchaseOutcome CPurchaseStore::Recharge(std::uint32_t user, const std::string& requestId,
                                         std::uint64_t coins, std::int64_t now) {
    const std::string content = "recharge coins=" + std::to_string(coins);
    return Transaction(user, requestId, content, [&]() -> PurchaseOutcome {
        Stmt st(db_, "INSERT INTO account_wallets (user_id, coins, pelto) VALUES (?1, ?2, 0) "
                     "ON CONFLICT(user_id) DO UPDATE SET coins = coins + excluded.coins "
                     "WHERE coins <= 9223372036854775807 - excluded.coins;");
        if (!st.bind(1, static_cast<std::int64_t>(user)).bind(2, Signed(coins)).run() ||
            sqlite3_changes(db_) != 1)
            return PurchaseOutcome::Refused(409, purchase_error::too_costly, "金额超出范围");
        PurchaseOutcome o;
        o.result = PurchaseOutcome::Result::done;
        o.status = 200;
        json::value v = json::value::object();
        v.set("code", std::int64_t{0});
        v.set("request", requestId);
        v.set("credited", Signed(coins));
        o.answer = Balance(db_, user, v).dump();
        if (!Keep(user, requestId, content, o.answer, now))
            return PurchaseOutcome::Refused(500, 1006, "服务器内部错误");
        return o;
    });
}

PurchaseOutcome CPurchaseStore::ActivateCar(std::uint32_t user, std::uint32_t car, std::int64_t now) {
    return Transaction(user, std::string(), std::string(), [&]() -> PurchaseOutcome {
        const auto me = static_cast<std::int64_t>(user);
        Stmt own(db_, "SELECT name FROM account_cars WHERE user_id = ?1 AND car_id = ?2 "
                      "AND (expiry = 0 OR expiry > ?3);");
        own.bind(1, me).bind(2, static_cast<std::int64_t>(car)).bind(3, now);
        if (!own.row()) return PurchaseOutcome::Refused(404, purchase_error::no_car, "座驾不存在或已过期");
        PurchaseOutcome o;
        o.itemName = own.text(0);
        // One car shows at a time: every other one is put away.
        Stmt set(db_, "UPDATE account_cars SET active = (car_id = ?2) WHERE user_id = ?1;");
        if (!set.bind(1, me).bind(2, static_cast<std::int64_t>(car)).run())
            return PurchaseOutcome::Refused(500, 1006, "服务器内部错误");
        o.result = PurchaseOutcome::Result::done;
        o.status = 200;
        json::value v = json::value::object();
        v.set("code", std::int64_t{0});
        v.set("car", static_cast<std::int64_t>(car));
        v.set("name", o.itemName);
        o.answer = v.dump();
        return o;
    });
}

std::optional<ActiveCar> CPurchaseStore::ActiveCarOf(std::uint32_t user, std::int64_t now) {
    std::lock_guard<std::mutex> g(lock_);
    if (!db_) return std::nullopt;
    Stmt st(db_, "SELECT c.car_id, c.name, i.icon, f.ext FROM account_cars c "
                 "LEFT JOIN catalogue_items i ON i.id = c.car_id "
                 "LEFT JOIN catalogue_files f ON f.digest = i.icon "
                 "WHERE c.user_id = ?1 AND c.active = 1 AND (c.expiry = 0 OR c.expiry > ?2) "
                 "ORDER BY c.car_id LIMIT 1;");
    st.bind(1, static_cast<std::int64_t>(user)).bind(2, now);
    if (!st.row()) return std::nullopt;
    ActiveCar c;
    c.carId = static_cast<std::uint32_t>(st.i64(0));
    c.name = st.text(1);
    if (!st.is_null(2)) c.icon = {st.text(2), st.text(3)};
    return c;
}

FlowerGiver CPurchaseStore::GiverOf(std::uint32_t user) {
    std::lock_guard<std::mutex> g(lock_);
    FlowerGiver f;
    if (!db_) return f;
    const auto id = static_cast<std::int64_t>(user);
    Stmt u(db_, "SELECT nickname, sex FROM users WHERE id = ?1;");
    if (u.bind(1, id).row()) {
        f.nickname = u.text(0);
        f.sex = static_cast<std::uint8_t>(u.i64(1) & 0xFF);
    }
    Stmt p(db_, "SELECT head_url FROM account_profiles WHERE user_id = ?1;");
    if (p.bind(1, id).row()) f.headUrl = p.text(0);
    Stmt s(db_, "SELECT COALESCE(SUM(amount), 0) FROM account_spending WHERE user_id = ?1;");
    if (s.bind(1, id).row()) f.spent = NonNegative(s.i64(0));
    return f;
}

std::string CPurchaseStore::NicknameOf(std::uint32_t user) {
    std::lock_guard<std::mutex> g(lock_);
    return db_ ? NicknameLocked(user) : std::string();
}

std::uint64_t CPurchaseStore::CharmOf(std::uint32_t user) {
    std::lock_guard<std::mutex> g(lock_);
    if (!db_) return 0;
    Stmt st(db_, "SELECT charm FROM account_charm WHERE user_id = ?1;");
    st.bind(1, static_cast<std::int64_t>(user));
    return st.row() ? NonNegative(st.i64(0)) : 0;
}

}  // namespace server
