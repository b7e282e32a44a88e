#pragma once
// The wealth billboards: which periods the room asks for, and what the
// account's answer body (tag-length-value, tag 2 nested per entry) becomes.
// Pure, so hostile bodies are tested and fuzzed without a room.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "room/purchases/purchase_view.h"

namespace billboard {

// Day, week, month and all time: every tab has its list.
inline constexpr std::uint32_t kPeriods = 4;
inline constexpr std::uint32_t kEntriesAsked = 20;
// A body may hold more entries than were asked for; more than this are
// not shown (each is a line of a small list).
inline constexpr std::size_t kMaxLines = 100;

// The list control of a period name ("DAY" → "ListWealthDay"); empty for
// any other text.
std::string ListOf(const std::string& period);

struct Answer {
    bool ok = false;
    std::string error;  // tag 201 of a failed answer
    std::string list;   // the list control; empty: the period is unknown
    // Lines in body order, places from 1; `icon` is the medal URL (tag 10)
    // until the caller has a local file for it.
    std::vector<purchase::BillboardLine> lines;
};

Answer Parse(const unsigned char* body, std::size_t length);

}  // namespace billboard
