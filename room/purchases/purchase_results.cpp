// The account's answers to what the room asked: purchase results, my
// balances, flowers, wealth grades, my lists and the wealth billboards.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "core/log.h"
#include "platform/patron/patron_records.h"
#include "room/purchases/billboards.h"
#include "room/purchases/offers.h"
#include "room/purchases/room_purchases.h"
#include "room/room_chat.h"

namespace {

constexpr const char* kBoxTitle = "提示";

template <std::size_t N>
std::string Text(const char (&field)[N]) {
    return std::string(field, strnlen(field, N));
}

// The reason a failed answer carries, for the log.
std::string Why(const WindowMessage& m) {
    const std::string* why = m.As<std::string>();
    return why ? *why : std::string();
}

}  // namespace

void CRoomPurchases::OnPurchaseResult(const WindowMessage& m) {
    IRoomView& view = session_.view();
    const PatronPurchaseResult* r = m.As<PatronPurchaseResult>();
    if (!r || m.wParam != 1 || r->status != 1) {
        std::string error = r ? Text(r->error) : std::string();
        if (error.empty()) error = "购买失败！";
        view.ShowTip(error);
        view.MessageBox(error, kBoxTitle, BoxIcon::Error);
    } else {
        const std::string kind = Text(r->kindText);
        if (kind == "1") {
            view.ShowTip("送礼物成功！");
        } else if (kind == "4" || kind == "6") {
            account_.RequestCars();
            account_.RequestPack();
            view.MessageBox(kind == "4" ? "购买座驾成功！" : "购买道具成功!", kBoxTitle, BoxIcon::Info);
        } else if (kind == "7") {
            account_.RequestVips();
            view.MessageBox("购买VIP成功！", kBoxTitle, BoxIcon::Info);
        }
    }
    // Whatever happened, the balance may have moved.
    account_.RequestBalance();
}

void CRoomPurchases::OnBalance(const WindowMessage& m) {
    const PatronBalance* b = m.wParam == 1 ? m.As<PatronBalance>() : nullptr;
    if (!b || b->status != 1) {
        session_.view().ShowTip("获取剩余金额失败");
        log_msg("balance fail: %s\r\n", Why(m).c_str());
        return;
    }
    balance_ = b->coins;
    pelto_ = b->pelto;
    session_.view().SetText("Label_Balance", std::to_string(balance_));
    session_.view().SetText("Label_Pelto", purchase::PeltoText(pelto_));
}

void CRoomPurchases::OnFlowerCount(const WindowMessage& m) {
    // A failed query says nothing of the count: the counter keeps what it shows.
    if (m.wParam != 1) {
        session_.view().ShowTip("获取剩余鲜花数失败");
        return;
    }
    if (chat_) chat_->SetFlowerCount(static_cast<std::uint32_t>(m.lParam));
}

void CRoomPurchases::OnFlowerFailed() {
    session_.view().ShowTip("送花失败");
    ShowFlowerButton();
}

void CRoomPurchases::OnWealthGrade(const WindowMessage& m) {
    const PatronWealthGrade* g = m.wParam == 1 ? m.As<PatronWealthGrade>() : nullptr;
    if (!g || g->status != 1) {
        session_.view().ShowTip("获取财富等级失败");
        log_msg("wealth grade fail: %s\r\n", Why(m).c_str());
        return;
    }
    WealthRecord w;
    w.grade = g->grade;
    w.colour = Text(g->colour);
    w.text = Text(g->gradeText);
    w.medalUrl = Text(g->medalUrl);
    session_.SetUserWealth(g->userId, w);
}

void CRoomPurchases::OnCarActivated(const WindowMessage& m) {
    if (m.wParam != 1) {
        session_.view().MessageBox("激活使用座驾失败", kBoxTitle, BoxIcon::Error);
        return;
    }
    // The car list shows which car is the active one: list my cars again.
    account_.RequestCars();
}

void CRoomPurchases::OnCarList(const WindowMessage& m) {
    const PatronCarList* list = m.wParam == 1 ? m.As<PatronCarList>() : nullptr;
    if (!list || list->status != 1) {
        session_.view().ShowTip("获取自己座驾列表失败");
        log_msg("car list fail: %s\r\n", Why(m).c_str());
        return;
    }
    std::vector<purchase::OwnedCar> cars;
    // The record's own count is not trusted beyond its array.
    const std::size_t n = std::min<std::size_t>(list->count, std::size(list->cars));
    for (std::size_t i = 0; i < n; ++i) {
        const PatronCar& c = list->cars[i];
        cars.push_back({c.carId, Text(c.name), c.expiry, c.active == 1, IconOf(purchase::kCar, c.carId)});
    }
    session_.view().Purchases().ShowMyCars(cars);
}

void CRoomPurchases::OnVipList(const WindowMessage& m) {
    const PatronVipList* list = m.wParam == 1 ? m.As<PatronVipList>() : nullptr;
    if (!list || list->status != 1) {
        session_.view().ShowTip("获取自己VIP列表失败");
        log_msg("vip list fail: %s\r\n", Why(m).c_str());
        return;
    }
    vipLevel_ = list->level;
    std::vector<purchase::OwnedVip> vips;
    const std::size_t n = std::min<std::size_t>(list->count, std::size(list->vips));
    for (std::size_t i = 0; i < n; ++i) {
        const PatronVip& v = list->vips[i];
        vips.push_back({v.vipId, v.level, Text(v.name), v.expiry});
    }
    session_.view().Purchases().ShowMyVips(vips, vipLevel_);
}

void CRoomPurchases::OnRechargeResult(const WindowMessage& m) {
    if (m.wParam == 1) account_.RequestBalance();
    else log_msg("recharge fail\r\n");
}

void CRoomPurchases::OnBillboard(const WindowMessage& m) {
    const AccountBillboard* b = m.As<AccountBillboard>();
    if (!b) return;
    billboard::Answer a = billboard::Parse(b->body.data(), b->body.size());
    if (!a.ok) {
        log_msg("OnGetWealthBillBoardResp error=%s\r\n", a.error.c_str());
        return;
    }
    if (a.list.empty()) return;
    billboards_[a.list] = std::move(a.lines);
    ShowBillboard(a.list);
}

void CRoomPurchases::ShowBillboard(const std::string& list) {
    std::vector<purchase::BillboardLine> lines = billboards_[list];
    for (purchase::BillboardLine& l : lines)
        l.icon = setup_.medalIcon && !l.icon.empty() ? setup_.medalIcon(l.icon) : std::string();
    session_.view().Purchases().ShowBillboard(list, lines);
}

void CRoomPurchases::MedalsArrived() {
    for (const auto& [list, lines] : billboards_) ShowBillboard(list);
}
