#include "ui/my_pack_dlg.h"

#include "core/paths.h"
#include "room/purchases/purchase_messages.h"
#include "ui/offer_view.h"

void CMyPackList::SetEntries(const std::vector<purchase::PackLine>& pack) {
    entries_.clear();
    Clear("背包里还没有道具");
    for (const purchase::PackLine& e : pack) {
        CControlUI* tile = AddTile("MyPackItem.xml");
        if (!tile) break;
        offer_view::ShowPicture(tile->FindSubControl("icon"), e.icon);
        if (CControlUI* c = tile->FindSubControl("Label_name")) {
            c->SetText(e.name);
            c->SetToolTip(e.name);
        }
        if (CControlUI* c = tile->FindSubControl("Label_count"))
            c->SetText("x" + std::to_string(e.count));
        if (CControlUI* b = tile->FindSubControl("bnt_use")) b->SetEnabled(e.count > 0);
        entries_.push_back(e);
    }
    DoneFilling();
}

const purchase::PackLine* CMyPackList::EntryAt(int index) const {
    return TileItem(entries_, index);
}

CMyPackDlg::CMyPackDlg(HWND owner) : owner_(owner) {
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
}

CControlUI* CMyPackDlg::CreateControl(std::string_view name) {
    if (name == "mypacklist") return new CMyPackList;
    return nullptr;
}

void CMyPackDlg::InitWindow() {
    Manager().AddImageRoot(paths::DataFolder());
    list_ = FindControl<CMyPackList>("List_pack");
}

void CMyPackDlg::Open() {
    CenterWindow();
    offer_view::Present(*this);
}

void CMyPackDlg::ShowPack(const std::vector<purchase::PackLine>& pack) {
    if (list_) list_->SetEntries(pack);
    tile_pager::Show(*this, list_);
}

bool CMyPackDlg::Use(CControlUI* button) {
    if (!button || button->GetName() != "bnt_use" || !button->IsEnabled()) return false;
    const CMyPackList* list = CPurchaseTiles::ListOf<CMyPackList>(button);
    const purchase::PackLine* e = list ? list->EntryAt(list->TileIndexOf(button)) : nullptr;
    if (!e || e->count == 0) return false;
    return PostMessage(owner_, purchase::UM_USE_PROP, e->entryId, 0);
}

void CMyPackDlg::Notify(TNotifyUI& msg) {
    if (msg.sType != dui::notify::kClick) return;
    if (msg.senderName == "bnt_close")
        Close();
    else if (!tile_pager::Turn(*this, list_, msg.senderName))
        Use(msg.pSender);
}
