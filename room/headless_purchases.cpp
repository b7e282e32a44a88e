#include "room/headless_purchases.h"

#include <utility>

#include "room/purchases/offers.h"

namespace {

std::string Price(const purchase::Offer& o) {
    return purchase::PeltoText(static_cast<std::uint32_t>(o.price < 0 ? 0 : o.price)) + o.currency;
}

std::string Names(const std::vector<purchase::Offer>& offers) {
    std::string out;
    for (const purchase::Offer& o : offers)
        out += (out.empty() ? "" : ", ") + std::to_string(o.itemId) + " " + o.name + " " + Price(o);
    return out;
}

}  // namespace

void CHeadlessPurchaseView::OpenBuyDialog(const purchase::Offer& item, bool compact) {
    buyItem_ = item;
    compact_ = compact;
    const bool gift = item.kind == purchase::kGift;
    giftCount_ = gift ? std::optional<std::int64_t>(1) : std::nullopt;
    const char* what = gift ? "礼物" : item.kind == purchase::kCar ? "座驾" : "道具";
    std::string line = std::string(what) + " " + std::to_string(item.itemId) + " " + item.name + " " +
                       Price(item);
    if (compact) line += " (VIP" + std::to_string(item.buyRequest) + ")";
    line += gift ? " (/gift " + std::to_string(item.itemId) + " N)"
                 : " (/buy " + std::to_string(item.kind) + " " + std::to_string(item.itemId) + ")";
    say_("buy", line);
}

bool CHeadlessPurchaseView::SetGiftCount(std::int64_t count) {
    if (!giftCount_) return false;
    giftCount_ = count;
    return true;
}

void CHeadlessPurchaseView::OpenVipDialog(const std::vector<purchase::VipTier>& tiers) {
    vipTiers_ = tiers;
    for (const purchase::VipTier& t : tiers) say_("vip", t.name + ": " + Names(t.durations));
}

void CHeadlessPurchaseView::OpenCarList(const std::vector<purchase::Offer>& cars,
                                        const std::vector<purchase::Offer>& packs) {
    carShop_ = cars;
    packShop_ = packs;
    say_("shop", "座驾: " + Names(cars));
    say_("shop", "道具: " + Names(packs));
}

void CHeadlessPurchaseView::ShowMyCars(const std::vector<purchase::OwnedCar>& cars) {
    myCars_ = cars;
    std::string line;
    for (const purchase::OwnedCar& c : cars)
        line += (line.empty() ? "" : ", ") + std::to_string(c.carId) + " " + c.name +
                (c.active ? " *" : "");
    say_("mycars", line.empty() ? "-" : line);
}

void CHeadlessPurchaseView::ShowMyPack(const std::vector<purchase::PackLine>& pack) {
    myPack_ = pack;
    std::string line;
    for (const purchase::PackLine& p : pack)
        line += (line.empty() ? "" : ", ") + std::to_string(p.entryId) + " " + p.name + " x" +
                std::to_string(p.count);
    say_("pack", line.empty() ? "-" : line);
}

void CHeadlessPurchaseView::ShowMyVips(const std::vector<purchase::OwnedVip>& vips,
                                       std::uint32_t level) {
    myVips_ = vips;
    vipLevel_ = level;
    say_("myvip", "VIP" + std::to_string(level) + " (" + std::to_string(vips.size()) + ")");
}

void CHeadlessPurchaseView::OpenPack() { ++packOpened_; }

void CHeadlessPurchaseView::OpenVideoTextDialog(std::function<void(const std::string&)> ok) {
    videoTextOk_ = std::move(ok);
    say_("prompt", "上视频 (/use ENTRY TEXT)");
}

bool CHeadlessPurchaseView::AnswerVideoText(const std::string& text) {
    if (!videoTextOk_) return false;
    auto ok = std::exchange(videoTextOk_, nullptr);
    ok(text);
    return true;
}

void CHeadlessPurchaseView::ShowBillboard(const std::string& list,
                                          const std::vector<purchase::BillboardLine>& lines) {
    billboards_[list] = lines;
    std::string line = list + ":";
    for (const purchase::BillboardLine& l : lines)
        line += " " + std::to_string(l.place) + "." + l.nickname + "(" + std::to_string(l.userId) + ")";
    say_("billboard", line);
}
