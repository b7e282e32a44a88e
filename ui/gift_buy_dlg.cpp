#include "ui/gift_buy_dlg.h"

#include <QLineEdit>

#include "core/paths.h"
#include "platform/dui/inputs.h"
#include "room/purchases/purchase_messages.h"
#include "ui/offer_view.h"
#include "ui/purchase_texts.h"

namespace {
constexpr const char* kCountHint = "请输入1-9999之间的数量";
}

CGiftBuyDlg::CGiftBuyDlg(HWND owner) : owner_(owner) {
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
}

void CGiftBuyDlg::InitWindow() {
    // Item pictures come from the catalogue's cache in the data folder.
    Manager().AddImageRoot(paths::DataFolder());
    fullHeight_ = height();
    // Typed, pasted or set: the total and the hint follow every change.
    if (auto* edit = FindControl<CEditUI>("Edit_count"))
        QObject::connect(edit->Edit(), &QLineEdit::textChanged, this, [this] { ShowCount(); });
}

void CGiftBuyDlg::Open(const purchase::Offer& item, bool compact, QPoint cursor) {
    item_ = item;
    compact_ = compact;
    awaiting_ = false;
    offer_view::ShowOffer(*this, item);
    SetControlText("Edit_count", "1");
    SetControlVisible("Container_count", !compact);
    SetControlEnabled("bnt_ok", !compact);
    if (compact)
        SetControlText("Label_hint", offer_view::VipRequirementText(item.buyRequest));
    else
        ShowCount();
    if (fullHeight_ > 0) resize(width(), compact ? kCompactHeight : fullHeight_);
    offer_view::MoveAboveCursor(*this, cursor);
    offer_view::Present(*this);
}

std::int64_t CGiftBuyDlg::Count() const {
    return purchase_text::ParseGiftCount(GetControlText("Edit_count"));
}

void CGiftBuyDlg::ShowCount() {
    const std::int64_t n = Count();
    SetControlText("Label_total", purchase_text::TotalText(item_.price, n, item_.currency));
    SetControlText("Label_hint", n == 0 ? kCountHint : "");
}

void CGiftBuyDlg::Confirm() {
    if (compact_) return;
    awaiting_ = true;
    PostMessage(owner_, purchase::UM_BUY_ITEM, purchase::kGift, item_.itemId);
    if (Count() > 0) Close();
}

void CGiftBuyDlg::Notify(TNotifyUI& msg) {
    namespace n = dui::notify;
    const std::string& name = msg.senderName;
    if (msg.sType == n::kReturn && name == "Edit_count") {
        Confirm();
    } else if (msg.sType == n::kClick) {
        if (name == "bnt_ok")
            Confirm();
        else if (name == "bnt_cancel" || name == "bnt_close")
            Close();
    }
}
