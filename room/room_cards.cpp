// Gag and cancel-gag cards: moderation paid with a prop from my pack instead
// of a power. The room checks what it can see (the target, its state, my
// cards); the server checks again, and spends the card only when it acts.
#include <string>

#include "core/log.h"
#include "room/room_moderation.h"

namespace {

struct CardTexts {
    const char* none;        // no such card with one left
    const char* callFailed;  // the account library refused the call
};
constexpr CardTexts kGagCard{"你没有禁言卡", "使用禁言卡失败，网络连接异常"};
constexpr CardTexts kCancelGagCard{"你没有解禁卡", "使用解禁卡失败，网络连接异常"};

}  // namespace

CRoomModeration::Result CRoomModeration::UseGagCard(std::uint32_t target) {
    return UseCard(target, kPropGagCard);
}

CRoomModeration::Result CRoomModeration::UseCancelGagCard(std::uint32_t target) {
    return UseCard(target, kPropCancelGagCard);
}

CRoomModeration::Result CRoomModeration::UseCard(std::uint32_t target, std::uint32_t prop) {
    const bool gag = prop == kPropGagCard;
    const CardTexts& texts = gag ? kGagCard : kCancelGagCard;
    IRoomView& view = session_.view();
    if (!session_.loggedIn()) return Refuse(Result::not_in_room);
    const auto it = session_.users().find(target);
    if (it == session_.users().end()) return Refuse(Result::no_target);
    const bool me = target == session_.myUserId();
    if (gag && me) {
        view.ShowTip("不能对自己使用禁言卡");
        return Result::self;
    }
    if (it->second.gagged == gag) {
        view.ShowTip(gag ? "对方已被禁言" : me ? "您没有被禁言, 无法使用解禁卡" : "对方未被禁言");
        return Result::already;
    }
    if (!pack_.loaded()) {
        // Not listed yet (the account was slow or failed): ask again.
        account_.RequestPack();
        view.ShowTip("道具列表尚未获取，请稍后再试");
        return Result::no_card;
    }
    const PackItem* card = pack_.FirstEntry(prop);
    if (!card) {
        view.ShowTip(texts.none);
        return Result::no_card;
    }
    PropUse use;
    use.giverId = session_.myUserId();
    use.receiverId = target;
    use.entryId = card->entryId;
    use.count = 1;
    use.roomId = session_.roomId();
    use.value = card->value;
    if (!account_.GiveProp(use)) {
        view.ShowTip(texts.callFailed);
        return Result::not_sent;
    }
    log_msg("use prop %d to_userid =%d entry=%d\r\n", static_cast<int>(prop),
            static_cast<int>(target), static_cast<int>(card->entryId));
    return Result::sent;
}

bool CRoomModeration::OnWindowMessage(const WindowMessage& m) {
    switch (m.msg) {
        case UM_PACK_LIST:
            if (!pack_.OnPackList(m)) {
                const std::string* why = m.As<std::string>();
                session_.view().ShowTip("获取自己包裹列表失败");
                log_msg("pack list fail: %s\r\n", why ? why->c_str() : "");
            } else if (onPackListed_) {
                onPackListed_();
            }
            return true;
        case UM_PROP_USED:
            OnPropUsed(m);
            return true;
        default:
            return false;
    }
}

void CRoomModeration::OnPropUsed(const WindowMessage& m) {
    if (m.wParam != 1) {
        session_.view().ShowTip("使用道具失败!");
        log_msg("use prop fail entry=%d\r\n", static_cast<int>(m.lParam));
        return;
    }
    session_.view().ShowTip("使用道具成功!");
    // The prop's count has changed, and a prop may have been a car.
    account_.RequestCars();
    account_.RequestPack();
}

void CRoomModeration::OnLoggedIn() { account_.RequestPack(); }
