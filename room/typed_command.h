#pragma once
// Lines typed at the headless input ("/gag 10004 刷屏"): the command word,
// its blank-separated words, and the text from each word on kept whole
// (reasons hold blanks). Shared by the room features that take commands.

#include <cstdint>
#include <string_view>
#include <vector>

namespace typed {

struct Line {
    std::string_view word;
    std::vector<std::string_view> args;
    std::vector<std::string_view> rests;  // rests[i]: the text from args[i] on
};

Line Split(std::string_view line);
// A whole decimal number within [low, high]; a sign only as "-".
bool ParseNumber(std::string_view s, std::int64_t low, std::int64_t high, std::int64_t& out);
// A user id: 1 to 4294967295.
bool ParseUserId(std::string_view s, std::uint32_t& id);

}  // namespace typed
