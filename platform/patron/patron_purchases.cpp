// The paying calls of a session: gifts and purchases, flowers, car
// activation and recharge. A purchase carries a random 128-bit request id;
// when its answer is lost on the way the same id is sent again, and the
// service, which keeps the answer under the id, does not take the money
// twice (docs/account-api.md).
#include <cstdio>
#include <cstring>
#include <random>

#include "core/log.h"
#include "platform/patron/patron_answer.h"

namespace patron {

namespace {

constexpr int kLostAnswerRetries = 2;

std::string NewRequestId() {
    thread_local std::random_device source;
    char out[33];
    for (int i = 0; i < 4; ++i)
        std::snprintf(out + 8 * i, 9, "%08x", static_cast<unsigned>(source()));
    return std::string(out, 32);
}

std::string Field(const char* text, std::size_t size) { return std::string(text, strnlen(text, size)); }

}  // namespace

CSession::Reply CSession::CallPurchase(const char* path, const std::string& body) {
    Reply r = Call(path, body, true);
    for (int i = 0; i < kLostAnswerRetries && !r.reached; ++i) {
        log_msg("patron %s: no answer, asking again with the same request id\r\n", path);
        r = Call(path, body, true);
    }
    return r;
}

bool CSession::GiveGift(const PatronGiftRecord& gift, const PatronItemRecord& item,
                        std::uint32_t count) {
    return Queue([this, gift, item, count] {
        const std::string id = NewRequestId();
        // Gifts go to the room's anchor; everything else is bought for me.
        const bool isGift = item.kind == 1;
        const Reply r =
            isGift ? CallPurchase("/account/gift", Body({{"room", gift.roomId},
                                                         {"receiver", gift.receiverId},
                                                         {"item", item.itemId},
                                                         {"count", count}},
                                                        {{"request", id}}))
                   : CallPurchase("/account/buy", Body({{"kind", item.kind},
                                                        {"item", item.itemId},
                                                        {"count", count}},
                                                       {{"request", id}}));
        PatronPurchaseResult out{};
        out.status = r.ok() ? 1 : 0;
        out.kind = item.kind;
        out.itemId = item.itemId;
        out.count = count;
        Put(out.kindText, std::to_string(item.kind));
        const cJSON* a = r.root.get();
        std::string receiver = r.ok() ? Str(a, "receiverNickname") : std::string();
        if (receiver.empty()) receiver = Field(gift.receiverNick, sizeof gift.receiverNick);
        std::string name = r.ok() ? Str(a, "name") : std::string();
        if (name.empty()) name = Field(item.name, sizeof item.name);
        Put(out.receiver, receiver);
        Put(out.itemName, name);
        if (!r.ok()) Put(out.error, r.error.empty() ? std::string(kBadAnswer) : r.error);
        Emit(PATRON_EV_PURCHASE, out.status, reinterpret_cast<std::intptr_t>(&out));
        if (!r.ok()) LoseSessionOn(r);
    });
}

bool CSession::GiveFlower(std::uint32_t anchor, std::uint32_t room) {
    return Queue([this, anchor, room] {
        // What the room shows of the giver the service takes from its tables.
        const Reply r = CallPurchase(
            "/account/flower", Body({{"room", room}, {"anchor", anchor}}, {{"request", NewRequestId()}}));
        if (r.ok()) return;  // the room's push shows it
        Emit(PATRON_EV_FLOWER_FAILED, 0, 0);
        LoseSessionOn(r);
    });
}

bool CSession::ActivateCar(std::uint32_t car) {
    return Queue([this, car] {
        const Reply r = Call("/account/activate-car", Body({{"car", car}}), true);
        Emit(PATRON_EV_CAR_ACTIVATED, r.ok() ? 1 : 0, car);
        if (!r.ok()) LoseSessionOn(r);
    });
}

bool CSession::Recharge(std::function<void(bool, const std::string&)> done) {
    return Queue([this, done = std::move(done)] {
        const Reply r = CallPurchase("/account/recharge", Body({}, {{"request", NewRequestId()}}));
        std::string text;
        if (r.ok())
            text = "+" + std::to_string(Int(r.root.get(), "credited")) + " coins, balance " +
                   std::to_string(Int(r.root.get(), "coins"));
        else
            text = r.error.empty() ? std::string(kBadAnswer) : r.error;
        if (done) done(r.ok(), text);
        Emit(PATRON_EV_RECHARGE, r.ok() ? 1 : 0, 0);
        if (!r.ok()) LoseSessionOn(r);
    });
}

}  // namespace patron
