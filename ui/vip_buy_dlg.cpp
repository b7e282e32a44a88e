#include "ui/vip_buy_dlg.h"

#include "core/paths.h"
#include "room/purchases/purchase_messages.h"
#include "ui/offer_view.h"
#include "ui/purchase_texts.h"

CVipBuyDlg::CVipBuyDlg(HWND owner) : owner_(owner) {
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
}

void CVipBuyDlg::InitWindow() { Manager().AddImageRoot(paths::DataFolder()); }

std::string CVipBuyDlg::OptionName(int tier, int duration) {
    return std::string("Option_") + kTierNames[static_cast<std::size_t>(tier)] + "_" +
           std::to_string(duration);
}

std::string CVipBuyDlg::DurationText(const purchase::Offer& o) {
    const std::string price = purchase_text::PriceText(o.price, o.currency);
    if (o.validTime <= 0) return o.name.empty() ? price : o.name + " " + price;
    return std::to_string(o.validTime) + "天 " + price;
}

void CVipBuyDlg::Open(const std::vector<purchase::VipTier>& tiers) {
    tiers_ = tiers;
    if (tiers_.size() > kTiers) tiers_.resize(kTiers);
    for (int t = 0; t < kTiers; ++t) {
        const std::string suffix = kTierNames[static_cast<std::size_t>(t)];
        const purchase::VipTier* tier =
            t < static_cast<int>(tiers_.size()) ? &tiers_[static_cast<std::size_t>(t)] : nullptr;
        SetControlVisible("Container_" + suffix, tier && !tier->durations.empty());
        if (tier) SetControlText("Label_" + suffix, tier->name);
        for (int d = 0; d < kDurations; ++d) {
            const std::string option = OptionName(t, d);
            const bool has = tier && d < static_cast<int>(tier->durations.size());
            SetControlSelected(option, false);
            SetControlVisible(option, has);
            if (has)
                SetControlText(option, DurationText(tier->durations[static_cast<std::size_t>(d)]));
        }
    }
    SetControlText("Label_notice", "");
    CenterWindow();
    offer_view::Present(*this);
}

bool CVipBuyDlg::Buy(int tier) {
    if (tier < 0 || tier >= static_cast<int>(tiers_.size())) return false;
    const auto& durations = tiers_[static_cast<std::size_t>(tier)].durations;
    for (int d = 0; d < kDurations && d < static_cast<int>(durations.size()); ++d) {
        if (!IsControlSelected(OptionName(tier, d))) continue;
        SetControlText("Label_notice", "");
        Close();
        PostMessage(owner_, purchase::UM_BUY_ITEM, purchase::kVip,
                    durations[static_cast<std::size_t>(d)].itemId);
        return true;
    }
    SetControlText("Label_notice", kChooseFirst);
    return false;
}

void CVipBuyDlg::Notify(TNotifyUI& msg) {
    namespace n = dui::notify;
    const std::string& name = msg.senderName;
    if (msg.sType == n::kSelectChanged) {
        SetControlText("Label_notice", "");
    } else if (msg.sType == n::kClick) {
        if (name == "bnt_cancel" || name == "bnt_close") {
            Close();
            return;
        }
        for (int t = 0; t < kTiers; ++t)
            if (name == std::string("bnt_buy_") + kTierNames[static_cast<std::size_t>(t)]) Buy(t);
    }
}
