#include "app/patron_account.h"

#include <cstring>

#include "core/log.h"
#include "net/power.h"
#include "platform/kitlib/kitlib.h"
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
    PATRON_GetWealthBillBoard(h_, me, 0, 0, 20);
    PATRON_GetWealthBillBoard(h_, me, 1, 0, 20);
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

void CPatronAccount::ShowUserInfo(std::uint32_t userId) { PATRON_ShowUserInfo(h_, userId); }

void CPatronAccount::Close() {
    if (!h_) return;
    PATRON_Close(h_);
    h_ = 0;
}
