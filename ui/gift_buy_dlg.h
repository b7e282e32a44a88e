#pragma once
// The gift buy dialog ("GiftBuyDlg.xml"): the gift's picture, name and
// price, a count of 1 to 9999 and its total. Confirming posts UM_BUY_ITEM
// (1, item id) to the room window, which then reads the count here. The
// compact variant, for a gift that asks for a higher VIP level than mine,
// shows the gift and what it requires, and cannot confirm.

#include <cstdint>

#include "core/message.h"
#include "platform/dui/window.h"
#include "room/purchases/purchase_view.h"

class CGiftBuyDlg : public WindowImplBase {
public:
    static constexpr int kCompactHeight = 180;

    // `owner` receives UM_BUY_ITEM.
    explicit CGiftBuyDlg(HWND owner);

    std::string GetWindowClassName() const override { return "GiftBuyUI"; }
    std::string GetSkinFile() const override { return "GiftBuyDlg.xml"; }
    void Notify(TNotifyUI& msg) override;

    // Shows the gift above the cursor with a count of 1.
    void Open(const purchase::Offer& item, bool compact, QPoint cursor);
    const purchase::Offer& Item() const { return item_; }
    bool Compact() const { return compact_; }
    // The count as typed: 1 to 9999, 0 for anything else.
    std::int64_t Count() const;
    // The confirm button: posts UM_BUY_ITEM. A count the room takes closes
    // the dialog; any other stays for the person to mend (the room tells
    // why). Nothing in the compact variant.
    void Confirm();
    // Confirmed and not yet handled by the room: the count must still read
    // though the dialog is hidden.
    bool AwaitingRoom() const { return awaiting_; }
    void RoomHandled() { awaiting_ = false; }

protected:
    void InitWindow() override;

private:
    void ShowCount();

    HWND owner_;
    purchase::Offer item_;
    bool compact_ = false;
    bool awaiting_ = false;
    int fullHeight_ = 0;
};
