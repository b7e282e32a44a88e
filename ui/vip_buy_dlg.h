#pragma once
// The VIP dialog ("VipBuyDlg.xml"): three tiers side by side (Primary,
// Medium, Higher), each with up to four duration options and a buy button.
// A tier's button posts UM_BUY_ITEM (7, item id of its chosen option) to the
// room window, or says in the dialog that a duration must be chosen first.

#include <array>
#include <string>
#include <vector>

#include "core/message.h"
#include "platform/dui/window.h"
#include "room/purchases/purchase_view.h"

class CVipBuyDlg : public WindowImplBase {
public:
    static constexpr int kTiers = 3;
    static constexpr int kDurations = 4;
    // The tiers' control suffixes: "Container_Primary", "Label_Primary",
    // "Option_Primary_0".."Option_Primary_3", "bnt_buy_Primary".
    static constexpr std::array<const char*, kTiers> kTierNames = {"Primary", "Medium", "Higher"};
    static constexpr const char* kChooseFirst = "请先选择开通时长";

    explicit CVipBuyDlg(HWND owner);

    std::string GetWindowClassName() const override { return "VIPBuyUI"; }
    std::string GetSkinFile() const override { return "VipBuyDlg.xml"; }
    void Notify(TNotifyUI& msg) override;

    static std::string OptionName(int tier, int duration);
    // "30天 10.00元"
    static std::string DurationText(const purchase::Offer& o);

    // The tiers in order (beyond three are not shown; a tier without
    // durations is hidden), nothing chosen; centred on the screen.
    void Open(const std::vector<purchase::VipTier>& tiers);
    // A tier's buy button; false (and the notice shown) when nothing of the
    // tier is chosen.
    bool Buy(int tier);

protected:
    void InitWindow() override;

private:
    HWND owner_;
    std::vector<purchase::VipTier> tiers_;
};
