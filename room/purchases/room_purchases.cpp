#include "room/purchases/room_purchases.h"

#include <cstdio>

#include "core/log.h"
#include "core/paths.h"
#include "net/json.h"
#include "room/purchases/offers.h"
#include "room/purchases/purchase_messages.h"
#include "room/room_chat.h"
#include "room/room_moderation.h"

using purchase::Offer;

namespace {

constexpr const char* kBoxTitle = "提示";
constexpr const char* kBadCount = "赠送礼物数量不能为小于0";
constexpr const char* kTooMany = "赠送礼物数量不能大于9999";
constexpr const char* kNoAnchor = "当前没有主播，无法赠送";
constexpr const char* kNotFound = "购买失败！";
constexpr const char* kGiftCallFailed = "送礼物失败，网络连接异常";
constexpr const char* kBuyCallFailed = "购买道具失败，网络连接异常";
constexpr const char* kNotGagged = "您没有被禁言, 无法使用解禁卡";
constexpr const char* kGagCardHint = "请在用户列表选中用户点击右键菜单使用禁言卡！";
constexpr const char* kVideoTextFailed = "使用上视频失败，网络连接异常";
constexpr const char* kVideoTextBad = "字幕内容须为1到127字节的文字";
constexpr const char* kFlowerFailed = "送花失败";
constexpr const char* kNotListedYet = "商品列表尚未获取，请稍后再试";
constexpr const char* kNotInRoom = "请先进入房间";

bool ValidVideoText(const std::string& text) {
    if (text.empty() || text.size() > kMaxVideoTextBytes) return false;
    for (unsigned char c : text)
        if (c < 0x20 || c == 0x7F) return false;
    return true;
}

std::string ColourText(std::uint32_t rgb) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "#%06X", rgb & 0xFFFFFFu);
    return buf;
}

}  // namespace

CRoomPurchases::CRoomPurchases(CRoomSession& session, IRoomAccount& account,
                               CRoomModeration& moderation, CRoomChat* chat,
                               RoomPurchasesSetup setup)
    : session_(session),
      account_(account),
      moderation_(moderation),
      chat_(chat),
      setup_(std::move(setup)),
      vipLevel_(session.me().card.vip_level),
      self_(std::make_shared<CRoomPurchases*>(this)) {
    setup_.dataFolder =
        setup_.dataFolder.empty() ? paths::DataFolder() : paths::WithSlash(setup_.dataFolder);
    moderation_.SetOnPackListed([this] { ShowPack(); });
    session_.AddFeature(this);
}

CRoomPurchases::~CRoomPurchases() {
    *self_ = nullptr;
    moderation_.SetOnPackListed({});
    session_.RemoveFeature(this);
}

const catalogue::GiftRecords* CRoomPurchases::Catalogue(std::uint32_t kind) const {
    return setup_.catalogue ? setup_.catalogue(kind) : nullptr;
}

const catalogue::GiftRecord* CRoomPurchases::Find(std::uint32_t kind, std::uint32_t itemId) const {
    const catalogue::GiftRecords* records = Catalogue(kind);
    if (!records) return nullptr;
    for (const catalogue::GiftRecord& r : *records)
        if (r.id == itemId) return r.IsGroup() ? nullptr : &r;
    return nullptr;
}

std::string CRoomPurchases::IconOf(std::uint32_t kind, std::uint32_t itemId) const {
    const catalogue::GiftRecord* r = Find(kind, itemId);
    return r ? purchase::CatalogueFile(setup_.dataFolder, r->iconFile) : std::string();
}

// ---- buying and giving ----

void CRoomPurchases::ChooseItem(std::uint32_t kind, std::uint32_t itemId) {
    if (kind != purchase::kGift && kind != purchase::kCar && kind != purchase::kProp) return;
    const catalogue::GiftRecord* r = Find(kind, itemId);
    if (!r) {
        session_.view().ShowTip(kNotFound);
        log_msg("buy dialog: item %u of kind %u not listed\r\n", itemId, kind);
        return;
    }
    const Offer offer = purchase::OfferOf(kind, *r, setup_.dataFolder);
    session_.view().Purchases().OpenBuyDialog(offer, offer.buyRequest > vipLevel_);
}

void CRoomPurchases::BuyOrGive(std::uint32_t kind, std::uint32_t itemId) {
    std::int64_t count = 1;
    if (kind == purchase::kGift)
        count = session_.view().Purchases().GiftDialogCount().value_or(1);
    Purchase(kind, itemId, count);
}

CRoomPurchases::Result CRoomPurchases::Purchase(std::uint32_t kind, std::uint32_t itemId,
                                                std::int64_t count) {
    IRoomView& view = session_.view();
    const MyAccount& me = session_.me();
    PurchaseOrder order;
    if (kind == purchase::kGift) {
        if (count < kMinGiftCount) {
            view.ShowTip(kBadCount);
            return Result::bad_count;
        }
        if (count > kMaxGiftCount) {
            view.ShowTip(kTooMany);
            return Result::bad_count;
        }
        const RoomUser& anchor = session_.anchor();
        // Gifts go to the anchor on the microphone, never back to me.
        if (!session_.loggedIn() || anchor.userId == 0 || anchor.userId == me.userId) {
            view.ShowTip(kNoAnchor);
            return Result::no_anchor;
        }
        order.receiverId = anchor.userId;
        order.receiverNick = anchor.nickname;
        order.count = static_cast<std::uint32_t>(count);
    } else {
        order.receiverId = me.userId;
        order.receiverNick = me.nickname;
        order.count = 1;
    }
    const catalogue::GiftRecord* item =
        kind == purchase::kGift || kind == purchase::kCar || kind == purchase::kProp ||
                kind == purchase::kVip
            ? Find(kind, itemId)
            : nullptr;
    if (!item) {
        view.ShowTip(kNotFound);
        return Result::not_found;
    }
    order.kind = kind;
    order.itemId = item->id;
    order.giverId = me.userId;
    order.giverNick = me.nickname;
    order.roomId = session_.roomId();
    order.code = item->checkCode;
    order.itemName = item->name;
    order.price = item->price;
    order.headUrl = me.card.head_url;
    order.text4 = me.card.text4;
    order.profileByte = me.card.profile_byte;
    if (!account_.GiveGift(order)) {
        view.ShowTip(kind == purchase::kGift ? kGiftCallFailed : kBuyCallFailed);
        return Result::not_sent;
    }
    log_msg("purchase kind=%u item=%u count=%u to=%u\r\n", kind, order.itemId, order.count,
            order.receiverId);
    return Result::sent;
}

void CRoomPurchases::ActivateCar(std::uint32_t carId) {
    if (!account_.ActivateCar(carId)) session_.view().MessageBox("激活使用座驾失败", kBoxTitle, BoxIcon::Error);
}

// ---- props ----

CRoomPurchases::Result CRoomPurchases::UseEntry(std::uint32_t entryId,
                                                const std::optional<std::string>& text) {
    const PackItem* entry = nullptr;
    for (const PackItem& p : moderation_.pack().items())
        if (p.entryId == entryId) entry = &p;
    if (!entry || entry->count == 0) {
        log_msg("use prop: no entry %u\r\n", entryId);
        return Result::nothing;
    }
    IRoomView& view = session_.view();
    switch (entry->propId) {
        case kPropGagCard:
            // Used on somebody, from the user list's menu.
            view.MessageBox(kGagCardHint, kBoxTitle, BoxIcon::Info);
            return Result::nothing;
        case kPropCancelGagCard:
            if (!session_.gagged()) {
                view.MessageBox(kNotGagged, kBoxTitle, BoxIcon::Info);
                return Result::nothing;
            }
            return moderation_.UseCancelGagCard(session_.myUserId()) == CRoomModeration::Result::sent
                       ? Result::sent
                       : Result::not_sent;
        case kPropVideoText: {
            if (!session_.loggedIn()) {
                view.ShowTip(kNotInRoom);
                return Result::not_in_room;
            }
            if (text) {
                SendVideoText(entryId, *text);
                return Result::sent;
            }
            std::weak_ptr<CRoomPurchases*> self = self_;
            view.Purchases().OpenVideoTextDialog([self, entryId](const std::string& t) {
                if (auto p = self.lock(); p && *p) (*p)->SendVideoText(entryId, t);
            });
            return Result::sent;
        }
        default: return Result::nothing;
    }
}

void CRoomPurchases::SendVideoText(std::uint32_t entryId, const std::string& text) {
    IRoomView& view = session_.view();
    if (!ValidVideoText(text)) {
        view.ShowTip(kVideoTextBad);
        return;
    }
    // The entry is looked up again: the pack may have changed while the
    // prompt was open.
    const PackItem* entry = nullptr;
    for (const PackItem& p : moderation_.pack().items())
        if (p.entryId == entryId && p.propId == kPropVideoText && p.count > 0) entry = &p;
    if (!entry || !session_.loggedIn()) return;
    PropUse use;
    use.giverId = session_.myUserId();
    use.receiverId = session_.myUserId();
    use.entryId = entry->entryId;
    use.count = 1;
    use.roomId = session_.roomId();
    use.value = entry->value;
    use.text = text;
    if (!account_.GiveProp(use)) view.ShowTip(kVideoTextFailed);
}

// ---- flowers and the rest of the buttons ----

std::string CRoomPurchases::FlowerJson() const {
    const MyAccount& me = session_.me();
    json::value o = json::value::object();
    o.set("headUrl", me.card.head_url);
    o.set("msgContentColor", ColourText(chat_ ? chat_->myColour() : 0));
    o.set("role", static_cast<std::int64_t>(session_.myRole()));
    o.set("sex", static_cast<std::int64_t>(me.sex));
    o.set("medalIconUrl", me.card.medal_url);
    o.set("nickname", me.nickname);
    return o.dump();
}

void CRoomPurchases::GiveFlower() {
    IRoomView& view = session_.view();
    // Only while my own record exists: I am in a room.
    if (!session_.loggedIn() || !session_.users().count(session_.myUserId())) {
        view.ShowTip(kNotInRoom);
        return;
    }
    const std::uint32_t anchor = session_.anchor().userId;
    if (anchor == 0) {
        view.ShowTip(kNoAnchor);
        return;
    }
    if (!account_.GiveFlower(anchor, session_.roomId(), FlowerJson())) {
        view.ShowTip(kFlowerFailed);
        return;
    }
    view.SetVisible("gif_flower", true);
    view.SetVisible("bnt_flower", false);
}

void CRoomPurchases::ShowFlowerButton() {
    session_.view().SetVisible("gif_flower", false);
    session_.view().SetVisible("bnt_flower", true);
}

// The animation has played once: the button comes back for the next flower.
void CRoomPurchases::FlowerAnimationWrapped() { ShowFlowerButton(); }

void CRoomPurchases::Recharge() { account_.Recharge(); }

void CRoomPurchases::OpenVipDialog() {
    const catalogue::GiftRecords* vips = Catalogue(purchase::kVip);
    if (!vips || vips->empty()) {
        session_.view().ShowTip(kNotListedYet);
        return;
    }
    session_.view().Purchases().OpenVipDialog(purchase::VipTiers(*vips, setup_.dataFolder));
}

void CRoomPurchases::OpenCarList() {
    const catalogue::GiftRecords* cars = Catalogue(purchase::kCar);
    const catalogue::GiftRecords* packs = Catalogue(purchase::kProp);
    static const catalogue::GiftRecords none;
    session_.view().Purchases().OpenCarList(
        purchase::OffersOf(purchase::kCar, cars ? *cars : none, setup_.dataFolder),
        purchase::OffersOf(purchase::kProp, packs ? *packs : none, setup_.dataFolder));
}

void CRoomPurchases::OpenPack() {
    ShowPack();
    session_.view().Purchases().OpenPack();
}

void CRoomPurchases::ShowPack() {
    std::vector<purchase::PackLine> lines;
    for (const PackItem& p : moderation_.pack().items())
        lines.push_back({p.entryId, p.propId, p.count, p.name, IconOf(purchase::kProp, p.propId)});
    session_.view().Purchases().ShowMyPack(lines);
}

void CRoomPurchases::OnRoomCleared() {
    // The flower of the last room has been given; the button is back.
    ShowFlowerButton();
}

// ---- dispatch ----

bool CRoomPurchases::OnWindowMessage(const WindowMessage& m) {
    const auto a = static_cast<std::uint32_t>(m.wParam);
    const auto b = static_cast<std::uint32_t>(m.lParam);
    switch (m.msg) {
        case purchase::UM_ITEM_CHOSEN: ChooseItem(a, b); return true;
        case purchase::UM_BUY_ITEM: BuyOrGive(a, b); return true;
        case purchase::UM_ACTIVATE_CAR: ActivateCar(a); return true;
        case purchase::UM_USE_PROP: UseProp(a); return true;
        case UM_PURCHASE_RESULT: OnPurchaseResult(m); return true;
        case UM_BALANCE: OnBalance(m); return true;
        case UM_FLOWER_COUNT: OnFlowerCount(m); return true;
        case UM_FLOWER_FAILED: OnFlowerFailed(); return true;
        case UM_WEALTH_GRADE: OnWealthGrade(m); return true;
        case UM_CAR_ACTIVATED: OnCarActivated(m); return true;
        case UM_CAR_LIST: OnCarList(m); return true;
        case UM_RECHARGE_RESULT: OnRechargeResult(m); return true;
        case UM_BILLBOARD: OnBillboard(m); return true;
        // The catalogues start from my VIP list as well: not ours alone.
        case UM_VIP_LIST: OnVipList(m); return false;
        default: return false;
    }
}
