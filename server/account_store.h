#pragma once
// What the account service keeps beside the users table: wallets, recorded
// spending (for wealth grades and billboards), cars, VIP memberships, pack
// entries, flower counts and a few profile fields. Its tables live in the
// server's database file (all names start with "account_"); it has its own
// connection so the relay's connection is never held up by a billboard query.

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;

namespace server {

// Gag card and cancel-gag card: the props the room recognises by id.
inline constexpr std::uint32_t kPropGagCard = 100;
inline constexpr std::uint32_t kPropCancelGagCard = 10;

struct WealthGrade {
    std::uint32_t grade = 1;
    std::uint64_t from = 0;  // lifetime spending (coins) that reaches it
    const char* text = "";
    const char* colour = "";  // "#RRGGBB"
};

// Ascending by `from`; the first starts at 0.
const std::vector<WealthGrade>& WealthGrades();
const WealthGrade& GradeForSpending(std::uint64_t spent);

struct UserLevel {
    std::uint32_t level = 1;
    std::uint64_t experience = 0;
    std::uint64_t next = 0;  // experience of the next level; 0 at the top
};
UserLevel LevelForExperience(std::uint64_t experience);

struct Wallet {
    std::uint64_t coins = 0;
    std::uint64_t pelto = 0;  // the second balance, in hundredths
};

struct CarEntry {
    std::uint32_t carId = 0;
    std::string name;
    std::int64_t expiry = 0;  // seconds since 1970, 0 = permanent
    bool active = false;
};

struct VipEntry {
    std::uint32_t vipId = 0;
    std::uint32_t level = 0;
    std::string name;
    std::int64_t expiry = 0;
};

struct PackEntry {
    std::uint32_t entryId = 0;  // this entry; props are used by it
    std::uint32_t propId = 0;   // what the prop is (100 gag card, 10 cancel-gag card…)
    std::string name;
    std::uint32_t count = 0;
    std::uint32_t value = 0;
};

struct BillboardRow {
    std::uint32_t userId = 0;
    std::uint64_t amount = 0;  // coins spent in the period
};

struct Profile {
    std::string headUrl;
    std::uint64_t experience = 0;
    std::uint32_t lastRoom = 0;
};

class CAccountStore {
public:
    CAccountStore() = default;
    ~CAccountStore();
    CAccountStore(const CAccountStore&) = delete;
    CAccountStore& operator=(const CAccountStore&) = delete;

    // Opens the database file (created when missing) and adds the tables
    // that are missing. False with a reason.
    bool Open(const std::string& path, std::string& error);
    void Close();

    Wallet GetWallet(std::uint32_t user);
    bool SetWallet(std::uint32_t user, const Wallet& w);

    // Spending feeds the wealth grade and the billboards.
    bool RecordSpending(std::uint32_t user, std::uint64_t coins, std::int64_t at);
    std::uint64_t TotalSpent(std::uint32_t user);
    // Spenders since `since` (0 = all time), most first; ties by user id.
    std::vector<BillboardRow> Billboard(std::int64_t since, std::uint32_t start,
                                        std::uint32_t count);

    bool AddCar(std::uint32_t user, const CarEntry& car);
    std::vector<CarEntry> Cars(std::uint32_t user, std::int64_t now);
    bool AddVip(std::uint32_t user, const VipEntry& vip);
    std::vector<VipEntry> Vips(std::uint32_t user, std::int64_t now);
    // Adds `count` to the user's entry of that prop, creating it.
    bool AddProp(std::uint32_t user, std::uint32_t propId, const std::string& name,
                 std::uint32_t count, std::uint32_t value);
    std::vector<PackEntry> Pack(std::uint32_t user);

    std::uint64_t Flowers(std::uint32_t anchor);
    bool AddFlowers(std::uint32_t anchor, std::uint64_t n);

    Profile GetProfile(std::uint32_t user);
    bool SetHeadUrl(std::uint32_t user, const std::string& url);
    bool SetLastRoom(std::uint32_t user, std::uint32_t room);

    // The demo users' starting coins, gag and cancel-gag cards. Only users
    // without a wallet are given anything, so it may run at every start.
    bool SeedDemo(const std::vector<std::uint32_t>& users, std::string& error);

private:
    bool Exec(const char* sql, std::string& error);

    std::mutex lock_;
    sqlite3* db_ = nullptr;
};

}  // namespace server
