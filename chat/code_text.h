#pragma once
// Conversions of chat code text that stay text.

#include <string>
#include <string_view>

class CFaceTable;

// The form whose length is checked before sending: "//" becomes "/", a face
// code becomes its face's tag (nothing for a number without a face); every
// other character, other codes included, is kept.
std::string ToPlainText(std::string_view code, const CFaceTable& faces);

// Applied to every received line before display: face tags typed as text
// become face codes. At a slash the shortest tag that matches (ignoring
// case) wins; the search stops as soon as no tag contains what was read. A
// doubled slash is the way a typed "/" travels, so "//smile" becomes a face
// too, while complete codes (faces, pictures, voice clips) pass untouched so
// that an id or URL holding a tag is never broken up.
std::string ExpandFaceTags(std::string_view code, const CFaceTable& faces);
