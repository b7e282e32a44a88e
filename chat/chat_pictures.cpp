#include "chat/chat_pictures.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "chat/face_table.h"
#include "core/log.h"
#include "core/paths.h"

namespace {

constexpr std::size_t kMaxPlainName = 100;

bool PlainNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           c == '.' || c == '_' || c == '-';
}

bool IsPlainName(std::string_view s) {
    if (s.empty() || s.size() > kMaxPlainName || s.front() == '.') return false;
    for (char c : s)
        if (!PlainNameChar(c)) return false;
    return true;
}

std::uint64_t Fnv1a(std::string_view s) {
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (unsigned char c : s) {
        h ^= c;
        h *= 0x100000001b3ull;
    }
    return h;
}

// ".jpg" from ".../x.jpg?size=2", when it looks like an extension.
std::string ExtensionOf(std::string_view source) {
    source = source.substr(0, source.find_first_of("?#"));
    const std::size_t slash = source.rfind('/');
    const std::string_view last = slash == std::string_view::npos ? source : source.substr(slash + 1);
    const std::size_t dot = last.rfind('.');
    if (dot == std::string_view::npos || dot == 0) return {};
    const std::string_view ext = last.substr(dot + 1);
    if (ext.empty() || ext.size() > 5) return {};
    for (char c : ext)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            return {};
    return "." + std::string(ext);
}

bool FileHere(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec) && std::filesystem::file_size(path, ec) > 0 &&
           !ec;
}

}  // namespace

bool IsPictureUrl(std::string_view source) {
    return source.size() > 7 && (EqualsNoCase(source.substr(0, 7), "http://") ||
                                 (source.size() > 8 && EqualsNoCase(source.substr(0, 8), "https://")));
}

CChatPictures::CChatPictures(IPictureFetcher& fetcher, std::string imageFolder)
    : fetcher_(fetcher), folder_(paths::WithSlash(std::move(imageFolder))) {}

std::string CChatPictures::DestinationFor(std::string_view source) const {
    if (!IsPictureUrl(source) && IsPlainName(source)) return folder_ + std::string(source);
    char name[32];
    std::snprintf(name, sizeof name, "pic_%016llx", static_cast<unsigned long long>(Fnv1a(source)));
    return folder_ + name + ExtensionOf(source);
}

void CChatPictures::Show(IChatSink& view, std::string_view source, const std::string& waitingImage) {
    const std::string dest = DestinationFor(source);
    if (FileHere(dest) && pending_.find(source) == pending_.end()) {
        view.AppendImage(dest);
        return;
    }
    const ChatObjectKey key = next_++;
    view.AppendPlaceholder(key, waitingImage);
    auto it = pending_.find(source);
    if (it != pending_.end()) {
        it->second.push_back({&view, key});
        return;
    }
    pending_[std::string(source)].push_back({&view, key});
    paths::MakeDirs(folder_);
    if (!fetcher_.Fetch(std::string(source), dest)) {
        log_msg("chat picture download not started: %s", std::string(source).c_str());
        OnFetched(source, false);
    }
}

void CChatPictures::OnFetched(std::string_view source, bool ok) {
    auto it = pending_.find(source);
    if (it == pending_.end()) return;
    // Taken out first: a view may show more lines while it is completed.
    const std::vector<Waiting> waiting = std::move(it->second);
    pending_.erase(it);
    const std::string dest = DestinationFor(source);
    if (ok && !FileHere(dest)) {
        log_msg("chat picture download reported done but no file: %s", dest.c_str());
        ok = false;
    }
    for (const Waiting& w : waiting) {
        if (ok) w.view->ReplacePlaceholder(w.key, dest);
        else w.view->FailPlaceholder(w.key);
    }
}

void CChatPictures::ForgetView(const IChatSink& view) {
    for (auto& [source, waiting] : pending_)
        std::erase_if(waiting, [&](const Waiting& w) { return w.view == &view; });
}

void CChatPictures::Clear() { pending_.clear(); }
