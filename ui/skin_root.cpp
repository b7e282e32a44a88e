#include "ui/skin_root.h"

#include <QFileInfo>

#include "core/paths.h"
#include "platform/dui/window.h"

namespace ui {

namespace {
bool HasRoomSkin(const std::string& root) {
    return QFileInfo::exists(QString::fromStdString(root + "skin/RoomUI.xml"));
}
}  // namespace

std::string DefaultSkinRoot() {
    const std::string exe = paths::ExeFolder();
    if (HasRoomSkin(exe)) return exe;
#ifdef ZERI_BUILD_ROOT
    if (HasRoomSkin(ZERI_BUILD_ROOT)) return ZERI_BUILD_ROOT;
#endif
    return exe;
}

std::string UseDefaultSkinRoot() {
    const std::string root = DefaultSkinRoot();
    dui::SetResourceRoot(root);
    return root;
}

}  // namespace ui
