#include "ui/prop_buy_dlg.h"

#include "core/paths.h"
#include "room/purchases/purchase_messages.h"
#include "ui/offer_view.h"

CPropBuyDlg::CPropBuyDlg(HWND owner) : owner_(owner) {
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
}

void CPropBuyDlg::InitWindow() { Manager().AddImageRoot(paths::DataFolder()); }

const char* CPropBuyDlg::TitleFor(std::uint32_t kind) {
    return kind == purchase::kCar ? "座驾" : "道具";
}

std::string CPropBuyDlg::DetailFor(const purchase::Offer& item) {
    if (item.kind == purchase::kCar)
        return item.validTime > 0 ? "有效期" + std::to_string(item.validTime) + "天"
                                  : std::string();
    return item.useTimes > 0 ? "可使用" + std::to_string(item.useTimes) + "次" : std::string();
}

void CPropBuyDlg::Open(const purchase::Offer& item, bool compact, QPoint cursor) {
    item_ = item;
    compact_ = compact;
    const char* title = TitleFor(item.kind);
    setWindowTitle(QString::fromUtf8(title));
    SetControlText("text_title", title);
    offer_view::ShowOffer(*this, item);
    SetControlText("Label_detail", DetailFor(item));
    SetControlText("Label_hint",
                   compact ? offer_view::VipRequirementText(item.buyRequest) : std::string());
    SetControlEnabled("bnt_ok", !compact);
    offer_view::MoveAboveCursor(*this, cursor);
    offer_view::Present(*this);
}

void CPropBuyDlg::Confirm() {
    if (compact_) return;
    Close();
    PostMessage(owner_, purchase::UM_BUY_ITEM, item_.kind, item_.itemId);
}

void CPropBuyDlg::Notify(TNotifyUI& msg) {
    if (msg.sType != dui::notify::kClick) return;
    if (msg.senderName == "bnt_ok")
        Confirm();
    else if (msg.senderName == "bnt_cancel" || msg.senderName == "bnt_close")
        Close();
}
