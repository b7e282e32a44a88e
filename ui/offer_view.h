#pragma once
// What the buy dialogs have in common: where they open, and an item's
// picture, name and price in the controls of that name.

#include <QPoint>
#include <QRect>
#include <QSize>

#include <string>

#include "room/purchases/purchase_view.h"

class CControlUI;
class WindowImplBase;

namespace offer_view {

// Just above the cursor and centred on it, moved inside `screen` (when it
// is a real area) so that a click near an edge still shows all of it.
QPoint PlaceAboveCursor(QPoint cursor, QSize size, const QRect& screen);
// The window moved there, on the screen under the cursor.
void MoveAboveCursor(WindowImplBase& w, QPoint cursor);

// Shows the window on top and gives it the keyboard.
void Present(WindowImplBase& w);

// "icon" (the item's picture, or none when the window cannot draw it), "Label_name"
// and "Label_price".
void ShowOffer(WindowImplBase& w, const purchase::Offer& item);

// A picture from the data folder on a control; false (and the skin's
// picture kept) when it cannot be drawn.
bool ShowPicture(CControlUI* c, const std::string& file);

// "需要VIP3及以上才能购买"
std::string VipRequirementText(std::uint32_t level);

}  // namespace offer_view
