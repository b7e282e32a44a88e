#pragma once
// Window messages the room's panels and purchase dialogs post to the room
// window; the room host hands them to the purchases feature.

namespace purchase {

enum : unsigned {
    UM_ITEM_CHOSEN = 1742,   // a panel's item: (kind, item id)
    UM_BUY_ITEM = 1772,      // a confirmed buy: (kind, item id)
    UM_ACTIVATE_CAR = 1775,  // the car list: (car id, 0)
    UM_USE_PROP = 1787,      // my pack: (pack entry id, 0)
};

}  // namespace purchase
