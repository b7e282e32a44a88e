#include "platform/dui/skin_model.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <fstream>
#include <sstream>

#include "formats/markup.h"

namespace dui {

namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

int Clamp(long long v) {
    return static_cast<int>(std::clamp<long long>(v, -kMaxCoord, kMaxCoord));
}

// Attribute lists written inside a value: name="v" name='v' ...
std::vector<SkinAttr> ParseAttrList(std::string_view s) {
    std::vector<SkinAttr> out;
    std::size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
        const std::size_t nameStart = i;
        while (i < s.size() && s[i] != '=' && !std::isspace(static_cast<unsigned char>(s[i]))) ++i;
        std::string name = ToLower(s.substr(nameStart, i - nameStart));
        while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
        if (i >= s.size() || s[i] != '=') break;
        ++i;
        while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
        if (i >= s.size() || (s[i] != '"' && s[i] != '\'')) break;
        const char quote = s[i++];
        const std::size_t end = s.find(quote, i);
        if (end == std::string_view::npos) break;
        if (!name.empty()) out.push_back({std::move(name), std::string(s.substr(i, end - i))});
        i = end + 1;
    }
    return out;
}

// Reads the element at the main position and everything below it.
void ReadNode(CMarkupSTL& xml, SkinNode& node) {
    node.written = xml.GetTagName();
    node.tag = ToLower(node.written);
    for (int n = 0;; ++n) {
        const std::string name = xml.GetAttribName(n);
        if (name.empty()) break;
        node.attrs.push_back({ToLower(name), xml.GetAttrib(name)});
    }
    while (xml.FindChildElem()) {
        if (!xml.IntoElem()) break;
        node.children.emplace_back();
        ReadNode(xml, node.children.back());
        xml.OutOfElem();
    }
}

void ReadWindowChildren(SkinDoc& doc, std::vector<SkinNode>& children) {
    int nextFontId = 0;
    for (auto& child : children) {
        if (child.tag == "font") {
            SkinFont f;
            f.id = child.Find("id") ? ParseInt(child.Get("id"), nextFontId) : nextFontId;
            nextFontId = std::max(nextFontId, f.id + 1);
            f.name = child.Get("name");
            f.size = std::clamp(ParseInt(child.Get("size"), 12), 1, 512);
            f.bold = ParseBool(child.Get("bold"));
            f.italic = ParseBool(child.Get("italic"));
            f.underline = ParseBool(child.Get("underline"));
            f.isDefault = ParseBool(child.Get("default"));
            doc.fonts.push_back(std::move(f));
        } else if (child.tag == "default") {
            auto& list = doc.defaults[ToLower(child.Get("name"))];
            for (auto& a : ParseAttrList(child.Get("value"))) list.push_back(std::move(a));
        } else {
            doc.controls.push_back(std::move(child));
        }
    }
    children.clear();
}

}  // namespace

const std::string* SkinNode::Find(std::string_view name) const {
    for (const auto& a : attrs)
        if (a.name == name) return &a.value;
    return nullptr;
}

std::string SkinNode::Get(std::string_view name, std::string_view def) const {
    const std::string* v = Find(name);
    return v ? *v : std::string(def);
}

SkinDoc ParseSkin(std::string_view text) {
    SkinDoc doc;
    CMarkupSTL xml;
    if (!xml.SetDoc(text)) {
        doc.error = "not a skin document: " + xml.GetError();
        return doc;
    }
    xml.ResetPos();
    if (!xml.FindElem()) {
        doc.error = "no root element";
        return doc;
    }
    ReadNode(xml, doc.root);
    if (doc.root.tag == "window") {
        doc.isWindow = true;
        ReadWindowChildren(doc, doc.root.children);
        if (doc.controls.empty()) {
            doc.error = "the window holds no control";
            return doc;
        }
    }
    doc.loaded = true;
    return doc;
}

SkinDoc LoadSkinFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        SkinDoc doc;
        doc.error = "cannot open " + path;
        return doc;
    }
    std::ostringstream buf;
    buf << in.rdbuf();
    SkinDoc doc = ParseSkin(buf.str());
    if (!doc.loaded) doc.error = path + ": " + doc.error;
    return doc;
}

std::string JoinSkinPath(std::string_view folder, std::string_view file) {
    std::string out(folder);
    std::replace(out.begin(), out.end(), '\\', '/');
    std::string f(file);
    std::replace(f.begin(), f.end(), '\\', '/');
    if (!out.empty() && out.back() != '/' && !f.empty() && f.front() != '/') out += '/';
    if (!out.empty() && out.back() == '/' && !f.empty() && f.front() == '/') f.erase(0, 1);
    return out + f;
}

std::string ToLower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

int ParseInt(std::string_view s, int def) {
    s = Trim(s);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    long long v = 0;
    const auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (p == s.data()) return def;
    if (ec == std::errc::result_out_of_range) return (s.front() == '-') ? -kMaxCoord : kMaxCoord;
    return Clamp(v);
}

bool ParseBool(std::string_view s, bool def) {
    s = Trim(s);
    if (EqualsNoCase(s, "true") || s == "1") return true;
    if (EqualsNoCase(s, "false") || s == "0") return false;
    return def;
}

bool ParseColor(std::string_view s, std::uint32_t& argb) {
    s = Trim(s);
    if (!s.empty() && s.front() == '#') s.remove_prefix(1);
    else if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) s.remove_prefix(2);
    if (s.size() != 6 && s.size() != 8) return false;
    std::uint32_t v = 0;
    const auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v, 16);
    if (ec != std::errc() || p != s.data() + s.size()) return false;
    argb = (s.size() == 6) ? (0xFF000000u | v) : v;
    return true;
}

std::vector<int> ParseInts(std::string_view s, std::size_t max) {
    std::vector<int> out;
    while (out.size() < max) {
        const std::size_t comma = s.find(',');
        out.push_back(ParseInt(s.substr(0, comma), 0));
        if (comma == std::string_view::npos) break;
        s.remove_prefix(comma + 1);
    }
    return out;
}

Rect4 ParseRect(std::string_view s) {
    const auto v = ParseInts(s, 4);
    Rect4 r;
    if (v.size() > 0) r.l = v[0];
    if (v.size() > 1) r.t = v[1];
    if (v.size() > 2) r.r = v[2];
    if (v.size() > 3) r.b = v[3];
    return r;
}

Size2 ParseSize(std::string_view s) {
    const auto v = ParseInts(s, 2);
    Size2 z;
    if (v.size() > 0) z.cx = v[0];
    if (v.size() > 1) z.cy = v[1];
    return z;
}

ImageDesc ParseImage(std::string_view s) {
    ImageDesc d;
    s = Trim(s);
    if (s.find('=') == std::string_view::npos) {
        d.file = std::string(s);
        return d;
    }
    for (const auto& a : ParseAttrList(s)) {
        if (a.name == "file") d.file = a.value;
        else if (a.name == "source") d.source = ParseRect(a.value), d.hasSource = true;
        else if (a.name == "dest") d.dest = ParseRect(a.value), d.hasDest = true;
        else if (a.name == "corner") d.corner = ParseRect(a.value), d.hasCorner = true;
        else if (a.name == "fade") d.fade = std::clamp(ParseInt(a.value, 255), 0, 255);
    }
    return d;
}

unsigned ParseAlign(std::string_view s, unsigned current) {
    constexpr unsigned kH = kAlignLeft | kAlignHCenter | kAlignRight;
    constexpr unsigned kV = kAlignTop | kAlignVCenter | kAlignBottom;
    std::size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && (s[i] == ' ' || s[i] == ',' || s[i] == '|')) ++i;
        const std::size_t start = i;
        while (i < s.size() && s[i] != ' ' && s[i] != ',' && s[i] != '|') ++i;
        const std::string w = ToLower(s.substr(start, i - start));
        if (w == "left") current = (current & ~kH) | kAlignLeft;
        else if (w == "center" || w == "hcenter") current = (current & ~kH) | kAlignHCenter;
        else if (w == "right") current = (current & ~kH) | kAlignRight;
        else if (w == "top") current = (current & ~kV) | kAlignTop;
        else if (w == "vcenter") current = (current & ~kV) | kAlignVCenter;
        else if (w == "bottom") current = (current & ~kV) | kAlignBottom;
    }
    return current;
}

}  // namespace dui
