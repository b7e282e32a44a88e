#pragma once
// Purchases as transactions: each one checks, pays, delivers and keeps its
// answer inside one BEGIN IMMEDIATE … COMMIT on a connection of its own, so
// that a failure anywhere leaves every table as it was, and a request id
// that has been answered once is answered again with the same words instead
// of being paid twice.
//
// Reads the catalogue (catalogue_items) and the users table, writes the
// account store's tables (wallets, spending, cars, VIPs, pack, flowers) and
// its own (migration 9: account_purchases, account_gift_ledger,
// account_charm, account_flower_givers). The database must have been
// brought up to date by CServerDb::Open and CAccountStore::Open.

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

struct sqlite3;

namespace server {

// Refusal codes of the purchase routes (docs/account-api.md), beside the
// account service's 1001–1008.
namespace purchase_error {
inline constexpr int bad_request_id = 1040;  // not 32 lower-case hex digits
inline constexpr int id_reused = 1041;       // the id was answered for another purchase
inline constexpr int no_item = 1042;         // unknown, of another kind, or a group
inline constexpr int bad_count = 1043;
inline constexpr int vip_too_low = 1044;
inline constexpr int not_in_room = 1045;     // the buyer is not a member of the room
inline constexpr int no_receiver = 1046;     // none given, or not the room's anchor
inline constexpr int not_to_self = 1047;
inline constexpr int not_enough = 1048;      // the balance does not cover it
inline constexpr int too_costly = 1049;      // the cost does not fit 63 bits
inline constexpr int too_soon = 1050;        // a second flower within the minute
inline constexpr int no_car = 1051;          // not one of my live cars
inline constexpr int recharge_closed = 1052;
inline constexpr int too_many = 1053;        // the per-user rate limit
inline constexpr int too_large = 1009;       // a body over 16 KiB, as the port refuses it
inline constexpr int bad_text = 1055;        // a prop text that cannot be shown
}  // namespace purchase_error

// Purchase kinds, as the room names them.
inline constexpr std::uint32_t kKindGift = 1;
inline constexpr std::uint32_t kKindCar = 4;
inline constexpr std::uint32_t kKindPack = 6;
inline constexpr std::uint32_t kKindVip = 7;
inline constexpr std::uint32_t kMaxGiftCount = 9999;
// Flowers are free, so each giver may give an anchor one a minute.
inline constexpr std::int64_t kFlowerSeconds = 60;

// 128 bits as 32 lower-case hex digits.
bool IsRequestId(std::string_view id);

struct PurchaseRequest {
    std::uint32_t user = 0;
    std::string requestId;
    std::uint32_t kind = 0;
    std::uint32_t item = 0;
    std::uint32_t count = 1;
    std::uint32_t room = 0;      // gifts: where it is given
    std::uint32_t receiver = 0;  // gifts: the room's anchor; otherwise the buyer
    std::int64_t now = 0;
    // What the id stands for: a repeat must say the same.
    std::string Content() const;
};

// A catalogue file as the catalogue service names it.
struct ItemPicture {
    std::string digest;
    std::string ext;
    bool empty() const { return digest.empty(); }
};

// The outcome of one call. `answer` is the JSON text to send (done and
// replayed); a refusal has its HTTP status, code and text instead.
struct PurchaseOutcome {
    enum class Result { done, replayed, refused };
    Result result = Result::refused;
    int status = 500;
    int code = 0;
    std::string error;
    std::string answer;
    // Done only: what the room's push is made of.
    std::string itemName;
    std::string itemType;
    ItemPicture icon, chatPic;
    std::string giverName, receiverName;
    std::uint64_t charm = 0;

    bool ok() const { return result != Result::refused; }
    static PurchaseOutcome Refused(int status, int code, std::string error);
};

struct ActiveCar {
    std::uint32_t carId = 0;
    std::string name;
    ItemPicture icon;
};

// What a flower's push shows of its giver, from the tables.
struct FlowerGiver {
    std::string nickname;
    std::uint8_t sex = 0;
    std::string headUrl;
    std::uint64_t spent = 0;  // lifetime coins: the wealth grade
};

class CPurchaseStore {
public:
    CPurchaseStore() = default;
    ~CPurchaseStore();
    CPurchaseStore(const CPurchaseStore&) = delete;
    CPurchaseStore& operator=(const CPurchaseStore&) = delete;

    bool Open(const std::string& path, std::string& error);
    void Close();

    // The kept answer of an earlier request with that id, or a refusal when
    // the id was used for other content; nothing when the id is new.
    std::optional<PurchaseOutcome> Replay(std::uint32_t user, const std::string& requestId,
                                          const std::string& content);

    // A gift, car, pack item or VIP time. The caller has checked the
    // request's form and the room; this checks the item, the VIP level and
    // the balance, and pays and delivers.
    PurchaseOutcome Buy(const PurchaseRequest& r);
    // A free flower for the anchor, one per giver and anchor a minute.
    PurchaseOutcome GiveFlower(std::uint32_t user, const std::string& requestId,
                               std::uint32_t room, std::uint32_t anchor, std::int64_t now);
    // Demo coins; the caller decides whether recharging is open.
    PurchaseOutcome Recharge(std::uint32_t user, const std::string& requestId, std::uint64_t coins,
                             std::int64_t now);
    // Makes the car the user's one active car.
    PurchaseOutcome ActivateCar(std::uint32_t user, std::uint32_t car, std::int64_t now);

    std::optional<ActiveCar> ActiveCarOf(std::uint32_t user, std::int64_t now);
    FlowerGiver GiverOf(std::uint32_t user);
    std::string NicknameOf(std::uint32_t user);
    std::uint64_t CharmOf(std::uint32_t user);

    // Tests: runs after the money has been taken; false fails the purchase
    // there (everything is rolled back).
    void SetFaultAfterDebit(std::function<bool()> fault);

private:
    bool Exec(const char* sql, std::string& error);
    // Runs `body` in one immediate transaction; committed only when it
    // answers done. A replay found inside ends it without changes.
    PurchaseOutcome Transaction(std::uint32_t user, const std::string& requestId,
                                const std::string& content,
                                const std::function<PurchaseOutcome()>& body);
    std::optional<PurchaseOutcome> ReplayLocked(std::uint32_t user, const std::string& requestId,
                                                const std::string& content);
    bool Keep(std::uint32_t user, const std::string& requestId, const std::string& content,
              const std::string& answer, std::int64_t now);
    std::string NicknameLocked(std::uint32_t user);

    std::mutex lock_;
    sqlite3* db_ = nullptr;
    std::function<bool()> faultAfterDebit_;
};

}  // namespace server
