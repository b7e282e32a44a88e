#include "room/purchases/billboards.h"

#include <algorithm>

#include "net/tlv.h"

namespace billboard {

namespace {

enum : unsigned char {
    kTagPeriod = 1,
    kTagEntry = 2,
    kTagUserId = 3,
    kTagNickname = 4,
    kTagGradeText = 5,
    kTagAmount = 6,
    kTagColour = 7,
    kTagHead = 8,
    kTagGrade = 9,
    kTagMedal = 10,
    kTagResult = 200,
    kTagError = 201,
};

std::uint32_t U32(const TLV::body& b, unsigned char tag) {
    return static_cast<std::uint32_t>(b.get_int(tag));
}

}  // namespace

std::string ListOf(const std::string& period) {
    if (period == "DAY") return "ListWealthDay";
    if (period == "WEEK") return "ListWealthWeek";
    if (period == "MONTH") return "ListWealthMonth";
    if (period == "ALL") return "ListWealthAll";
    return {};
}

Answer Parse(const unsigned char* body, std::size_t length) {
    Answer a;
    TLV::body b;
    b.parse(body, length);
    // A body without its result is no success.
    if (!b.has(kTagResult) || b.get_int(kTagResult) != 0) {
        a.error = b.get_string(kTagError);
        return a;
    }
    a.ok = true;
    a.list = ListOf(b.get_string(kTagPeriod));
    if (a.list.empty()) return a;
    const std::size_t entries = std::min(b.count(kTagEntry), kMaxLines);
    for (std::size_t i = 0; i < entries; ++i) {
        TLV::body e;
        // Entries count from index 0 until one is missing.
        if (!b.get_container(kTagEntry, e, i)) break;
        purchase::BillboardLine line;
        line.place = static_cast<std::uint32_t>(i + 1);
        line.userId = U32(e, kTagUserId);
        line.grade = U32(e, kTagGrade);
        line.amount = U32(e, kTagAmount);
        line.nickname = e.get_string(kTagNickname);
        line.gradeText = e.get_string(kTagGradeText);
        line.colour = e.get_string(kTagColour);
        line.head = e.get_string(kTagHead);
        line.icon = e.get_string(kTagMedal);
        a.lines.push_back(std::move(line));
    }
    return a;
}

}  // namespace billboard
