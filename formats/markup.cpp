#include "formats/markup.h"

#include <array>
#include <cstring>
#include <utility>

#include "core/files.h"
#include "formats/xml_escape.h"

namespace {

constexpr bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Bytes that end a tag name.
constexpr std::array<bool, 256> MakeNameEnd() {
    std::array<bool, 256> t{};
    for (const unsigned char c : std::string_view(" \t\n\r<>=\\/?!")) t[c] = true;
    return t;
}
constexpr std::array<bool, 256> kNameEnd = MakeNameEnd();

inline bool IsNameEnd(char c) { return kNameEnd[static_cast<unsigned char>(c)]; }

// Bytes the start-tag scan stops at: the end of the tag, quotes, and a "<"
// that means the tag was never closed.
constexpr std::array<bool, 256> MakeTagStop() {
    std::array<bool, 256> t{};
    for (const unsigned char c : std::string_view("<>\"'")) t[c] = true;
    return t;
}
constexpr std::array<bool, 256> kTagStop = MakeTagStop();

// The part of a search name that a tag name could hold: up to the first
// delimiter, as the parser reads names in the document.
std::string_view SearchName(std::string_view name) {
    std::size_t n = 0;
    while (n < name.size() && !IsNameEnd(name[n])) ++n;
    return name.substr(0, n);
}

bool IsNameByte(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 0x20 && u != 0x7F && !IsNameEnd(c) && c != '"' && c != '\'' && c != '&';
}

// A name the document will read back as the same tag: name bytes, then
// optionally blanks (kept inside the tags, as settings keys need).
bool IsValidTagName(std::string_view name) {
    std::size_t n = 0;
    while (n < name.size() && IsNameByte(name[n]) && name[n] != '[' && name[n] != ']') ++n;
    if (n == 0) return false;
    for (; n < name.size(); ++n) {
        if (name[n] != ' ' && name[n] != '\t') return false;
    }
    return true;
}

bool IsValidAttribName(std::string_view name) {
    if (name.empty()) return false;
    for (const char c : name) {
        if (!IsNameByte(c)) return false;
    }
    return true;
}

// Position of `what` in doc at or after `from`, or npos.
std::size_t FindText(const std::string& doc, std::string_view what, std::size_t from) {
    return std::string_view(doc).find(what, from);
}

}  // namespace

CMarkupSTL::CMarkupSTL() : pos_(1) {}

CMarkupSTL::CMarkupSTL(std::string_view doc) : pos_(1) { SetDoc(doc); }

CMarkupSTL::~CMarkupSTL() = default;

CMarkupSTL::CMarkupSTL(CMarkupSTL&& other) : pos_(1) { *this = std::move(other); }

CMarkupSTL& CMarkupSTL::operator=(CMarkupSTL&& other) {
    if (this == &other) return *this;
    doc_ = std::move(other.doc_);
    error_ = std::move(other.error_);
    pos_ = std::move(other.pos_);
    parent_ = other.parent_;
    main_ = other.main_;
    child_ = other.child_;
    node_type_ = other.node_type_;
    saved_ = std::move(other.saved_);
    can_append_ = other.can_append_;
    other.doc_.clear();
    other.error_.clear();
    other.pos_.assign(1, ElemPos{});
    other.saved_.clear();
    other.ResetPos();
    other.can_append_ = true;
    return *this;
}

// ---------------------------------------------------------------- document

bool CMarkupSTL::SetDoc(const char* doc) { return SetDoc(std::string(doc ? doc : "")); }

bool CMarkupSTL::SetDoc(std::string_view doc) { return SetDoc(std::string(doc)); }

bool CMarkupSTL::SetDoc(std::string&& doc) {
    doc_ = std::move(doc);
    ResetPos();
    saved_.clear();
    return Parse();
}

bool CMarkupSTL::Load(const std::string& path) {
    std::string data;
    if (!files::ReadFile(path, data)) return SetDoc(nullptr);
    return SetDoc(std::move(data));
}

bool CMarkupSTL::Save(const std::string& path) const { return files::WriteFileAtomic(path, doc_); }

bool CMarkupSTL::Fail(const char* message, std::uint32_t elem) {
    error_ = message;
    const std::size_t at = error_.find("%s");
    if (at != std::string::npos) error_.replace(at, 2, TagName(elem));
    return false;
}

bool CMarkupSTL::Parse() {
    error_.clear();
    pos_.clear();
    can_append_ = false;
    bool ok = false;
    if (doc_.size() >= kMaxDocSize) {
        pos_.emplace_back();
        Fail("Invalid node");
    } else {
        pos_.reserve(doc_.size() / 64 + 8);
        pos_.emplace_back();
        std::size_t i = 0;
        ok = ParseContent(0, i, 0);
        if (ok && pos_[0].first_child == 0) {
            // Nothing broken, just no element yet: one may still be added.
            can_append_ = true;
            ok = Fail("Element tag not found");
        }
    }
    if (!ok) {
        pos_.resize(1);
        pos_[0] = ElemPos{};
    }
    return ok;
}

// Parses the content of `parent` from doc_[i] up to and including its end tag
// (for the document itself: to the end of the text). `depth` is the number of
// elements open around the content.
bool CMarkupSTL::ParseContent(std::uint32_t parent, std::size_t& i, int depth) {
    const char* d = doc_.data();
    const std::size_t n = doc_.size();
    std::uint32_t last = 0;
    for (;;) {
        // Text and whitespace run up to the next "<".
        const void* lt = i < n ? std::memchr(d + i, '<', n - i) : nullptr;
        if (!lt) {
            i = n;
            if (parent == 0) return true;
            return Fail("End tag of %s element not found", parent);
        }
        i = static_cast<std::size_t>(static_cast<const char*>(lt) - d);
        if (i + 1 >= n) return Fail("End of tag not found");
        const char c = d[i + 1];
        if (c == '?') {
            const std::size_t e = FindText(doc_, "?>", i + 2);
            if (e == std::string::npos) return Fail("End of tag not found");
            i = e + 2;
            continue;
        }
        if (c == '!') {
            const std::string_view rest(d + i, n - i);
            std::size_t e;
            if (rest.starts_with("<!--")) {
                e = FindText(doc_, "-->", i + 4);
                if (e != std::string::npos) e += 3;
            } else if (rest.starts_with("<![CDATA[")) {
                e = FindText(doc_, "]]>", i + 9);
                if (e != std::string::npos) e += 3;
            } else {
                // Document type: the ">" outside nested square brackets.
                e = std::string::npos;
                std::size_t brackets = 0;
                for (std::size_t j = i + 2; j < n; ++j) {
                    if (d[j] == '[') {
                        ++brackets;
                    } else if (d[j] == ']') {
                        if (brackets) --brackets;
                    } else if (d[j] == '>' && brackets == 0) {
                        e = j + 1;
                        break;
                    }
                }
            }
            if (e == std::string::npos) return Fail("End of tag not found");
            i = e;
            continue;
        }
        if (c == '/') {
            if (parent == 0) return Fail("Invalid node");
            std::size_t j = i + 2;
            while (j < n && !IsNameEnd(d[j])) ++j;
            const std::string_view name(d + i + 2, j - (i + 2));
            if (name.empty()) return Fail("Expecting end tag of element %s", parent);
            if (name != TagName(parent)) return Fail("End tag does not correspond to %s", parent);
            while (j < n && IsSpace(d[j])) ++j;
            if (j >= n || d[j] != '>') return Fail("End tag not completed for element %s", parent);
            pos_[parent].end_l = static_cast<std::uint32_t>(i);
            pos_[parent].end_r = static_cast<std::uint32_t>(j);
            i = j + 1;
            return true;
        }
        if (c == '"' || c == '\'') return Fail("Tag starts with quote");
        if (IsNameEnd(c)) return Fail("Invalid node");
        if (depth >= kMaxDepth) return Fail("Invalid node");

        // Start tag: its name, then up to the ">" outside quotes.
        const auto elem = static_cast<std::uint32_t>(pos_.size());
        pos_.emplace_back();
        pos_[elem].start_l = static_cast<std::uint32_t>(i);
        pos_[elem].parent = parent;
        if (last) {
            pos_[last].next = elem;
        } else {
            pos_[parent].first_child = elem;
        }
        last = elem;

        std::size_t j = i + 1;
        while (j < n && !IsNameEnd(d[j])) ++j;
        for (;;) {
            while (j < n && !kTagStop[static_cast<unsigned char>(d[j])]) ++j;
            if (j >= n || d[j] == '<') return Fail("End of tag not found");
            if (d[j] == '>') break;
            const void* q = std::memchr(d + j + 1, d[j], n - j - 1);
            if (!q) return Fail("Abrupt end within tag");
            j = static_cast<std::size_t>(static_cast<const char*>(q) - d) + 1;
        }
        pos_[elem].start_r = static_cast<std::uint32_t>(j);
        if (d[j - 1] == '/') {
            pos_[elem].end_l = static_cast<std::uint32_t>(j - 1);
            pos_[elem].end_r = static_cast<std::uint32_t>(j);
            i = j + 1;
        } else {
            i = j + 1;
            if (!ParseContent(elem, i, depth + 1)) return false;
        }
    }
}

// ---------------------------------------------------------------- cursor

void CMarkupSTL::ResetPos() {
    parent_ = main_ = child_ = 0;
    node_type_ = 0;
}

std::string_view CMarkupSTL::TagName(std::uint32_t elem) const {
    if (elem == 0 || elem >= pos_.size()) return {};
    const ElemPos& e = pos_[elem];
    std::size_t j = e.start_l + 1;
    while (j < e.start_r && !IsNameEnd(doc_[j])) ++j;
    return std::string_view(doc_).substr(e.start_l + 1, j - e.start_l - 1);
}

std::uint32_t CMarkupSTL::FindSibling(std::uint32_t from, std::string_view name) const {
    const std::string_view want = SearchName(name);
    if (want.empty() && !name.empty()) return 0;
    for (std::uint32_t e = from; e; e = pos_[e].next) {
        if (want.empty() || TagName(e) == want) return e;
    }
    return 0;
}

bool CMarkupSTL::FindElem(std::string_view name, bool restart) {
    std::uint32_t found = FindSibling(main_ ? pos_[main_].next : pos_[parent_].first_child, name);
    if (!found && restart) found = FindSibling(pos_[parent_].first_child, name);
    if (!found) return false;
    main_ = found;
    child_ = 0;
    node_type_ = MNT_ELEMENT;
    return true;
}

bool CMarkupSTL::FindChildElem(std::string_view name, bool restart) {
    if (!main_ && !FindElem()) return false;
    std::uint32_t found = FindSibling(child_ ? pos_[child_].next : pos_[main_].first_child, name);
    if (!found && restart) found = FindSibling(pos_[main_].first_child, name);
    if (!found) return false;
    child_ = found;
    return true;
}

bool CMarkupSTL::IntoElem() {
    if (!child_ || !main_ || node_type_ != MNT_ELEMENT) return false;
    parent_ = main_;
    main_ = child_;
    child_ = 0;
    return true;
}

bool CMarkupSTL::OutOfElem() {
    if (!parent_) return false;
    child_ = main_;
    main_ = parent_;
    parent_ = pos_[parent_].parent;
    node_type_ = MNT_ELEMENT;
    return true;
}

std::string CMarkupSTL::GetTagName() const { return std::string(TagName(main_)); }

std::string CMarkupSTL::GetChildTagName() const { return std::string(TagName(child_)); }

bool CMarkupSTL::SavePos(std::string_view name) {
    saved_.insert_or_assign(std::string(name), SavedPos{parent_, main_, child_});
    return true;
}

bool CMarkupSTL::RestorePos(std::string_view name) {
    const auto it = saved_.find(name);
    if (it == saved_.end()) return false;
    parent_ = it->second.parent;
    main_ = it->second.main;
    child_ = it->second.child;
    node_type_ = main_ ? MNT_ELEMENT : 0;
    return true;
}

// ---------------------------------------------------------------- attributes

// End of the attribute area of a start tag: its ">", or the "/" of "/>".
std::size_t CMarkupSTL::AttribEnd(std::uint32_t elem) const {
    const ElemPos& e = pos_[elem];
    return e.IsEmptyElement() ? e.end_l : e.start_r;
}

// Reads the attribute at or after doc_[i] within the start tag of elem; every
// scan stays inside the tag, whatever bytes it holds.
bool CMarkupSTL::NextAttrib(std::uint32_t elem, std::size_t& i, AttribSpan& span) const {
    const std::size_t end = AttribEnd(elem);
    const char* d = doc_.data();
    while (i < end) {
        const char c = d[i];
        if (IsSpace(c) || c == '/' || c == '=') {
            ++i;
            continue;
        }
        if (c == '"' || c == '\'') {  // a stray quoted string, not an attribute
            const void* q = std::memchr(d + i + 1, c, end - i - 1);
            i = q ? static_cast<std::size_t>(static_cast<const char*>(q) - d) + 1 : end;
            continue;
        }
        span = AttribSpan{};
        span.name_pos = i;
        while (i < end && !IsSpace(d[i]) && d[i] != '=' && d[i] != '/' && d[i] != '"' && d[i] != '\'') ++i;
        span.name_len = i - span.name_pos;
        std::size_t j = i;
        while (j < end && IsSpace(d[j])) ++j;
        if (j < end && d[j] == '=') {
            ++j;
            while (j < end && IsSpace(d[j])) ++j;
            span.has_value = true;
            if (j < end && (d[j] == '"' || d[j] == '\'')) {
                span.quote = d[j];
                span.value_pos = j + 1;
                const void* q = std::memchr(d + j + 1, d[j], end - j - 1);
                const std::size_t close = q ? static_cast<std::size_t>(static_cast<const char*>(q) - d) : end;
                span.value_len = close - span.value_pos;
                i = close < end ? close + 1 : end;
            } else {
                // A quote ends an unquoted value: the parser reads it as the
                // start of a quoted run, and edits must not split that run.
                span.value_pos = j;
                while (j < end && !IsSpace(d[j]) && d[j] != '"' && d[j] != '\'') ++j;
                span.value_len = j - span.value_pos;
                i = j;
            }
        }
        return true;
    }
    return false;
}

bool CMarkupSTL::FindAttrib(std::uint32_t elem, std::string_view name, AttribSpan& span) const {
    if (elem == 0 || name.empty()) return false;
    std::size_t i = pos_[elem].start_l + 1 + TagName(elem).size();
    while (NextAttrib(elem, i, span)) {
        if (std::string_view(doc_).substr(span.name_pos, span.name_len) == name) return true;
    }
    return false;
}

std::string CMarkupSTL::AttribOf(std::uint32_t elem, std::string_view name) const {
    if (node_type_ != MNT_ELEMENT) return {};
    AttribSpan span;
    if (!FindAttrib(elem, name, span) || !span.has_value) return {};
    return xml::Unescape(std::string_view(doc_).substr(span.value_pos, span.value_len));
}

std::string CMarkupSTL::GetAttrib(std::string_view name) const { return AttribOf(main_, name); }

std::string CMarkupSTL::GetChildAttrib(std::string_view name) const { return AttribOf(child_, name); }

std::string CMarkupSTL::GetAttribName(int n) const {
    if (!main_ || node_type_ != MNT_ELEMENT || n < 0) return {};
    std::size_t i = pos_[main_].start_l + 1 + TagName(main_).size();
    AttribSpan span;
    while (NextAttrib(main_, i, span)) {
        if (n-- == 0) return doc_.substr(span.name_pos, span.name_len);
    }
    return {};
}

bool CMarkupSTL::SetAttribOf(std::uint32_t elem, std::string_view name, std::string_view value) {
    if (!elem || node_type_ != MNT_ELEMENT || !IsValidAttribName(name)) return false;
    const std::string escaped = xml::EscapeAttrib(value);
    AttribSpan span;
    if (FindAttrib(elem, name, span)) {
        if (!span.has_value) return Replace(span.name_pos + span.name_len, 0, "=\"" + escaped + "\"");
        // Escaped values hold no quote of either kind, so the old quotes stay.
        if (span.quote) return Replace(span.value_pos, span.value_len, escaped);
        return Replace(span.value_pos, span.value_len, "\"" + escaped + "\"");
    }
    std::string text;
    text.reserve(name.size() + escaped.size() + 4);
    text.append(" ").append(name).append("=\"").append(escaped).append("\"");
    return Replace(AttribEnd(elem), 0, text);
}

bool CMarkupSTL::SetAttrib(std::string_view name, std::string_view value) { return SetAttribOf(main_, name, value); }

bool CMarkupSTL::SetAttrib(std::string_view name, int value) { return SetAttribOf(main_, name, std::to_string(value)); }

bool CMarkupSTL::SetChildAttrib(std::string_view name, std::string_view value) {
    return SetAttribOf(child_, name, value);
}

bool CMarkupSTL::SetChildAttrib(std::string_view name, int value) {
    return SetAttribOf(child_, name, std::to_string(value));
}

// ---------------------------------------------------------------- element text

std::string CMarkupSTL::DataOf(std::uint32_t elem) const {
    if (!elem || node_type_ != MNT_ELEMENT) return {};
    const ElemPos& e = pos_[elem];
    if (e.IsEmptyElement() || e.first_child) return {};
    const std::string_view content = std::string_view(doc_).substr(e.start_r + 1, e.end_l - e.start_r - 1);
    std::size_t i = 0;
    while (i < content.size() && IsSpace(content[i])) ++i;
    constexpr std::string_view kOpen = "<![CDATA[";
    if (content.substr(i).starts_with(kOpen)) {
        const std::size_t close = content.find("]]>", i + kOpen.size());
        if (close != std::string_view::npos) {
            return std::string(content.substr(i + kOpen.size(), close - i - kOpen.size()));
        }
    }
    return xml::Unescape(content);
}

std::string CMarkupSTL::GetData() const { return DataOf(main_); }

std::string CMarkupSTL::GetChildData() const { return DataOf(child_); }

// End tag matching the start tag of elem. A start tag holding only its name
// and blanks ("<videoname />") gets the same blanks in its end tag.
std::string CMarkupSTL::EndTagFor(std::uint32_t elem) const {
    const std::string_view name = TagName(elem);
    const ElemPos& e = pos_[elem];
    std::size_t j = e.start_l + 1 + name.size();
    const std::size_t end = AttribEnd(elem);
    while (j < end && (doc_[j] == ' ' || doc_[j] == '\t')) ++j;
    std::string tag = "</";
    tag.append(name);
    if (j == end) tag.append(doc_, e.start_l + 1 + name.size(), j - (e.start_l + 1 + name.size()));
    tag += '>';
    return tag;
}

bool CMarkupSTL::SetDataOf(std::uint32_t elem, std::string_view text, bool cdata) {
    if (!elem || node_type_ != MNT_ELEMENT || pos_[elem].first_child) return false;
    std::string content;
    if (cdata && text.find("]]>") == std::string_view::npos) {
        content.append("<![CDATA[").append(text).append("]]>");
    } else {
        content = xml::EscapeText(text);
    }
    const ElemPos e = pos_[elem];
    if (!e.IsEmptyElement()) return Replace(e.start_r + 1, e.end_l - e.start_r - 1, content);
    if (content.empty()) return true;  // already empty
    return OpenEmptyElement(elem, content);
}

// Turns <name .../> into <name ...>inner</name>.
bool CMarkupSTL::OpenEmptyElement(std::uint32_t elem, std::string_view inner) {
    const ElemPos e = pos_[elem];
    const std::string end_tag = EndTagFor(elem);
    // Every slash before the ">" goes: "<a//>" with only one removed would
    // still read as self-closing.
    std::size_t cut = e.end_l;
    while (cut > e.start_l + 1 && doc_[cut - 1] == '/') --cut;
    std::string text = ">";
    text.append(inner).append(end_tag);
    if (!Replace(cut, e.end_r + 1 - cut, text)) return false;
    ElemPos& r = pos_[elem];
    r.start_r = static_cast<std::uint32_t>(cut);
    r.end_l = static_cast<std::uint32_t>(cut + 1 + inner.size());
    r.end_r = static_cast<std::uint32_t>(r.end_l + end_tag.size() - 1);
    return true;
}

bool CMarkupSTL::SetData(std::string_view text, bool cdata) { return SetDataOf(main_, text, cdata); }

bool CMarkupSTL::SetData(int value) { return SetDataOf(main_, std::to_string(value), false); }

bool CMarkupSTL::SetChildData(std::string_view text, bool cdata) { return SetDataOf(child_, text, cdata); }

bool CMarkupSTL::SetChildData(int value) { return SetDataOf(child_, std::to_string(value), false); }

// ---------------------------------------------------------------- adding elements

int CMarkupSTL::Level(std::uint32_t elem) const {
    int level = 0;
    for (std::uint32_t p = pos_[elem].parent; p; p = pos_[p].parent) ++level;
    return level;
}

bool CMarkupSTL::InsertElem(std::string_view name, std::string_view value, bool as_child, Where where) {
    if (!IsValidTagName(name)) return false;
    std::uint32_t parent = parent_;
    std::uint32_t sibling = main_;
    if (as_child) {
        if (!main_ || node_type_ != MNT_ELEMENT) return false;
        // Never write a document the parser would refuse to read back.
        if (Level(main_) + 1 >= kMaxDepth) return false;
        parent = main_;
        sibling = child_;
    }
    if (pos_[0].first_child == 0) {
        // No element yet: this one starts the document. Text that failed to
        // parse is dropped rather than kept in front of it, or the saved file
        // would never load again.
        if (!can_append_) doc_.clear();
        can_append_ = true;
        error_.clear();
        parent = 0;
        sibling = 0;
    }

    std::string text = "<";
    text.append(name);
    std::size_t esc_len = 0;
    if (value.empty()) {
        text.append("/>\r\n");
    } else {
        const std::string escaped = xml::EscapeText(value);
        esc_len = escaped.size();
        text.append(">").append(escaped).append("</").append(name).append(">\r\n");
    }

    // Where the new text goes, and what it is linked after (0 = first child).
    std::size_t at = 0;
    std::size_t lead = 0;  // bytes written before the new element
    std::uint32_t prev = 0;
    std::uint32_t next = 0;
    bool open_parent = false;

    std::uint32_t before = 0;
    if (where == Where::kBefore) before = sibling ? sibling : pos_[parent].first_child;
    if (before) {
        at = pos_[before].start_l;
        next = before;
        for (std::uint32_t e = pos_[parent].first_child; e != before; e = pos_[e].next) prev = e;
    } else if (where == Where::kAfter && sibling) {
        at = pos_[sibling].end_r + 1;
        // Keep the sibling's line end with it.
        if (at < doc_.size() && doc_[at] == '\n') {
            at += 1;
        } else if (at + 1 < doc_.size() && doc_[at] == '\r' && doc_[at + 1] == '\n') {
            at += 2;
        }
        prev = sibling;
        next = pos_[sibling].next;
    } else {
        // At the end of the parent's content.
        for (std::uint32_t e = pos_[parent].first_child; e; e = pos_[e].next) prev = e;
        if (parent == 0) {
            at = doc_.size();
        } else if (pos_[parent].IsEmptyElement()) {
            open_parent = true;
        } else {
            at = pos_[parent].end_l;
        }
        if (!open_parent && at > 0 && doc_[at - 1] != '\n') {
            text.insert(0, "\r\n");
            lead = 2;
        }
    }

    if (open_parent) {
        // <parent/> becomes <parent>\r\n<new/>\r\n</parent>
        text.insert(0, "\r\n");
        if (!OpenEmptyElement(parent, text)) return false;
        at = pos_[parent].start_r + 1;
        lead = 2;
    } else if (!Replace(at, 0, text)) {
        return false;
    }

    const auto elem = static_cast<std::uint32_t>(pos_.size());
    ElemPos r;
    r.start_l = static_cast<std::uint32_t>(at + lead);
    r.start_r = static_cast<std::uint32_t>(r.start_l + 1 + name.size() + (value.empty() ? 1 : 0));
    if (value.empty()) {
        r.end_l = r.start_r - 1;
        r.end_r = r.start_r;
    } else {
        r.end_l = static_cast<std::uint32_t>(r.start_r + 1 + esc_len);
        r.end_r = static_cast<std::uint32_t>(r.end_l + 2 + name.size());
    }
    r.parent = parent;
    r.next = next;
    pos_.push_back(r);
    if (prev) {
        pos_[prev].next = elem;
    } else {
        pos_[parent].first_child = elem;
    }

    if (as_child) {
        child_ = elem;
    } else {
        main_ = elem;
        child_ = 0;
    }
    node_type_ = MNT_ELEMENT;
    return true;
}

bool CMarkupSTL::AddElem(std::string_view name, std::string_view value) {
    return InsertElem(name, value, false, Where::kAfter);
}

bool CMarkupSTL::AddElem(std::string_view name, int value) {
    return InsertElem(name, std::to_string(value), false, Where::kAfter);
}

bool CMarkupSTL::AddChildElem(std::string_view name, std::string_view value) {
    return InsertElem(name, value, true, Where::kAfter);
}

bool CMarkupSTL::AddChildElem(std::string_view name, int value) {
    return InsertElem(name, std::to_string(value), true, Where::kAfter);
}

bool CMarkupSTL::InsertChildElem(std::string_view name, std::string_view value) {
    return InsertElem(name, value, true, Where::kBefore);
}

bool CMarkupSTL::InsertChildElem(std::string_view name, int value) {
    return InsertElem(name, std::to_string(value), true, Where::kBefore);
}

// Replaces doc_[pos, pos + old_len) by text and moves every offset at or
// after the end of the replaced range; offsets inside it are the caller's.
bool CMarkupSTL::Replace(std::size_t pos, std::size_t old_len, std::string_view text) {
    if (doc_.size() - old_len + text.size() >= kMaxDocSize) return false;
    doc_.replace(pos, old_len, text);
    if (text.size() == old_len) return true;
    const auto limit = static_cast<std::uint32_t>(pos + old_len);
    const auto delta = static_cast<std::uint32_t>(text.size() - old_len);  // wraps for shrinking
    for (std::size_t k = 1; k < pos_.size(); ++k) {
        ElemPos& e = pos_[k];
        if (e.start_l >= limit) e.start_l += delta;
        if (e.start_r >= limit) e.start_r += delta;
        if (e.end_l >= limit) e.end_l += delta;
        if (e.end_r >= limit) e.end_r += delta;
    }
    return true;
}
