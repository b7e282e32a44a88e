#include "server/picture_store.h"

#include <fstream>

#include "core/files.h"

namespace server {

namespace {

bool StartsWith(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && s.substr(0, prefix.size()) == prefix;
}

}  // namespace

CPictureStore::CPictureStore(std::string folder, std::uint64_t limitBytes)
    : files_(std::move(folder), limitBytes, "picture") {}

bool CPictureStore::Open(std::string& error) { return files_.Open(error); }

const char* CPictureStore::PictureType(std::string_view b) {
    if (StartsWith(b, "\x89PNG\r\n\x1a\n")) return "image/png";
    if (StartsWith(b, "\xff\xd8\xff")) return "image/jpeg";
    if (StartsWith(b, "GIF87a") || StartsWith(b, "GIF89a")) return "image/gif";
    if (StartsWith(b, "BM") && b.size() >= 26) return "image/bmp";
    if (b.size() >= 12 && StartsWith(b, "RIFF") && b.substr(8, 4) == "WEBP") return "image/webp";
    return nullptr;
}

CPictureStore::Put CPictureStore::Store(std::string_view bytes, std::string& id) {
    if (bytes.empty()) return Put::empty;
    if (bytes.size() > kMaxPictureBytes) return Put::too_large;
    if (!PictureType(bytes)) return Put::not_picture;
    switch (files_.WriteNew(bytes, id)) {
        case CCappedFolder::Write::ok: return Put::ok;
        case CCappedFolder::Write::full: return Put::full;
        case CCappedFolder::Write::io_error: break;
    }
    return Put::io_error;
}

std::optional<std::string> CPictureStore::Load(std::string_view id) {
    if (!IsId(id)) return std::nullopt;
    std::string bytes;
    if (!files::ReadFile(files_.PathOf(id), bytes)) return std::nullopt;
    return bytes;
}

bool CPictureStore::Has(std::string_view id) { return files_.Has(id); }

bool CPictureStore::Remove(std::string_view id) { return files_.Remove(id); }

std::optional<CPictureStore::Stored> CPictureStore::Find(std::string_view id) {
    if (!IsId(id)) return std::nullopt;
    Stored out;
    out.path = files_.PathOf(id);
    std::ifstream in(out.path, std::ios::binary);
    char head[32] = {};
    if (!in.read(head, sizeof head) && in.gcount() <= 0) return std::nullopt;
    out.type = PictureType(std::string_view(head, static_cast<std::size_t>(in.gcount())));
    return out;
}

}  // namespace server
