#include "server/capped_folder.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "core/files.h"
#include "core/log.h"
#include "core/paths.h"
#include "server/password.h"

namespace server {

namespace {
constexpr std::size_t kIdLength = 32;
}  // namespace

CCappedFolder::CCappedFolder(std::string folder, std::uint64_t limitBytes, const char* what)
    : folder_(paths::WithSlash(std::move(folder))), limit_(limitBytes), what_(what) {}

bool CCappedFolder::Open(std::string& error) {
    std::error_code ec;
    std::filesystem::create_directories(folder_, ec);
    std::uint64_t used = 0;
    if (!ec)
        for (const auto& e : std::filesystem::directory_iterator(folder_, ec)) {
            std::error_code fe;
            // Left-over temporaries of an interrupted write count too: they
            // use the disk until someone removes them.
            if (e.is_regular_file(fe)) used += e.file_size(fe);
        }
    if (ec) {
        error = std::string(what_) + " folder " + folder_ + ": " + ec.message();
        return false;
    }
    std::lock_guard<std::mutex> g(lock_);
    used_ = used;
    return true;
}

bool CCappedFolder::IsId(std::string_view id) {
    if (id.size() != kIdLength) return false;
    for (char c : id)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

CCappedFolder::Write CCappedFolder::WriteNew(std::string_view bytes, std::string& id) {
    {
        // Reserved before writing so parallel uploads cannot pass the cap
        // together.
        std::lock_guard<std::mutex> g(lock_);
        if (used_ + bytes.size() > limit_) return Write::full;
        used_ += bytes.size();
    }
    const std::string token = NewToken();
    if (token.size() >= kIdLength) {
        id = token.substr(0, kIdLength);
        if (files::WriteFileAtomic(PathOf(id), bytes)) return Write::ok;
        log_err("%s folder: cannot write %s", what_, PathOf(id).c_str());
        id.clear();
    }
    std::lock_guard<std::mutex> g(lock_);
    used_ -= bytes.size();
    return Write::io_error;
}

bool CCappedFolder::Has(std::string_view id) const {
    std::error_code ec;
    return IsId(id) && std::filesystem::is_regular_file(PathOf(id), ec);
}

bool CCappedFolder::Remove(std::string_view id) {
    if (!IsId(id)) return false;
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(PathOf(id), ec);
    if (ec || !std::filesystem::remove(PathOf(id), ec) || ec) return false;
    std::lock_guard<std::mutex> g(lock_);
    used_ -= std::min<std::uint64_t>(used_, size);
    return true;
}

std::uint64_t CCappedFolder::usedBytes() {
    std::lock_guard<std::mutex> g(lock_);
    return used_;
}

}  // namespace server
