#pragma once
// The room window's side of buying: the buy dialogs, the VIP dialog, the
// car list, my pack, the video-text prompt, the VIP button's display and
// the wealth billboards, as the room asks for them (IPurchaseView). The
// dialogs post their choices to the room window, which hands them to the
// room's purchases (CRoomUI::HandleMessage).

#include <QPoint>
#include <QPointer>

#include <functional>
#include <vector>

#include "room/purchases/purchase_view.h"
#include "ui/car_list_dlg.h"
#include "ui/gift_buy_dlg.h"
#include "ui/my_pack_dlg.h"
#include "ui/prop_buy_dlg.h"
#include "ui/prop_video_text.h"
#include "ui/vip_buy_dlg.h"

class CRoomPurchasesView : public IPurchaseView {
public:
    // The room window: where the dialogs post, and whose controls (the VIP
    // button, the billboards) are shown here.
    explicit CRoomPurchasesView(WindowImplBase& window);
    ~CRoomPurchasesView() override;
    CRoomPurchasesView(const CRoomPurchasesView&) = delete;
    CRoomPurchasesView& operator=(const CRoomPurchasesView&) = delete;

    void OpenBuyDialog(const purchase::Offer& item, bool compact) override;
    std::optional<std::int64_t> GiftDialogCount() const override;
    void OpenVipDialog(const std::vector<purchase::VipTier>& tiers) override;
    void OpenCarList(const std::vector<purchase::Offer>& cars,
                     const std::vector<purchase::Offer>& packs) override;
    void ShowMyCars(const std::vector<purchase::OwnedCar>& cars) override;
    void ShowMyPack(const std::vector<purchase::PackLine>& pack) override;
    void ShowMyVips(const std::vector<purchase::OwnedVip>& vips, std::uint32_t level) override;
    void OpenPack() override;
    void OpenVideoTextDialog(std::function<void(const std::string& text)> ok) override;
    void ShowBillboard(const std::string& list,
                       const std::vector<purchase::BillboardLine>& lines) override;

    // The room has handled a confirmed buy: the gift dialog's count is no
    // longer asked for.
    void BuyHandled();

    // The VIP button's text and tooltip for my VIPs.
    static std::string VipButtonText(std::uint32_t level);
    static std::string VipTooltip(const std::vector<purchase::OwnedVip>& vips);

    // ---- parts, for tests; null until first opened ----
    CGiftBuyDlg* GiftDialog() const { return gift_; }
    CPropBuyDlg* PropDialog() const { return prop_; }
    CVipBuyDlg* VipDialog() const { return vip_; }
    CCarListDlg* CarList() const { return cars_; }
    CMyPackDlg* PackDialog() const { return pack_; }
    CPropVideoText* VideoTextDialog() const { return videoText_; }
    // Where the buy dialogs take the cursor to be (tests place it).
    void SetCursorSource(std::function<QPoint()> f) { cursor_ = std::move(f); }

private:
    WindowImplBase& window_;
    std::function<QPoint()> cursor_;
    QPointer<CGiftBuyDlg> gift_;
    QPointer<CPropBuyDlg> prop_;
    QPointer<CVipBuyDlg> vip_;
    QPointer<CCarListDlg> cars_;
    QPointer<CMyPackDlg> pack_;
    QPointer<CPropVideoText> videoText_;
    // My lists as last given, for a car list or pack opened later.
    std::vector<purchase::OwnedCar> myCars_;
    std::vector<purchase::PackLine> myPack_;
};
