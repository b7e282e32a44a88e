#pragma once
// The item catalogues (gifts, cars, VIP grades, packs) and the files their
// items show, in the server's database (tables catalogue_items and
// catalogue_files, created by the numbered migrations). Files are kept by
// the SHA-256 of their bytes, so a name always means the same content and
// a client can check what it downloaded.
//
// Its own connection, like the account store's: a catalogue download never
// waits behind the relay's writes. Calls are serialised by a lock.

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

namespace server {

// The catalogues as the client asks for them (itemType).
namespace item_type {
inline constexpr const char* kGift = "1";
inline constexpr const char* kCar = "4";
inline constexpr const char* kPack = "6";
inline constexpr const char* kVip = "7";
}  // namespace item_type

bool IsItemType(std::string_view type);

struct CatalogueFileRef {
    std::string digest;  // 64 lower-case hex digits; empty = none
    std::string ext;     // "png", "gif", "wav" …

    bool empty() const { return digest.empty(); }
    std::string FileName() const { return digest + "." + ext; }
};

struct CatalogueItem {
    std::uint32_t id = 0;      // never 0; unique over all catalogues
    std::string itemType;      // item_type::…
    std::uint32_t parent = 0;  // 0 top level, else a group of the same catalogue
    std::int64_t order = 0;    // among its siblings, then by id
    bool group = false;        // node "1": its members follow as sonGiftInfoList
    std::string name;
    std::int64_t price = 0;         // hundredths, or whole units with currency "2"
    std::int64_t initialPrice = 0;  // 0 = not on offer
    std::string currencyType = "1";
    std::string currencyName;
    std::uint32_t buyRequest = 0;  // the lowest VIP level that may buy it
    std::string ext;               // VIP grades: the level
    std::string extOne;
    std::string type;
    std::string checkCode;
    std::string loadType;
    std::int64_t versionId = 1;
    std::string describe;
    std::string chatMsg;
    std::string cartoonType;
    std::string noticeType;
    std::uint32_t useTimes = 0;
    std::uint32_t validTime = 0;
    std::uint32_t charmValue = 0;
    std::string harmSwitch;
    CatalogueFileRef icon, chatPic, cartoon, voice;
};

struct CatalogueFile {
    std::string ext;
    std::string bytes;
};

class CCatalogueStore {
public:
    CCatalogueStore() = default;
    ~CCatalogueStore();
    CCatalogueStore(const CCatalogueStore&) = delete;
    CCatalogueStore& operator=(const CCatalogueStore&) = delete;

    // The database must have been brought up to date by CServerDb::Open.
    bool Open(const std::string& path, std::string& error);
    void Close();

    // Committed when fn returns true, rolled back otherwise.
    bool InTransaction(const std::function<bool()>& fn);

    // Stores the bytes under their digest (kept when stored already).
    // Empty with a reason for no bytes or an extension the table refuses.
    CatalogueFileRef PutFile(std::string_view bytes, const std::string& ext, std::string& error);
    // replace = false leaves an existing row of that id as it is.
    bool PutItem(const CatalogueItem& item, bool replace, std::string& error);

    // One catalogue, siblings in their order; file references carry their extension.
    std::vector<CatalogueItem> Items(std::string_view itemType);
    std::optional<CatalogueFile> File(std::string_view digest);
    std::int64_t ItemCount();

private:
    bool Exec(const char* sql, std::string& error);

    std::recursive_mutex lock_;
    sqlite3* db_ = nullptr;
};

// SHA-256 as 64 lower-case hex digits.
std::string ContentDigest(std::string_view bytes);

}  // namespace server
