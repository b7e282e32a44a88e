#pragma once
// The catalogue service's answer (JSON) turned into item records. Groups
// (node "1") are followed directly by their members, depth first, so the
// list reads like the panel's tree.
//
// Hostile answers are cut down at the edge: entries nested deeper than
// kMaxNesting levels, entries beyond kMaxEntries, id 0, repeated ids and
// prices that are negative or do not fit 32 bits (after the ×100 of
// currency "2") are dropped with their members; control characters leave
// texts; a URL that is not plain "http://" without blanks or controls, or
// that does not fit its field, is emptied. Every drop is noted.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "room/catalogue/gift_record.h"

namespace catalogue {

inline constexpr int kMaxNesting = 4;
inline constexpr std::size_t kMaxEntries = 10000;
// Notes beyond this many are counted, not kept.
inline constexpr std::size_t kMaxNotes = 20;

struct GiftAnswer {
    bool parsed = false;  // a JSON object
    std::int64_t result = 0;
    std::string msg;
    std::uint32_t versionId = 0;
    bool hasList = false;  // giftInfoList was an array
    GiftRecords records;
    std::vector<std::string> notes;  // what was dropped or emptied, and why
    std::size_t moreNotes = 0;
};

GiftAnswer ParseGiftAnswer(std::string_view body);

// The text cut to at most `capacity` - 1 bytes without splitting a UTF-8
// character, malformed sequences repaired, control characters removed.
std::string FitText(std::string_view text, std::size_t capacity);

// True for "http://" URLs without blanks, control characters or DEL.
bool PlainHttpUrl(std::string_view url);

}  // namespace catalogue
