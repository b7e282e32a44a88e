#include "app/account_callback.h"

#include <cstring>
#include <memory>

#include "core/app_context.h"
#include "platform/patron/patron.h"

namespace {

// Longest reason text taken from the library.
constexpr std::size_t kMaxText = 4096;

std::unique_ptr<CMessageData> Text(std::intptr_t b) {
    if (!b) return nullptr;
    const char* p = reinterpret_cast<const char*>(b);
    return std::make_unique<TMessageData<std::string>>(std::string(p, strnlen(p, kMaxText)));
}

template <class Record>
std::unique_ptr<CMessageData> Copy(std::intptr_t b) {
    if (!b) return nullptr;
    return std::make_unique<TMessageData<Record>>(*reinterpret_cast<const Record*>(b));
}

// A record when a = 1, otherwise the reason text.
template <class Record>
void PostResult(HWND w, unsigned msg, std::uintptr_t a, std::intptr_t b) {
    PostMessage(w, msg, a, 0, a == 1 ? Copy<Record>(b) : Text(b));
}

}  // namespace

void AccountCallback(int event, std::uintptr_t a, std::intptr_t b, void* context) {
    auto* ctx = static_cast<AppContext*>(context);
    if (!ctx || !ctx->GetRoom()) return;
    const HWND w = ctx->GetHwnd();
    if (!w) return;
    PostAccountEvent(w, event, a, b);
    if (event == PATRON_EV_CLOSED) ctx->SetRoom(nullptr);
}

void PostAccountEvent(HWND w, int event, std::uintptr_t a, std::intptr_t b) {
    switch (event) {
        case PATRON_EV_SESSION_LOST: PostMessage(w, UM_ACCOUNT_EXIT, 0, 0); break;
        case PATRON_EV_USER_LEVEL: PostResult<PatronUserLevel>(w, UM_USER_LEVEL, a, b); break;
        case PATRON_EV_FLOWER_COUNT: PostMessage(w, UM_FLOWER_COUNT, a, b); break;
        case PATRON_EV_FLOWER_FAILED: PostMessage(w, UM_FLOWER_FAILED, a, b); break;
        case PATRON_EV_BALANCE: PostResult<PatronBalance>(w, UM_BALANCE, a, b); break;
        case PATRON_EV_PURCHASE:
            PostMessage(w, UM_PURCHASE_RESULT, a, 0, Copy<PatronPurchaseResult>(b));
            break;
        case PATRON_EV_WEALTH_GRADE:
            PostResult<PatronWealthGrade>(w, UM_WEALTH_GRADE, a, b);
            break;
        case PATRON_EV_BILLBOARD: {
            // The body is lent for the call only: the window gets its own copy.
            auto copy = std::make_unique<TMessageData<AccountBillboard>>(AccountBillboard{});
            if (b && a)
                copy->value.body.assign(reinterpret_cast<const unsigned char*>(b),
                                        reinterpret_cast<const unsigned char*>(b) + a);
            PostMessage(w, UM_BILLBOARD, a, 0, std::move(copy));
            break;
        }
        case PATRON_EV_CAR_ACTIVATED: PostMessage(w, UM_CAR_ACTIVATED, a, b); break;
        case PATRON_EV_RECHARGE: PostMessage(w, UM_RECHARGE_RESULT, a, b); break;
        case PATRON_EV_CAR_LIST: PostResult<PatronCarList>(w, UM_CAR_LIST, a, b); break;
        case PATRON_EV_PACK_LIST: PostResult<PatronPackList>(w, UM_PACK_LIST, a, b); break;
        case PATRON_EV_VIP_LIST: PostResult<PatronVipList>(w, UM_VIP_LIST, a, b); break;
        case PATRON_EV_PROP_USED: PostMessage(w, UM_PROP_USED, a, b); break;
        case PATRON_EV_CLOSED: PostMessage(w, UM_ACCOUNT_EXIT, 0, 0); break;
        case PATRON_EV_ENTER_ROOM: PostMessage(w, UM_ACCOUNT_ENTER_ROOM, a, 0); break;
        default: break;
    }
}
