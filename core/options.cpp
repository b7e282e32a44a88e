#include "core/options.h"

#include <cerrno>
#include <cstdlib>

const char* ClientUsage() {
    return "usage: zeri [--server HOST] [--user NAME --password PW] [--room ID]\n"
           "            [--headless] [--data-dir DIR]\n"
           "  --server HOST    host of every service (default 127.0.0.1)\n"
           "  --user NAME      sign in as NAME without the sign-in window\n"
           "  --password PW    password for --user\n"
           "  --room ID        enter room ID at start\n"
           "  --headless       no windows: chat and notices on standard output,\n"
           "                   lines typed on standard input are sent as chat\n"
           "  --data-dir DIR   data folder (also ZERI_DATA_DIR)\n"
           "  --audio-in WAV   play this WAV file as the microphone\n"
           "  --audio-out DIR  write what is heard into WAV files in DIR\n"
           "  --anchor         ask for the anchor microphone once in the room\n"
           "  --video-source S broadcast S while holding the anchor microphone:\n"
           "                   pattern, screen or file:PATH\n"
           "  --record         record the room to an MP4 in the user's record folder\n";
}

bool ParseClientOptions(const std::vector<std::string>& args, ClientOptions& out,
                        std::string& error) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= args.size()) {
                error = a + " needs a value";
                return false;
            }
            into = args[++i];
            return true;
        };
        if (a == "--server") {
            if (!value(out.server)) return false;
            out.serverGiven = true;
        } else if (a == "--user") {
            if (!value(out.user)) return false;
        } else if (a == "--password") {
            if (!value(out.password)) return false;
        } else if (a == "--data-dir") {
            if (!value(out.dataDir)) return false;
        } else if (a == "--room") {
            std::string v;
            if (!value(v)) return false;
            errno = 0;
            char* end = nullptr;
            const unsigned long id = std::strtoul(v.c_str(), &end, 10);
            if (v.empty() || *end != '\0' || errno != 0 || id == 0 || id > 0xFFFFFFFFul ||
                v[0] == '-') {
                error = "--room needs a positive room id, not '" + v + "'";
                return false;
            }
            out.room = static_cast<unsigned>(id);
        } else if (a == "--audio-in") {
            if (!value(out.audioIn)) return false;
        } else if (a == "--audio-out") {
            if (!value(out.audioOut)) return false;
        } else if (a == "--anchor") {
            out.anchor = true;
        } else if (a == "--record") {
            out.record = true;
        } else if (a == "--video-source") {
            if (!value(out.videoSource)) return false;
            const std::string& s = out.videoSource;
            if (s != "pattern" && s != "screen" && (s.rfind("file:", 0) != 0 || s.size() == 5)) {
                error = "--video-source needs pattern, screen or file:PATH, not '" + s + "'";
                return false;
            }
        } else if (a == "--headless") {
            out.headless = true;
        } else if (a == "--help" || a == "-h") {
            out.help = true;
        } else {
            error = "unknown option '" + a + "'";
            return false;
        }
    }
    return true;
}
