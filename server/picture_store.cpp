#include "server/picture_store.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "core/files.h"
#include "core/log.h"
#include "core/paths.h"
#include "server/password.h"

namespace server {

namespace {

constexpr std::size_t kIdLength = 32;

bool StartsWith(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && s.substr(0, prefix.size()) == prefix;
}

}  // namespace

CPictureStore::CPictureStore(std::string folder, std::uint64_t limitBytes)
    : folder_(paths::WithSlash(std::move(folder))), limit_(limitBytes) {}

bool CPictureStore::Open(std::string& error) {
    std::error_code ec;
    std::filesystem::create_directories(folder_, ec);
    if (ec) {
        error = "picture folder " + folder_ + ": " + ec.message();
        return false;
    }
    std::uint64_t used = 0;
    for (const auto& e : std::filesystem::directory_iterator(folder_, ec)) {
        std::error_code fe;
        // Left-over temporaries of an interrupted write count too: they use
        // the disk until someone removes them.
        if (e.is_regular_file(fe)) used += e.file_size(fe);
    }
    if (ec) {
        error = "picture folder " + folder_ + ": " + ec.message();
        return false;
    }
    std::lock_guard<std::mutex> g(lock_);
    used_ = used;
    return true;
}

const char* CPictureStore::PictureType(std::string_view b) {
    if (StartsWith(b, "\x89PNG\r\n\x1a\n")) return "image/png";
    if (StartsWith(b, "\xff\xd8\xff")) return "image/jpeg";
    if (StartsWith(b, "GIF87a") || StartsWith(b, "GIF89a")) return "image/gif";
    if (StartsWith(b, "BM") && b.size() >= 26) return "image/bmp";
    if (b.size() >= 12 && StartsWith(b, "RIFF") && b.substr(8, 4) == "WEBP") return "image/webp";
    return nullptr;
}

bool CPictureStore::IsId(std::string_view id) {
    if (id.size() != kIdLength) return false;
    for (char c : id)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

CPictureStore::Put CPictureStore::Store(std::string_view bytes, std::string& id) {
    if (bytes.empty()) return Put::empty;
    if (bytes.size() > kMaxPictureBytes) return Put::too_large;
    if (!PictureType(bytes)) return Put::not_picture;
    {
        // Reserved before writing so parallel uploads cannot pass the cap
        // together.
        std::lock_guard<std::mutex> g(lock_);
        if (used_ + bytes.size() > limit_) return Put::full;
        used_ += bytes.size();
    }
    const auto release = [&] {
        std::lock_guard<std::mutex> g(lock_);
        used_ -= bytes.size();
    };
    const std::string token = NewToken();
    if (token.size() < kIdLength) {
        release();
        return Put::io_error;
    }
    id = token.substr(0, kIdLength);
    if (!files::WriteFileAtomic(PathOf(id), bytes)) {
        log_err("pictures: cannot write %s", PathOf(id).c_str());
        release();
        id.clear();
        return Put::io_error;
    }
    return Put::ok;
}

std::optional<std::string> CPictureStore::Load(std::string_view id) {
    if (!IsId(id)) return std::nullopt;
    std::string bytes;
    if (!files::ReadFile(PathOf(id), bytes)) return std::nullopt;
    return bytes;
}

bool CPictureStore::Has(std::string_view id) {
    std::error_code ec;
    return IsId(id) && std::filesystem::is_regular_file(PathOf(id), ec);
}

bool CPictureStore::Remove(std::string_view id) {
    if (!IsId(id)) return false;
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(PathOf(id), ec);
    if (ec || !std::filesystem::remove(PathOf(id), ec) || ec) return false;
    std::lock_guard<std::mutex> g(lock_);
    used_ -= std::min<std::uint64_t>(used_, size);
    return true;
}

std::optional<CPictureStore::Stored> CPictureStore::Find(std::string_view id) {
    if (!IsId(id)) return std::nullopt;
    Stored out;
    out.path = PathOf(id);
    std::ifstream in(out.path, std::ios::binary);
    char head[32] = {};
    if (!in.read(head, sizeof head) && in.gcount() <= 0) return std::nullopt;
    out.type = PictureType(std::string_view(head, static_cast<std::size_t>(in.gcount())));
    return out;
}

std::uint64_t CPictureStore::usedBytes() {
    std::lock_guard<std::mutex> g(lock_);
    return used_;
}

}  // namespace server
