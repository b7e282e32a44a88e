#include "ui/purchase_tiles.h"

#include "core/log.h"
#include "platform/dui/builder.h"

int CPurchaseTiles::TileIndexOf(const CControlUI* c) const {
    for (const QWidget* w = c; w && w != this; w = w->parentWidget()) {
        if (w->parentWidget() != this) continue;
        for (int i = 0; i < GetCount(); ++i)
            if (GetItemAt(i) == w) return i;
    }
    return -1;
}

CControlUI* CPurchaseTiles::AddTile(const std::string& templateFile) {
    CSkinManager* m = GetManager();
    if (!m) return nullptr;
    CControlUI* tile = CSkinBuilder::BuildFile(m->SkinFolder() + templateFile, *m, nullptr);
    if (!tile) return nullptr;
    if (!Add(tile)) {
        log_msg("skin: %s cannot be a tile", templateFile.c_str());
        delete tile;
        return nullptr;
    }
    return tile;
}

void CPurchaseTiles::Clear(const std::string& emptyText) {
    RemoveAll();
    emptyText_ = emptyText;
}

void CPurchaseTiles::DoneFilling() {
    SetText(GetCount() == 0 ? emptyText_ : std::string());
    Relayout();
    update();
}
