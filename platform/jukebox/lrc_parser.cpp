#include "platform/jukebox/lrc_parser.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>

namespace jukebox {

namespace {

// Minutes beyond this are not a song's time (and would overflow the ms int).
constexpr int kMaxMinutes = 9999;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool ValidUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t extra = 0;
        unsigned min = 0, cp = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1, min = 0x80, cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2, min = 0x800, cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3, min = 0x10000, cp = c & 0x07;
        } else {
            return false;
        }
        if (i + extra >= s.size()) return false;  // cut short
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto d = static_cast<unsigned char>(s[i + k]);
            if ((d & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (d & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += extra + 1;
    }
    return true;
}

// "mm:ss", "mm:ss.f", "mm:ss.ff", "mm:ss.fff" (also ':' before the
// fraction) → milliseconds; nothing for anything else.
std::optional<int> ParseTime(std::string_view tag) {
    std::size_t i = 0;
    int minutes = 0, digits = 0;
    while (i < tag.size() && IsDigit(tag[i])) {
        if (++digits > 4) return std::nullopt;
        minutes = minutes * 10 + (tag[i++] - '0');
    }
    if (digits == 0 || minutes > kMaxMinutes || i >= tag.size() || tag[i] != ':') return std::nullopt;
    ++i;
    if (i + 2 > tag.size() || !IsDigit(tag[i]) || !IsDigit(tag[i + 1])) return std::nullopt;
    const int seconds = (tag[i] - '0') * 10 + (tag[i + 1] - '0');
    if (seconds > 59) return std::nullopt;
    i += 2;
    int ms = 0;
    if (i < tag.size()) {
        if (tag[i] != '.' && tag[i] != ':') return std::nullopt;
        ++i;
        const std::size_t n = tag.size() - i;
        if (n < 1 || n > 3) return std::nullopt;
        for (; i < tag.size(); ++i) {
            if (!IsDigit(tag[i])) return std::nullopt;
            ms = ms * 10 + (tag[i] - '0');
        }
        ms *= n == 1 ? 100 : n == 2 ? 10 : 1;  // tenths, hundredths, thousandths
    }
    return (minutes * 60 + seconds) * 1000 + ms;
}

std::string_view TrimSpaces(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

// The line's time tags and text appended to `out`; a line whose tags are
// not all times (or that has none) adds nothing.
void ParseLine(std::string_view line, std::vector<LrcLine>& out) {
    line = TrimSpaces(line);
    std::vector<int> times;
    while (!line.empty() && line.front() == '[') {
        const std::size_t close = line.find(']');
        if (close == std::string_view::npos) return;
        const auto time = ParseTime(line.substr(1, close - 1));
        if (!time || times.size() == kMaxLrcTags) return;  // "[ti:…]", broken tags, too many
        times.push_back(*time);
        line.remove_prefix(close + 1);
    }
    if (times.empty()) return;
    const std::string_view text = TrimSpaces(line);
    if (text.size() > kMaxLrcTextBytes || !ValidUtf8(text)) return;
    for (int t : times) {
        if (out.size() == kMaxLrcLines) return;
        out.push_back({t, std::string(text)});
    }
}

}  // namespace

std::vector<LrcLine> ParseLrc(std::string_view content) {
    if (content.substr(0, 3) == "\xEF\xBB\xBF") content.remove_prefix(3);
    std::vector<LrcLine> lines;
    while (!content.empty() && lines.size() < kMaxLrcLines) {
        const std::size_t end = content.find('\n');
        ParseLine(content.substr(0, end), lines);
        if (end == std::string_view::npos) break;
        content.remove_prefix(end + 1);
    }
    std::stable_sort(lines.begin(), lines.end(),
                     [](const LrcLine& a, const LrcLine& b) { return a.timeMs < b.timeMs; });
    return lines;
}

std::string LrcPathFor(const std::string& songPath) {
    std::filesystem::path p(songPath);
    p.replace_extension(".lrc");
    return p.string();
}

std::vector<LrcLine> LoadLrc(const std::string& path) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec || size > kMaxLrcBytes) return {};
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return {};
    std::string content(static_cast<std::size_t>(size), '\0');
    const std::size_t got = std::fread(content.data(), 1, content.size(), f);
    std::fclose(f);
    content.resize(got);
    return ParseLrc(content);
}

int LrcLineAt(const std::vector<LrcLine>& lines, int positionMs) {
    const auto after = std::upper_bound(lines.begin(), lines.end(), positionMs,
                                        [](int pos, const LrcLine& l) { return pos < l.timeMs; });
    return static_cast<int>(after - lines.begin()) - 1;
}

}  // namespace jukebox
