#include "core/paths.h"

#include <sys/stat.h>
#include <unistd.h>
#include <uuid/uuid.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace paths {
namespace {

std::mutex g_overrideLock;
std::string g_override;

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

bool StartsWith(const std::string& s, std::string_view prefix) {
    return s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

std::string WithSlash(std::string dir) {
    if (!dir.empty() && dir.back() != '/') dir.push_back('/');
    return dir;
}

std::string ExeFolder() {
    static const std::string folder = [] {
        char buf[PATH_MAX];
        const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
        if (n <= 0) return std::string("./");
        std::string path(buf, static_cast<std::size_t>(n));
        const auto slash = path.rfind('/');
        return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
    }();
    return folder;
}

std::string ChooseDataFolder(const std::string& exeFolder, const std::string& overrideDir,
                             const std::string& xdgDataHome, const std::string& home) {
    if (!overrideDir.empty()) return WithSlash(overrideDir);
    // /usr and /opt are this platform's Program Files: not writable by the
    // user; a bin/ folder is an installed program's (e.g. ~/.local/bin/),
    // shared with other programs.
    const std::string exe = WithSlash(exeFolder);
    const bool binFolder = exe.size() >= 5 && exe.compare(exe.size() - 5, 5, "/bin/") == 0;
    if (StartsWith(exeFolder, "/usr/") || StartsWith(exeFolder, "/opt/") || binFolder) {
        if (!xdgDataHome.empty() && xdgDataHome[0] == '/') return WithSlash(xdgDataHome) + "zeri/";
        return WithSlash(home.empty() ? std::string("/tmp") : home) + ".local/share/zeri/";
    }
    return WithSlash(exeFolder);
}

void SetDataFolderOverride(const std::string& dir) {
    std::lock_guard<std::mutex> guard(g_overrideLock);
    g_override = dir;
}

std::string DataFolder() {
    std::string over;
    {
        std::lock_guard<std::mutex> guard(g_overrideLock);
        over = g_override;
    }
    if (over.empty()) over = Env("ZERI_DATA_DIR");
    return ChooseDataFolder(ExeFolder(), over, Env("XDG_DATA_HOME"), Env("HOME"));
}

bool DirExists(const std::string& path) {
    if (path.empty()) return false;
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool MakeDirs(const std::string& path) {
    if (path.empty()) return false;
    std::string copy = path;
    for (char& c : copy)
        if (c == '\\') c = '/';
    for (std::size_t i = 1; i < copy.size(); ++i) {
        if (copy[i] != '/' || copy[i - 1] == '/') continue;
        ::mkdir(copy.substr(0, i).c_str(), 0755);  // existing folders fail harmlessly
    }
    // Whether the folders are there now (a file in the way, no permission:
    // false), not whether the last mkdir made them.
    const std::size_t last = copy.rfind('/');
    return last == std::string::npos || DirExists(copy.substr(0, last + 1));
}

std::string NewUniqueName() {
    uuid_t id;
    uuid_generate(id);  // random where the system has a good source, else time-based
    char out[33];
    for (int i = 0; i < 16; ++i) std::snprintf(out + 2 * i, 3, "%02x", id[i]);
    return std::string(out, 32);
}

std::string SafeComponent(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    for (char c : name) out.push_back(c == '/' || c == '\\' || c == '\0' ? '_' : c);
    if (out == "." || out == "..") out.assign(out.size(), '_');
    return out;
}

std::string UrlFileName(std::string_view url) {
    if (const std::size_t cut = url.find_first_of("?#"); cut != std::string_view::npos)
        url = url.substr(0, cut);
    // The host is no file name: only what follows the "/" after it counts.
    if (const std::size_t scheme = url.find("://"); scheme != std::string_view::npos) {
        const std::size_t path = url.find('/', scheme + 3);
        if (path == std::string_view::npos) return {};
        url = url.substr(path);
    }
    const std::size_t slash = url.find_last_of("/\\");
    if (slash != std::string_view::npos) url = url.substr(slash + 1);
    if (url.empty() || url == "." || url == "..") return {};
    return SafeComponent(url);
}

std::string UserFolder(std::uint32_t userId) {
    return DataFolder() + "user/" + std::to_string(userId) + "/";
}

std::string PicturePath(std::string_view user, std::string_view name) {
    const std::string who = user.empty() ? std::string("other") : SafeComponent(user);
    const std::string file =
        (name.empty() ? NewUniqueName() : SafeComponent(name)) + ".jpg";
    const std::string folder = DataFolder() + "user/" + who + "/Image/";
    if (!DirExists(folder)) MakeDirs(folder);
    if (!DirExists(folder)) return std::string();
    return folder + file;
}

}  // namespace paths
