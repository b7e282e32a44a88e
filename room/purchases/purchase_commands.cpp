// The headless input's purchase commands: what the panels, dialogs and
// buttons do in the window.
#include <cstdint>

#include "room/purchases/offers.h"
#include "room/purchases/room_purchases.h"
#include "room/typed_command.h"

bool CRoomPurchases::OnTypedCommand(const std::string& line) {
    const typed::Line t = typed::Split(line);
    const auto& a = t.args;
    IRoomView& view = session_.view();
    const auto usage = [&](const char* text) {
        view.ShowTip(std::string("usage: ") + text);
        return true;
    };
    std::uint32_t id = 0;
    std::int64_t n = 0;
    if (t.word == "/gift") {
        if (a.empty() || a.size() > 2 || !typed::ParseUserId(a[0], id)) return usage("/gift ID [N]");
        // A count that is no number reads as 0, as the dialog's does.
        if (a.size() == 2 && !typed::ParseNumber(a[1], INT64_MIN, INT64_MAX, n)) n = 0;
        Purchase(purchase::kGift, id, a.size() == 2 ? n : 1);
        return true;
    }
    if (t.word == "/buy") {
        std::int64_t kind = 0;
        if (a.size() != 2 || !typed::ParseNumber(a[0], 1, 7, kind) || !typed::ParseUserId(a[1], id))
            return usage("/buy KIND ID");
        Purchase(static_cast<std::uint32_t>(kind), id, 1);
        return true;
    }
    if (t.word == "/car") {
        if (a.size() != 1 || !typed::ParseUserId(a[0], id)) return usage("/car ID");
        ActivateCar(id);
        return true;
    }
    if (t.word == "/use") {
        if (a.empty() || !typed::ParseUserId(a[0], id)) return usage("/use ENTRY [TEXT]");
        UseEntry(id, a.size() > 1 ? std::optional<std::string>(t.rests[1]) : std::nullopt);
        return true;
    }
    if (t.word == "/flower" || t.word == "/recharge" || t.word == "/pack" || t.word == "/shop" ||
        t.word == "/vip") {
        if (!a.empty()) return usage(std::string(t.word).c_str());
        if (t.word == "/flower") GiveFlower();
        else if (t.word == "/recharge") Recharge();
        else if (t.word == "/pack") OpenPack();
        else if (t.word == "/shop") OpenCarList();
        else OpenVipDialog();
        return true;
    }
    if (t.word == "/balance") {
        view.Report("balance", std::to_string(balance_) + " pelto " + purchase::PeltoText(pelto_));
        return true;
    }
    return false;
}
