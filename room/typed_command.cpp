#include "room/typed_command.h"

#include <charconv>

namespace typed {
namespace {
bool IsBlank(char c) { return c == ' ' || c == '\t'; }
}  // namespace

Line Split(std::string_view line) {
    Line t;
    std::size_t i = 0;
    bool first = true;
    while (true) {
        while (i < line.size() && IsBlank(line[i])) ++i;
        if (i >= line.size()) break;
        std::size_t end = i;
        while (end < line.size() && !IsBlank(line[end])) ++end;
        if (first) {
            t.word = line.substr(i, end - i);
            first = false;
        } else {
            t.args.push_back(line.substr(i, end - i));
            std::string_view rest = line.substr(i);
            while (!rest.empty() && IsBlank(rest.back())) rest.remove_suffix(1);
            t.rests.push_back(rest);
        }
        i = end;
    }
    return t;
}

bool ParseNumber(std::string_view s, std::int64_t low, std::int64_t high, std::int64_t& out) {
    std::int64_t v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size() || v < low || v > high) return false;
    out = v;
    return true;
}

bool ParseUserId(std::string_view s, std::uint32_t& id) {
    std::int64_t v = 0;
    if (!ParseNumber(s, 1, 0xFFFFFFFFll, v)) return false;
    id = static_cast<std::uint32_t>(v);
    return true;
}

}  // namespace typed
