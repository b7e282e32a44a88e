#pragma once
// Spending in the room: buying and giving from the panels and dialogs,
// props from my pack, flowers, recharging, and the account's answers (my
// balances, my cars, pack and VIP memberships, wealth grades and the wealth
// billboards). It reaches the account through IRoomAccount and shows
// through IRoomView::Purchases(); the room-wide effects (gift lines, cars
// arriving, the flower counter) come as pushed data to the chat.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "room/catalogue/gift_record.h"
#include "room/purchases/purchase_actions.h"
#include "room/purchases/purchase_view.h"
#include "room/room_account.h"
#include "room/room_session.h"

class CRoomChat;
class CRoomModeration;

struct RoomPurchasesSetup {
    std::string dataFolder;  // catalogue files are relative to it; empty: the data folder
    // The catalogue of a purchase kind (1, 4, 6, 7); null while there is none.
    std::function<const catalogue::GiftRecords*(std::uint32_t kind)> catalogue;
    // A medal URL's local file once cached; empty while it is fetched (or
    // cannot be). MedalsArrived() tells when more are in.
    std::function<std::string(const std::string& url)> medalIcon;
};

// Counts a gift dialog takes.
inline constexpr std::int64_t kMinGiftCount = 1;
inline constexpr std::int64_t kMaxGiftCount = 9999;
// Longest video-text prop text, in bytes (the account record holds 127).
inline constexpr std::size_t kMaxVideoTextBytes = 127;

class CRoomPurchases : public IRoomFeature, public IPurchaseActions {
public:
    // Construct after session.Start(), after the moderation (which keeps my
    // pack) and the chat (which keeps the flower counter; may be null).
    // Adds itself to the session.
    CRoomPurchases(CRoomSession& session, IRoomAccount& account, CRoomModeration& moderation,
                   CRoomChat* chat, RoomPurchasesSetup setup);
    ~CRoomPurchases() override;
    CRoomPurchases(const CRoomPurchases&) = delete;
    CRoomPurchases& operator=(const CRoomPurchases&) = delete;

    enum class Result {
        sent,
        bad_count,   // tip "赠送礼物数量不能为小于0" (or over the most)
        no_anchor,   // a gift with nobody (or me) on the anchor microphone
        not_found,   // not in the catalogue of its kind: tip "购买失败！"
        not_sent,    // the account refused the call at once
        not_in_room,
        nothing,     // a prop that is used elsewhere, or no such entry
    };

    // A buy or a gift of `count` (the gift dialog's count, or a typed one).
    Result Purchase(std::uint32_t kind, std::uint32_t itemId, std::int64_t count);
    // Uses a pack entry; the video-text prop takes `text` when given,
    // otherwise it asks for it.
    Result UseEntry(std::uint32_t entryId, const std::optional<std::string>& text);

    // A medal picture arrived: the billboards showing it are drawn again.
    void MedalsArrived();

    // IPurchaseActions
    void ChooseItem(std::uint32_t kind, std::uint32_t itemId) override;
    void BuyOrGive(std::uint32_t kind, std::uint32_t itemId) override;
    void ActivateCar(std::uint32_t carId) override;
    void UseProp(std::uint32_t entryId) override { UseEntry(entryId, std::nullopt); }
    void GiveFlower() override;
    void FlowerAnimationWrapped() override;
    void Recharge() override;
    void OpenVipDialog() override;
    void OpenCarList() override;
    void OpenPack() override;
    std::uint32_t Balance() const override { return balance_; }
    std::uint32_t Pelto() const override { return pelto_; }
    std::uint32_t MyVipLevel() const override { return vipLevel_; }

    // IRoomFeature
    bool OnPacket(std::uint32_t, const unsigned char*, std::size_t) override { return false; }
    bool OnWindowMessage(const WindowMessage& m) override;
    bool OnTypedCommand(const std::string& line) override;
    void OnRoomCleared() override;

private:
    // The account's answers (purchase_results.cpp).
    void OnPurchaseResult(const WindowMessage& m);
    void OnBalance(const WindowMessage& m);
    void OnFlowerCount(const WindowMessage& m);
    void OnFlowerFailed();
    void OnWealthGrade(const WindowMessage& m);
    void OnCarActivated(const WindowMessage& m);
    void OnCarList(const WindowMessage& m);
    void OnVipList(const WindowMessage& m);
    void OnRechargeResult(const WindowMessage& m);
    void OnBillboard(const WindowMessage& m);
    void ShowPack();
    void ShowBillboard(const std::string& list);

    const catalogue::GiftRecords* Catalogue(std::uint32_t kind) const;
    const catalogue::GiftRecord* Find(std::uint32_t kind, std::uint32_t itemId) const;
    std::string IconOf(std::uint32_t kind, std::uint32_t itemId) const;
    void ShowFlowerButton();
    void SendVideoText(std::uint32_t entryId, const std::string& text);
    std::string FlowerJson() const;

    CRoomSession& session_;
    IRoomAccount& account_;
    CRoomModeration& moderation_;
    CRoomChat* chat_;
    RoomPurchasesSetup setup_;

    std::uint32_t balance_ = 0;
    std::uint32_t pelto_ = 0;
    std::uint32_t vipLevel_ = 0;
    // The billboards as last answered, medals as URLs (drawn again when
    // one arrives).
    std::map<std::string, std::vector<purchase::BillboardLine>> billboards_;
    // The video-text prompt may answer after this feature has gone.
    std::shared_ptr<CRoomPurchases*> self_;
};
