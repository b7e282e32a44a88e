#pragma once
// Where the program's "skin/" folder is found.

#include <string>

namespace ui {
// The folder holding "skin/" for a program in `exeFolder`: that folder when
// the room skin is there (a copied program, the build tree's app/), else
// "../share/zeri/" beside it (an installed program: bin/ and share/zeri/
// under one prefix), else the build tree's, so a client or test started
// anywhere in a development build finds its skins. Ends with "/".
std::string FindSkinRoot(const std::string& exeFolder);
// FindSkinRoot of the running executable.
std::string DefaultSkinRoot();
// Points dui::SetResourceRoot at DefaultSkinRoot() and returns it.
std::string UseDefaultSkinRoot();
}  // namespace ui
