#pragma once
// Timed lyrics (".lrc" files): "[mm:ss.xx]text" lines, several time tags
// allowed per line, sorted by time. Pure: no Qt, no threads, no files.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace jukebox {

struct LrcLine {
    int timeMs = 0;
    std::string text;  // UTF-8; may be empty (a gap in the singing)
};

// Lyric files larger than this are refused before they are read.
inline constexpr std::size_t kMaxLrcBytes = 1 << 20;
// Bounds on what one file yields (a line repeated under many time tags
// would otherwise multiply): lines past kMaxLrcLines are dropped, a line
// with more tags or a longer text skipped.
inline constexpr std::size_t kMaxLrcLines = 10000;
inline constexpr std::size_t kMaxLrcTags = 100;
inline constexpr std::size_t kMaxLrcTextBytes = 1024;

// The timed lines of `content`, sorted by time (lines with the same time keep
// their order in the file). Lines without a valid time tag, "[ti:…]"-style
// tag lines and lines that are not valid UTF-8 are skipped.
std::vector<LrcLine> ParseLrc(std::string_view content);

// "dir/song.mp3" → "dir/song.lrc" (the last extension replaced, or added).
std::string LrcPathFor(const std::string& songPath);

// Reads and parses the lyric file at `path`; empty when it is missing,
// unreadable or over kMaxLrcBytes.
std::vector<LrcLine> LoadLrc(const std::string& path);

// The last line whose time is at or before `positionMs`; -1 before the first.
int LrcLineAt(const std::vector<LrcLine>& lines, int positionMs);

}  // namespace jukebox
