#pragma once
// Tiles of items built from a template of the window's skin folder, each
// with its own buttons (buy, activate, use). A button's click reaches the
// window by its name; the tile list tells which item it belongs to. When
// there are no tiles the list's caption says so. Tiles beyond what the area
// holds go to further pages, so every item can be reached.

#include <string>
#include <vector>

#include "platform/dui/small_controls.h"

class WindowImplBase;

// The tile's item of a list kept beside the tiles; nullptr outside it.
template <class T>
const T* TileItem(const std::vector<T>& items, int index) {
    return index >= 0 && index < static_cast<int>(items.size())
               ? &items[static_cast<std::size_t>(index)]
               : nullptr;
}

class CPurchaseTiles : public CTextTileUI {
public:
    using CTextTileUI::CTextTileUI;

    // Tiles one page holds: the cells that fit, at least one.
    int PerPage() const;
    // 0 without tiles.
    int PageCount() const;
    int Page() const { return page_; }
    // Shows that page (clamped to the pages there are).
    void SetPage(int page);
    // "2/3"; "" while there is at most one page.
    std::string PageText() const;
    void Relayout() override;

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
    // Shows the tiles of the current page only.
    void ApplyPage();

    std::string emptyText_;
    int page_ = 0;
    bool paging_ = false;
};

// A window's pager for its tile list: "bnt_page_prev", "Label_page",
// "bnt_page_next". Shown only when there is more than one page.
namespace tile_pager {
void Show(WindowImplBase& w, const CPurchaseTiles* list);
// A click on a page button turns the list's page; false for other names.
bool Turn(WindowImplBase& w, CPurchaseTiles* list, const std::string& name);
}  // namespace tile_pager
