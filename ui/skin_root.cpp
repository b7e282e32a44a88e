#include "ui/skin_root.h"

#include <QDir>
#include <QFileInfo>

#include "core/paths.h"
#include "platform/dui/window.h"

namespace ui {

namespace {
bool HasRoomSkin(const std::string& root) {
    return QFileInfo::exists(QString::fromStdString(root + "skin/RoomUI.xml"));
}
}  // namespace

std::string FindSkinRoot(const std::string& exeFolder) {
    const std::string exe = paths::WithSlash(exeFolder);
    if (HasRoomSkin(exe)) return exe;
    // Cleaned: the skin manager takes only pictures under the folder as
    // written, and compares cleaned paths.
    const std::string installed =
        paths::WithSlash(QDir::cleanPath(QString::fromStdString(exe + "../share/zeri")).toStdString());
    if (HasRoomSkin(installed)) return installed;
#ifdef ZERI_BUILD_ROOT
    if (HasRoomSkin(ZERI_BUILD_ROOT)) return ZERI_BUILD_ROOT;
#endif
    return exe;
}

std::string DefaultSkinRoot() { return FindSkinRoot(paths::ExeFolder()); }

std::string UseDefaultSkinRoot() {
    const std::string root = DefaultSkinRoot();
    dui::SetResourceRoot(root);
    return root;
}

}  // namespace ui
