#pragma once
// Tiles of items built from a template of the window's skin folder, each
// with its own buttons (buy, activate, use). A button's click reaches the
// window by its name; the tile list tells which item it belongs to. When
// there are no tiles the list's caption says so.

#include <string>

#include "platform/dui/small_controls.h"

class CPurchaseTiles : public CTextTileUI {
public:
    using CTextTileUI::CTextTileUI;

    // The index of the tile a control (a tile's button) is part of; -1 when
    // it belongs to no tile of this list.
    int TileIndexOf(const CControlUI* c) const;
    // The tile list a control belongs to, or nullptr.
    template <class T>
    static T* ListOf(const CControlUI* c) {
        for (const QWidget* w = c; w; w = w->parentWidget())
            if (auto* list = dynamic_cast<T*>(const_cast<QWidget*>(w))) return list;
        return nullptr;
    }

protected:
    // A tile from the template, added last; nullptr (logged) when the
    // template cannot be built.
    CControlUI* AddTile(const std::string& templateFile);
    // Empties the list; `emptyText` is the caption while it stays empty.
    void Clear(const std::string& emptyText);
    void DoneFilling();

private:
    std::string emptyText_;
};
