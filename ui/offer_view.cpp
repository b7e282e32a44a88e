#include "ui/offer_view.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

#include "platform/dui/window.h"
#include "ui/purchase_texts.h"

namespace offer_view {

QPoint PlaceAboveCursor(QPoint cursor, QSize size, const QRect& screen) {
    int x = cursor.x() - size.width() / 2;
    int y = cursor.y() - size.height();
    if (screen.isValid() && !screen.isEmpty()) {
        x = std::max(screen.left(), std::min(x, screen.right() + 1 - size.width()));
        y = std::max(screen.top(), std::min(y, screen.bottom() + 1 - size.height()));
    }
    return {x, y};
}

void MoveAboveCursor(WindowImplBase& w, QPoint cursor) {
    QScreen* s = QGuiApplication::screenAt(cursor);
    if (!s) s = QGuiApplication::primaryScreen();
    w.move(PlaceAboveCursor(cursor, w.size(), s ? s->availableGeometry() : QRect()));
}

void Present(WindowImplBase& w) {
    w.ShowWindow(true);
    w.raise();
    w.activateWindow();
}

bool ShowPicture(CControlUI* c, const std::string& file) {
    if (!c || file.empty()) return false;
    CSkinManager* m = c->GetManager();
    if (!m || m->Image(file).isNull()) return false;
    c->SetBkImage(file);
    return true;
}

void ShowOffer(WindowImplBase& w, const purchase::Offer& item) {
    // A reused dialog must not keep the last item's picture.
    CControlUI* icon = w.FindControl("icon");
    if (icon && !ShowPicture(icon, item.icon)) icon->SetBkImage("");
    w.SetControlText("Label_name", item.name);
    w.SetControlText("Label_price",
                     purchase_text::OfferPriceText(item.price, item.initialPrice, item.currency));
}

std::string VipRequirementText(std::uint32_t level) {
    return "需要VIP" + std::to_string(level) + "及以上才能购买";
}

}  // namespace offer_view
