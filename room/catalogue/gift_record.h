#pragma once
// One entry of an item catalogue (gifts, cars, VIP grades, packs) as the
// catalogue service describes it, plus the local files of its pictures and
// sound once the sync has fetched them. Texts are UTF-8, each cut to the
// field's capacity (capacity - 1 bytes) at a character boundary.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace catalogue {

// Capacities of the text fields, terminator included.
namespace cap {
inline constexpr std::size_t name = 50;
inline constexpr std::size_t iconUrl = 256;
inline constexpr std::size_t type = 2;
inline constexpr std::size_t node = 2;
inline constexpr std::size_t checkCode = 100;
inline constexpr std::size_t loadType = 8;
inline constexpr std::size_t describe = 1024;
inline constexpr std::size_t chatMsg = 255;
inline constexpr std::size_t url = 255;  // chat picture, animation, sound
inline constexpr std::size_t cartoonType = 2;
inline constexpr std::size_t currencyType = 2;
inline constexpr std::size_t currencyName = 16;
inline constexpr std::size_t noticeType = 4;
inline constexpr std::size_t harmSwitch = 8;
inline constexpr std::size_t ext = 128;
inline constexpr std::size_t extOne = 24;
}  // namespace cap

struct GiftRecord {
    std::uint32_t id = 0;
    std::uint32_t parentId = 0;  // 0: top level; else the group it came from
    std::int32_t buyRequestCopy = 0;
    // Local files, relative to the data folder ("res/globalgift/x.png");
    // empty when there is no URL or its download failed.
    std::string iconFile, chatPicFile, cartoonFile, soundFile;

    std::string name;
    std::string iconUrl;
    std::int32_t price = 0;
    std::int32_t initialPrice = 0;
    std::string type;
    std::string node;  // "1": a group entry with members
    std::string checkCode;
    std::string loadType;
    std::int64_t versionId = 0;
    std::string describe;
    std::string chatMsg;
    std::string chatPicUrl;
    std::string cartoonType;
    std::string cartoonUrl;
    std::string voiceUrl;
    std::string currencyType;
    std::string currencyName;
    std::int32_t useTimes = 0;
    std::int32_t validTime = 0;
    std::string noticeType;
    std::int32_t charmValue = 0;
    std::string harmValueSwitch;
    std::string ext;
    std::string extOne;
    std::int32_t buyRequest = 0;

    bool IsGroup() const { return node == "1"; }
};

using GiftRecords = std::vector<GiftRecord>;

// The four catalogues: item type, cache folder (relative to the data
// folder) and the message posted to the room window when a sync is done.
struct CatalogueKind {
    const char* itemType;
    const char* folder;
    unsigned doneMessage;
    const char* word;  // how progress lines name it
};

// Done messages of the room window.
enum : unsigned {
    UM_GIFT_CONFIG_DONE = 1743,
    UM_CAR_CONFIG_DONE = 1769,
    UM_VIP_CONFIG_DONE = 1779,
    UM_PACK_CONFIG_DONE = 1780,
    // Ours: a sync's progress (payload CatalogueProgress).
    UM_CATALOGUE_PROGRESS = 2110,
};

inline constexpr CatalogueKind kGifts{"1", "res/globalgift/", UM_GIFT_CONFIG_DONE, "gifts"};
inline constexpr CatalogueKind kCars{"4", "res/globalcar/", UM_CAR_CONFIG_DONE, "cars"};
inline constexpr CatalogueKind kVips{"7", "res/globalvip/", UM_VIP_CONFIG_DONE, "vip"};
inline constexpr CatalogueKind kPacks{"6", "res/globalpack/", UM_PACK_CONFIG_DONE, "props"};
inline constexpr const CatalogueKind* kKinds[] = {&kGifts, &kCars, &kVips, &kPacks};

// The kind of an item type; null for another.
const CatalogueKind* KindOf(const std::string& itemType);

inline constexpr const char* kConfigFileName = "GiftConfig.xml";

}  // namespace catalogue
