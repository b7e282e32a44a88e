#include "ui/purchase_tiles.h"

#include <algorithm>

#include "core/log.h"
#include "platform/dui/builder.h"
#include "platform/dui/window.h"

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

int CPurchaseTiles::PerPage() const {
    const QRect in = InnerRect();
    const int gap = childPadding_;
    if (itemSize_.cx <= 0 || itemSize_.cy <= 0) return std::max(1, GetCount());
    // An area smaller than a cell still shows one tile a page.
    const int cols = std::max(1, (in.width() + gap) / (itemSize_.cx + gap));
    const int rows = std::max(1, (in.height() + gap) / (itemSize_.cy + gap));
    return cols * rows;
}

int CPurchaseTiles::PageCount() const {
    const int per = PerPage();
    return (GetCount() + per - 1) / per;
}

void CPurchaseTiles::SetPage(int page) {
    page_ = page;
    Relayout();
    update();
}

std::string CPurchaseTiles::PageText() const {
    const int pages = PageCount();
    return pages > 1 ? std::to_string(page_ + 1) + "/" + std::to_string(pages) : std::string();
}

void CPurchaseTiles::ApplyPage() {
    page_ = std::clamp(page_, 0, std::max(0, PageCount() - 1));
    const int per = PerPage();
    for (int i = 0; i < GetCount(); ++i) GetItemAt(i)->SetVisible(i / per == page_);
}

void CPurchaseTiles::Relayout() {
    // Showing and hiding tiles asks for a layout again.
    if (paging_) return;
    paging_ = true;
    ApplyPage();
    paging_ = false;
    CTextTileUI::Relayout();
}

void CPurchaseTiles::Clear(const std::string& emptyText) {
    page_ = 0;
    RemoveAll();
    emptyText_ = emptyText;
}

void CPurchaseTiles::DoneFilling() {
    SetText(GetCount() == 0 ? emptyText_ : std::string());
    Relayout();
    update();
}

namespace tile_pager {

void Show(WindowImplBase& w, const CPurchaseTiles* list) {
    const int pages = list ? list->PageCount() : 0;
    const int page = list ? list->Page() : 0;
    w.SetControlText("Label_page", list ? list->PageText() : std::string());
    for (const char* b : {"bnt_page_prev", "bnt_page_next", "Label_page"})
        w.SetControlVisible(b, pages > 1);
    w.SetControlEnabled("bnt_page_prev", page > 0);
    w.SetControlEnabled("bnt_page_next", page + 1 < pages);
}

bool Turn(WindowImplBase& w, CPurchaseTiles* list, const std::string& name) {
    if (name != "bnt_page_prev" && name != "bnt_page_next") return false;
    if (list) list->SetPage(list->Page() + (name == "bnt_page_next" ? 1 : -1));
    Show(w, list);
    return true;
}

}  // namespace tile_pager
