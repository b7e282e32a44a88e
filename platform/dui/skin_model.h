#pragma once
// Skin files as plain data: the element tree of a window or template skin,
// read with the project's XML class, plus the value parsers every control
// uses. No Qt here, so the parser can be tested and fuzzed on its own.
//
// A skin is either a window skin (root element "Window": window attributes,
// "Font" and "Default" entries, then the controls) or a template whose root
// is a control itself (menus, list items). Element and attribute names are
// compared without regard to case; both are kept lower-cased here.

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace dui {

// Sizes and offsets in skins are clamped to this, so no sum in a layout can
// overflow whatever a skin writes.
inline constexpr int kMaxCoord = 1 << 20;

struct SkinAttr {
    std::string name;   // lower-cased
    std::string value;  // unescaped, as written
};

struct SkinNode {
    std::string tag;      // lower-cased element name
    std::string written;  // element name as written, for messages
    std::vector<SkinAttr> attrs;  // in document order
    std::vector<SkinNode> children;

    const std::string* Find(std::string_view name) const;  // name lower-case
    std::string Get(std::string_view name, std::string_view def = {}) const;
};

struct SkinFont {
    int id = 0;
    std::string name;  // one family or a comma-separated list of families
    int size = 12;     // pixels
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool isDefault = false;
};

struct SkinDoc {
    bool loaded = false;
    std::string error;            // why it did not load; empty when loaded
    bool isWindow = false;        // root was "Window"
    SkinNode root;                // the Window element (attributes only) or the template control
    std::vector<SkinFont> fonts;  // in file order
    // Class attribute lists given by <Default name="Button" value="..."/>,
    // keyed by lower-cased element name; applied before a control's own.
    std::map<std::string, std::vector<SkinAttr>> defaults;
    std::vector<SkinNode> controls;  // window skins: the top-level controls
};

// Parses skin text. A document that is not XML, or a window without
// anything in it, still returns a SkinDoc: `loaded` false and `error` says why.
SkinDoc ParseSkin(std::string_view xml);
// Reads the file first; a missing file is reported as such.
SkinDoc LoadSkinFile(const std::string& path);

// folder + file with "/" separators, adding one between them when the folder
// lacks it ("skin" + "a.xml" is "skin/a.xml", never "skina.xml").
std::string JoinSkinPath(std::string_view folder, std::string_view file);

std::string ToLower(std::string_view s);
bool EqualsNoCase(std::string_view a, std::string_view b);

// ---- value parsers: lenient, never failing; bad input gives the default ----
struct Rect4 {
    int l = 0, t = 0, r = 0, b = 0;
    bool operator==(const Rect4&) const = default;
};
struct Size2 {
    int cx = 0, cy = 0;
    bool operator==(const Size2&) const = default;
};

// Decimal integer, clamped to +-kMaxCoord.
int ParseInt(std::string_view s, int def = 0);
// "true"/"false" (any case), "1"/"0".
bool ParseBool(std::string_view s, bool def = false);
// "#AARRGGBB", "#RRGGBB" (opaque), with "#", "0x" or nothing in front.
bool ParseColor(std::string_view s, std::uint32_t& argb);
// "l,t,r,b"; missing numbers are 0.
Rect4 ParseRect(std::string_view s);
// "cx,cy".
Size2 ParseSize(std::string_view s);
// Splits "a,b,c" into integers (at most `max` of them).
std::vector<int> ParseInts(std::string_view s, std::size_t max = 8);

// An image reference: a bare file name, or key='value' pairs:
//   file='x.png' source='l,t,r,b' dest='l,t,r,b' corner='l,t,r,b' fade='0..255'
// source cuts a part of the file, dest places it inside the control (else it
// fills the control), corner keeps the borders unstretched.
struct ImageDesc {
    std::string file;
    Rect4 source, dest, corner;
    bool hasSource = false, hasDest = false, hasCorner = false;
    int fade = 255;
    bool empty() const { return file.empty(); }
};
ImageDesc ParseImage(std::string_view s);

// Alignment words of "align"/"valign" ("left", "center", "right", "top",
// "vcenter", "bottom", several allowed, separated by blanks or commas).
enum AlignFlags : unsigned {
    kAlignLeft = 1,
    kAlignHCenter = 2,
    kAlignRight = 4,
    kAlignTop = 8,
    kAlignVCenter = 16,
    kAlignBottom = 32,
};
// Words add to `current`: a horizontal word replaces the horizontal part,
// a vertical word the vertical part. "center" alone is horizontal.
unsigned ParseAlign(std::string_view s, unsigned current);

}  // namespace dui
