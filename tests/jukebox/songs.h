#pragma once
// Song files for the player's tests, made with the ffmpeg command-line tool.

#include <string>

namespace jukeboxtest {

// Writes a `seconds` long sine tone of `hz` to `path` (format from its
// extension); false with a message saying why (ffmpeg missing included).
bool MakeTone(const std::string& path, double seconds, int hz, std::string& error);

// Writes `content` to `path`.
bool WriteText(const std::string& path, const std::string& content);

}  // namespace jukeboxtest
