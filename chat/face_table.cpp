#include "chat/face_table.h"

#include <algorithm>
#include <charconv>

#include "core/log.h"
#include "formats/markup.h"
#include "platform/text/text.h"

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::optional<std::int32_t> ParseInt(std::string_view s) {
    std::int32_t v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size() || s.empty()) return std::nullopt;
    return v;
}

int IntOrZero(const std::string& s) { return ParseInt(s).value_or(0); }

// The table is shipped with the program, but its file names still may not
// leave the skin folder.
std::string ImagePathFor(std::string file, const std::string& programFolder) {
    for (char& c : file)
        if (c == '\\') c = '/';
    if (file.empty() || file.front() == '/') return {};
    std::size_t start = 0;
    while (start <= file.size()) {
        std::size_t end = file.find('/', start);
        if (end == std::string::npos) end = file.size();
        if (file.compare(start, end - start, "..") == 0) return {};
        start = end + 1;
    }
    std::string folder = programFolder;
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder + "skin/" + file;
}

}  // namespace

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

bool ContainsNoCase(std::string_view haystack, std::string_view needle) {
    if (needle.size() > haystack.size()) return false;
    for (std::size_t i = 0; i + needle.size() <= haystack.size(); ++i)
        if (EqualsNoCase(haystack.substr(i, needle.size()), needle)) return true;
    return false;
}

void CFaceTable::Clear() {
    entries_.clear();
    layout_ = FaceLayout{};
    longestTag_ = 0;
}

bool CFaceTable::Load(const std::string& programFolder) {
    std::string folder = programFolder;
    if (!folder.empty() && folder.back() != '/') folder += '/';
    CMarkupSTL doc;
    if (!doc.Load(folder + std::string(kRelativePath))) {
        Clear();
        log_msg("face table not loaded: %s", doc.GetError().c_str());
        return false;
    }
    return LoadFromText(doc.GetDoc(), folder);
}

bool CFaceTable::LoadFromText(std::string_view xml, const std::string& programFolder) {
    Clear();
    // A byte-order mark is common in hand-edited UTF-8 files.
    if (xml.substr(0, 3) == "\xEF\xBB\xBF") xml.remove_prefix(3);
    CMarkupSTL doc;
    if (!doc.SetDoc(xml) || !doc.FindElem() || !doc.FindChildElem("faceconfig") || !doc.IntoElem())
        return false;

    FaceLayout layout;
    layout.itemWidth = IntOrZero(doc.GetAttrib("item_width"));
    layout.itemHeight = IntOrZero(doc.GetAttrib("item_height"));
    layout.zoomWidth = IntOrZero(doc.GetAttrib("zoom_width"));
    layout.zoomHeight = IntOrZero(doc.GetAttrib("zoom_height"));
    layout.rows = IntOrZero(doc.GetAttrib("row"));
    layout.cols = IntOrZero(doc.GetAttrib("col"));

    std::vector<FaceEntry> entries;
    std::size_t longest = 0;
    while (doc.FindChildElem("face")) {
        const auto id = ParseInt(doc.GetChildAttrib("id"));
        if (!id || *id < 0) {
            // atoi would turn it into face 0 and shadow the real one.
            log_msg("face table: entry with id \"%s\" skipped", doc.GetChildAttrib("id").c_str());
            continue;
        }
        FaceEntry e;
        e.id = *id;
        e.tag = text::RepairUtf8(doc.GetChildAttrib("tag"));
        e.tip = text::RepairUtf8(doc.GetChildAttrib("tip"));
        e.text = text::RepairUtf8(doc.GetChildAttrib("text"));
        e.file = text::RepairUtf8(doc.GetChildAttrib("file"));
        e.imagePath = ImagePathFor(e.file, programFolder);
        longest = std::max(longest, e.tag.size());
        entries.push_back(std::move(e));
    }
    entries_ = std::move(entries);
    layout_ = layout;
    longestTag_ = longest;
    return true;
}

const FaceEntry* CFaceTable::FindById(std::int32_t id) const {
    for (const FaceEntry& e : entries_)
        if (e.id == id) return &e;
    return nullptr;
}

CFaceTable::TagMatch CFaceTable::FindByTag(std::string_view key) const {
    TagMatch m;
    if (key.empty()) return m;
    for (const FaceEntry& e : entries_) {
        if (!m.face && EqualsNoCase(e.tag, key)) m.face = &e;
        if (!m.couldGrow && ContainsNoCase(e.tag, key)) m.couldGrow = true;
        if (m.face && m.couldGrow) break;
    }
    return m;
}
