#include "web/http_public.h"

#include <sys/stat.h>

#include "core/paths.h"
#include "web/http_down.h"

namespace web {
namespace {

bool UsableName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." && paths::SafeComponent(name) == name;
}

}  // namespace

int CHttpPublic::Download(const std::string& url, const std::string& path, down_sink* sink,
                          DownloadCancel* cancel) {
    return http_down::Fetch(url, path, sink, cancel);
}

std::string CHttpPublic::UrlFileName(std::string_view url) { return paths::UrlFileName(url); }

bool CHttpPublic::FileInFolder(const std::string& folder, std::string_view name) {
    if (!UsableName(name)) return false;
    const std::string path = paths::WithSlash(folder) + std::string(name);
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string CHttpPublic::FileForUrl(const std::string& folder, std::string_view url) {
    const std::string name = UrlFileName(url);
    if (!UsableName(name)) return {};
    return paths::WithSlash(folder) + name;
}

}  // namespace web
