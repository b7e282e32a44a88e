#pragma once
// Where the program's "skin/" folder is found.

#include <string>

namespace ui {
// The folder holding "skin/": the executable's folder when the room skin is
// there (an installed or copied program), otherwise the build tree's, so a
// client or test started anywhere in a development build finds its skins.
std::string DefaultSkinRoot();
// Points dui::SetResourceRoot at DefaultSkinRoot() and returns it.
std::string UseDefaultSkinRoot();
}  // namespace ui
