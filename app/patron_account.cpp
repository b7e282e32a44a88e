#include "app/patron_account.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "core/log.h"
#include "net/power.h"
#include "platform/kitlib/kitlib.h"
#include "room/purchases/billboards.h"
#include "room/role_table.h"

CPatronAccount::~CPatronAccount() { Close(); }

std::uint32_t CPatronAccount::MyId() {
    std::uint32_t id = 0, expiry = 0;
    PATRON_GetLoginInfo(h_, &id, &expiry);
    return id;
}

MyAccount CPatronAccount::Me() {
    MyAccount me;
    PatronUserDetail d{};
    if (!PATRON_GetMyDetailInfo(h_, &d)) return me;
    char token[128] = {};
    PATRON_GetToken(h_, token);
    me.userId = d.userId;
    me.nickname = d.nickname;
    me.token = token;
    me.sex = d.sex <= 2 ? static_cast<std::uint8_t>(d.sex) : 2;
    me.card.head_url = d.headUrl;
    me.card.text2 = d.text2;
    me.card.profile_byte = d.profileByte;
    me.card.text4 = d.text4;
    me.card.wealth_grade = d.wealthGrade;
    me.card.wealth_colour = d.wealthColour;
    me.card.wealth_text = d.wealthText;
    me.card.value14 = d.value14;
    me.card.medal_url = d.medalUrl;
    me.card.vip_level = d.vipLevel;
    return me;
}

void CPatronAccount::LoginRoomNotify(std::uint32_t roomId) {
    PATRON_LoginRoomNotify(h_, MyId(), roomId, "", "");
}

void CPatronAccount::RequestAccountState() {
    std::uint32_t me = 0, b = 0;
    if (!PATRON_GetLoginInfo(h_, &me, &b)) return;
    PATRON_GetBalance(h_, me);
    PATRON_GetWealthGrade(h_, me, me);
    PATRON_GetMyCarList(h_, me, me);
    PATRON_GetMyVipList(h_, me);
    PATRON_GetMyPackList(h_, me);
    PATRON_GetUserLevel(h_, me);
}

void CPatronAccount::RequestBalance() { PATRON_GetBalance(h_, MyId()); }

void CPatronAccount::RequestBillboards() {
    const std::uint32_t me = MyId();
    // Every tab has its list: day, week, month and all time.
    for (std::uint32_t period = 0; period < billboard::kPeriods; ++period)
        PATRON_GetWealthBillBoard(h_, me, period, 0, billboard::kEntriesAsked);
}

void CPatronAccount::RequestFlowerCount(std::uint32_t anchorId) {
    PATRON_GetFlowerNum(h_, anchorId);
}

void CPatronAccount::RequestPowerList() {
    char token[128] = {};
    const std::uint32_t me = MyId();
    if (!me || !PATRON_GetToken(h_, token)) return;
    const std::string body = PowerListRequest(me, token);
    const std::string url = "http://" + KITLIB_GetIppaddr(1) + "/kampo?m=LB";
    if (!KITLIB_PostHttpUrl(window_, UM_POWER_LIST, url, body.data(), body.size()))
        log_msg("power list request not started\r\n");
}

void CPatronAccount::RequestPack() { PATRON_GetMyPackList(h_, MyId()); }

bool CPatronAccount::GiveProp(const PropUse& use) {
    PatronPropRecord r{};
    r.giverId = use.giverId;
    r.receiverId = use.receiverId;
    r.entryId = use.entryId;
    r.count = use.count;
    r.roomId = use.roomId;
    r.value = use.value;
    PatronCopyText(r.text, use.text.data(), use.text.size());
    return PATRON_GiveProp(h_, &r) != 0;
}

bool CPatronAccount::GiveGift(const PurchaseOrder& order) {
    PatronGiftRecord gift{};
    gift.receiverId = order.receiverId;
    gift.giverId = order.giverId;
    gift.roomId = order.roomId;
    gift.profileByte = order.profileByte;
    PatronCopyText(gift.receiverNick, order.receiverNick.data(), order.receiverNick.size());
    PatronCopyText(gift.giverNick, order.giverNick.data(), order.giverNick.size());
    PatronCopyText(gift.code, order.code.data(), order.code.size());
    PatronCopyText(gift.headUrl, order.headUrl.data(), order.headUrl.size());
    PatronCopyText(gift.text4, order.text4.data(), order.text4.size());
    PatronItemRecord item{};
    item.itemId = order.itemId;
    item.kind = order.kind;
    // Shown by the library only; the service charges its own price.
    item.price = static_cast<std::uint32_t>(std::clamp<std::int64_t>(order.price, 0, UINT32_MAX));
    PatronCopyText(item.name, order.itemName.data(), order.itemName.size());
    PatronCopyText(item.code, order.code.data(), order.code.size());
    return PATRON_GiveGift(h_, &gift, &item, order.count) != 0;
}

bool CPatronAccount::ActivateCar(std::uint32_t carId) {
    return PATRON_ActivateCar(h_, MyId(), std::to_string(carId).c_str()) != 0;
}

void CPatronAccount::Recharge() { PATRON_Recharge(h_, MyId()); }

bool CPatronAccount::GiveFlower(std::uint32_t anchorId, std::uint32_t roomId,
                                const std::string& json) {
    return PATRON_GiveFlower(h_, MyId(), anchorId, roomId, json.c_str()) != 0;
}

void CPatronAccount::RequestCars() {
    const std::uint32_t me = MyId();
    PATRON_GetMyCarList(h_, me, me);
}

void CPatronAccount::RequestVips() { PATRON_GetMyVipList(h_, MyId()); }

void CPatronAccount::ShowUserInfo(std::uint32_t userId) { PATRON_ShowUserInfo(h_, userId); }

void CPatronAccount::Close() {
    if (!h_) return;
    PATRON_Close(h_);
    h_ = 0;
}
