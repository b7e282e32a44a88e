#pragma once
// Whole-file reads and atomic replacement: every file the program writes goes
// through WriteFileAtomic, so a crash leaves the old file or the new one.

#include <cstddef>
#include <string>
#include <string_view>

namespace files {

// Writes `data` to a temporary file beside `path`, flushes it to disk and
// renames it over `path`. On any failure the old file is untouched, the
// temporary is removed and false is returned.
// `mode`: 0644 for ordinary files, 0600 for secrets.
bool WriteFileAtomic(const std::string& path, std::string_view data, unsigned mode = 0644);

// Reads the whole file; false when it cannot be opened or read.
bool ReadFile(const std::string& path, std::string& out);

}  // namespace files
