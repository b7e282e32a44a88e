#pragma once
// The purchase dialogs and lists without windows: one short line each for
// what a person would see ("buy:", "vip:", "shop:", "mycars:", "pack:",
// "prompt:", "billboard:"), and the state tests read. The gift dialog holds
// its count (1 when opened) until the next buy closes it.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "room/purchases/purchase_view.h"

class CHeadlessPurchaseView : public IPurchaseView {
public:
    using SayFn = std::function<void(const std::string& kind, const std::string& text)>;
    explicit CHeadlessPurchaseView(SayFn say) : say_(std::move(say)) {}

    void OpenBuyDialog(const purchase::Offer& item, bool compact) override;
    std::optional<std::int64_t> GiftDialogCount() const override { return giftCount_; }
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

    // As if the person typed a count into the open gift dialog (tests);
    // false when none is open.
    bool SetGiftCount(std::int64_t count);
    void CloseBuyDialog() { giftCount_.reset(); buyItem_.reset(); }
    // As if the person entered the text and pressed OK; false when no
    // prompt is open.
    bool AnswerVideoText(const std::string& text);

    const std::optional<purchase::Offer>& buyItem() const { return buyItem_; }
    bool compact() const { return compact_; }
    const std::vector<purchase::VipTier>& vipTiers() const { return vipTiers_; }
    const std::vector<purchase::Offer>& carShop() const { return carShop_; }
    const std::vector<purchase::Offer>& packShop() const { return packShop_; }
    const std::vector<purchase::OwnedCar>& myCars() const { return myCars_; }
    const std::vector<purchase::PackLine>& myPack() const { return myPack_; }
    const std::vector<purchase::OwnedVip>& myVips() const { return myVips_; }
    std::uint32_t vipLevel() const { return vipLevel_; }
    int packOpened() const { return packOpened_; }
    const std::map<std::string, std::vector<purchase::BillboardLine>>& billboards() const {
        return billboards_;
    }

private:
    SayFn say_;
    std::optional<purchase::Offer> buyItem_;
    std::optional<std::int64_t> giftCount_;
    bool compact_ = false;
    std::vector<purchase::VipTier> vipTiers_;
    std::vector<purchase::Offer> carShop_, packShop_;
    std::vector<purchase::OwnedCar> myCars_;
    std::vector<purchase::PackLine> myPack_;
    std::vector<purchase::OwnedVip> myVips_;
    std::uint32_t vipLevel_ = 0;
    int packOpened_ = 0;
    std::function<void(const std::string&)> videoTextOk_;
    std::map<std::string, std::vector<purchase::BillboardLine>> billboards_;
};
