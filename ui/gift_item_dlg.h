#pragma once
// The pop-up of a hovered panel item ("GiftItemDlg.xml"): its animation
// (the icon when it has none), name, price and the VIP level it asks for.
// It never takes the focus: the panel under the cursor keeps the mouse.

#include <QPoint>

#include <cstdint>
#include <string>

#include "platform/dui/window.h"
#include "room/catalogue/gift_items.h"

class CGifControl;

class GiftItemDlg : public WindowImplBase {
public:
    // The pop-up's corner is this far right of and below the cursor.
    static constexpr int kCursorOffset = 5;

    GiftItemDlg();

    std::string GetWindowClassName() const override { return "GiftItemUI"; }
    std::string GetSkinFile() const override { return "GiftItemDlg.xml"; }
    CControlUI* CreateControl(std::string_view name) override;

    // Name, price line, level line (hidden when my level is enough) and the
    // picture, loaded but not played: the panel steps its frames.
    void Fill(const catalogue::GiftItem& item, std::uint32_t myVipLevel);
    void ShowAtCursor(QPoint cursorOnScreen);
    void Hide();
    CGifControl* Picture() const;
};
