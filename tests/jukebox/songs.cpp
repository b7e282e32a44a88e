#include "tests/jukebox/songs.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace jukeboxtest {

bool MakeTone(const std::string& path, double seconds, int hz, std::string& error) {
    if (std::system("ffmpeg -version >/dev/null 2>&1") != 0) {
        error = "the ffmpeg command is not installed (scripts/setup installs it)";
        return false;
    }
    char command[1024];
    std::snprintf(command, sizeof command,
                  "ffmpeg -nostdin -loglevel error -y -f lavfi -i sine=frequency=%d:duration=%.3f '%s'",
                  hz, seconds, path.c_str());
    if (std::system(command) != 0 || !std::filesystem::exists(path)) {
        error = std::string("ffmpeg failed: ") + command;
        return false;
    }
    return true;
}

bool WriteText(const std::string& path, const std::string& content) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(content.data(), 1, content.size(), f) == content.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace jukeboxtest
