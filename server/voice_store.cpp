#include "server/voice_store.h"

#include <filesystem>
#include <system_error>

#include "core/files.h"
#include "core/log.h"
#include "core/paths.h"
#include "server/password.h"
#include "server/picture_store.h"

namespace server {

namespace {
constexpr std::size_t kIdLength = 32;
}  // namespace

CVoiceStore::CVoiceStore(std::string folder, std::uint64_t limitBytes)
    : folder_(paths::WithSlash(std::move(folder))), limit_(limitBytes) {}

bool CVoiceStore::Open(std::string& error) {
    std::error_code ec;
    std::filesystem::create_directories(folder_, ec);
    std::uint64_t used = 0;
    if (!ec)
        for (const auto& e : std::filesystem::directory_iterator(folder_, ec)) {
            std::error_code fe;
            // Temporaries of an interrupted write use the disk too.
            if (e.is_regular_file(fe)) used += e.file_size(fe);
        }
    if (ec) {
        error = "voice folder " + folder_ + ": " + ec.message();
        return false;
    }
    std::lock_guard<std::mutex> g(lock_);
    used_ = used;
    return true;
}

CVoiceStore::Put CVoiceStore::Store(std::string_view bytes, std::string& id) {
    Put put;
    put.fault = amr::CheckAmrFile(bytes);
    if (put.fault != amr::FileError::none) {
        put.result = Put::Result::bad_file;
        return put;
    }
    {
        // Reserved before writing so parallel uploads cannot pass the cap together.
        std::lock_guard<std::mutex> g(lock_);
        if (used_ + bytes.size() > limit_) {
            put.result = Put::Result::full;
            return put;
        }
        used_ += bytes.size();
    }
    const std::string token = NewToken();
    if (token.size() >= kIdLength) {
        id = token.substr(0, kIdLength);
        if (files::WriteFileAtomic(PathOf(id), bytes)) {
            put.result = Put::Result::ok;
            return put;
        }
        log_err("voices: cannot write %s", PathOf(id).c_str());
        id.clear();
    }
    std::lock_guard<std::mutex> g(lock_);
    used_ -= bytes.size();
    put.result = Put::Result::io_error;
    return put;
}

bool CVoiceStore::Has(std::string_view id) {
    std::error_code ec;
    return CPictureStore::IsId(id) && std::filesystem::is_regular_file(PathOf(id), ec);
}

std::optional<std::string> CVoiceStore::PathFor(std::string_view id) {
    if (!Has(id)) return std::nullopt;
    return PathOf(id);
}

std::uint64_t CVoiceStore::usedBytes() {
    std::lock_guard<std::mutex> g(lock_);
    return used_;
}

}  // namespace server
