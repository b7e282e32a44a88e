#pragma once
// The payloads of pushed data (Control_Push_Data_Notify): "TYPE|PAYLOAD",
// the payload plain text, a picture URL or a JSON object by type.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace push_type {
inline constexpr int system_text = 0;
inline constexpr int picture = 1;
inline constexpr int gift = 2;
inline constexpr int gift_charm = 3;
inline constexpr int wish_gift = 4;
inline constexpr int car = 5;
inline constexpr int flower = 6;
inline constexpr int prop = 8;
}  // namespace push_type

struct PushData {
    int type = 0;
    std::string payload;
};

// The type before the first "|" and the rest. Nothing without a "|" or
// when the type is not a decimal number.
std::optional<PushData> SplitPushData(std::string_view raw);

struct GiftPush {
    std::uint32_t giverId = 0;
    std::uint32_t receiverId = 0;
    std::string giverName;
    std::string receiverName;
    std::string goodsName;
    std::string iconUrl;  // "iconUrl", or "chatPicUrl" for gifts that have no icon URL
    std::int64_t count = 0;
    std::int64_t recharge = 0;
    std::int64_t appId = 0;
};
struct CarPush {
    std::string carName;
    std::string iconUrl;
    std::string nickname;
    std::uint32_t userId = 0;
};
struct PropPush {
    std::uint32_t userId = 0;
    std::uint32_t targetId = 0;
    std::string nickname;
    std::string targetName;
    std::string propName;
    std::string extMsg;
    std::string iconUrl;
    std::string innerType;  // "1" scrolling video text, "2" a prop line
};

// Missing keys read as empty text or 0; numbers written as text and texts
// written as numbers are both accepted. Nothing when the payload is not a
// JSON object.
std::optional<GiftPush> ParseGiftPush(std::string_view json);
std::optional<CarPush> ParseCarPush(std::string_view json);
std::optional<PropPush> ParsePropPush(std::string_view json);
// A flower push counts only when its object holds an "ext" object.
bool FlowerPushCounts(std::string_view json);

// The last path part of a URL, without query or fragment, made safe as a
// file name; empty when nothing usable is left. Same rule as
// paths::UrlFileName, which the web downloads use.
std::string UrlFileName(std::string_view url);
