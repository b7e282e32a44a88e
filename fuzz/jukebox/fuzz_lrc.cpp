// Parses arbitrary bytes as a lyric file and checks what comes out: lines
// sorted by time, times not negative, every text valid UTF-8 without line
// breaks; then moves a lyric cursor over positions taken from the input and
// checks that it only ever names lines that exist.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/jukebox/lrc_parser.h"
#include "platform/jukebox/lyric_cursor.h"

namespace {

bool Utf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const std::size_t n = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
        if (n == 0 || i + n > s.size()) return false;
        for (std::size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += n;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const auto lines = jukebox::ParseLrc(input);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].timeMs < 0 || (i > 0 && lines[i].timeMs < lines[i - 1].timeMs)) std::abort();
        if (!Utf8(lines[i].text) || lines[i].text.find('\n') != std::string::npos) std::abort();
    }
    jukebox::CLyricCursor cursor;
    cursor.Reset(lines);
    for (std::size_t i = 0; i + 2 <= size && i < 64; i += 2) {
        const int position = (data[i] << 8 | data[i + 1]) * 10;
        for (int index : cursor.Update(position))
            if (index < jukebox::CLyricCursor::kClear || index >= static_cast<int>(lines.size())) std::abort();
    }
    return 0;
}
