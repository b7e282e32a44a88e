#include "ui/room_purchases_view.h"

#include <QCursor>

#include "platform/dui/window.h"
#include "ui/billboard_list.h"
#include "ui/purchase_texts.h"

namespace {

constexpr const char* kVipButton = "bnt_vip";

template <class T, class... Args>
T& Made(QPointer<T>& slot, Args&&... args) {
    if (!slot) {
        slot = new T(std::forward<Args>(args)...);
        slot->Create();
    }
    return *slot;
}

}  // namespace

CRoomPurchasesView::CRoomPurchasesView(WindowImplBase& window)
    : window_(window), cursor_([] { return QCursor::pos(); }) {}

CRoomPurchasesView::~CRoomPurchasesView() {
    // Top-level windows of their own: they go with the room window.
    delete gift_.data();
    delete prop_.data();
    delete vip_.data();
    delete cars_.data();
    delete pack_.data();
    delete videoText_.data();
}

void CRoomPurchasesView::OpenBuyDialog(const purchase::Offer& item, bool compact) {
    if (item.kind == purchase::kGift) {
        if (prop_) prop_->Close();
        Made(gift_, window_.GetHWND()).Open(item, compact, cursor_());
    } else {
        if (gift_) gift_->Close();
        Made(prop_, window_.GetHWND()).Open(item, compact, cursor_());
    }
}

std::optional<std::int64_t> CRoomPurchasesView::GiftDialogCount() const {
    if (!gift_ || !(gift_->isVisible() || gift_->AwaitingRoom())) return std::nullopt;
    return gift_->Count();
}

void CRoomPurchasesView::BuyHandled() {
    if (gift_) gift_->RoomHandled();
}

void CRoomPurchasesView::OpenVipDialog(const std::vector<purchase::VipTier>& tiers) {
    Made(vip_, window_.GetHWND()).Open(tiers);
}

void CRoomPurchasesView::OpenCarList(const std::vector<purchase::Offer>& cars,
                                     const std::vector<purchase::Offer>& packs) {
    CCarListDlg& dlg = Made(cars_, window_.GetHWND());
    dlg.ShowMyCars(myCars_);
    dlg.Open(cars, packs);
}

void CRoomPurchasesView::ShowMyCars(const std::vector<purchase::OwnedCar>& cars) {
    myCars_ = cars;
    if (cars_) cars_->ShowMyCars(cars);
}

void CRoomPurchasesView::ShowMyPack(const std::vector<purchase::PackLine>& pack) {
    myPack_ = pack;
    if (pack_) pack_->ShowPack(pack);
}

void CRoomPurchasesView::OpenPack() {
    CMyPackDlg& dlg = Made(pack_, window_.GetHWND());
    dlg.ShowPack(myPack_);
    dlg.Open();
}

std::string CRoomPurchasesView::VipButtonText(std::uint32_t level) {
    return level ? "VIP" + std::to_string(level) : "开通VIP";
}

std::string CRoomPurchasesView::VipTooltip(const std::vector<purchase::OwnedVip>& vips) {
    if (vips.empty()) return "尚未开通VIP";
    std::string text;
    for (const purchase::OwnedVip& v : vips) {
        if (!text.empty()) text += "\n";
        const std::string name = v.name.empty() ? "VIP" + std::to_string(v.level) : v.name;
        text += name + (v.expiry ? " 到期:" : " ") + purchase_text::ExpiryText(v.expiry);
    }
    return text;
}

void CRoomPurchasesView::ShowMyVips(const std::vector<purchase::OwnedVip>& vips,
                                    std::uint32_t level) {
    window_.SetControlText(kVipButton, VipButtonText(level));
    if (CControlUI* b = window_.FindControl(kVipButton)) b->SetToolTip(VipTooltip(vips));
}

void CRoomPurchasesView::OpenVideoTextDialog(std::function<void(const std::string& text)> ok) {
    Made(videoText_).Prompt(std::move(ok));
}

void CRoomPurchasesView::ShowBillboard(const std::string& list,
                                       const std::vector<purchase::BillboardLine>& lines) {
    if (auto* board = window_.FindControl<CUserBillboardList>(list)) board->SetLines(lines);
}
