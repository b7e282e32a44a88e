#include "platform/dui/menu.h"

#include <QCloseEvent>
#include <QEnterEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

#include <algorithm>

#include "core/log.h"
#include "platform/dui/draw.h"
#include "platform/dui/window_rules.h"

namespace {

constexpr int kGutter = 28;        // check mark or icon column
constexpr int kArrowRoom = 20;     // submenu arrow and right margin
constexpr int kSeparatorHeight = 7;

dui::SkinNode* FindNode(std::vector<dui::SkinNode>& nodes, std::string_view name) {
    for (auto& n : nodes) {
        if (n.Get("name") == name) return &n;
        if (auto* found = FindNode(n.children, name)) return found;
    }
    return nullptr;
}

void SetNodeAttr(dui::SkinNode& n, const std::string& attr, const std::string& value) {
    for (auto& a : n.attrs)
        if (a.name == attr) {
            a.value = value;
            return;
        }
    n.attrs.push_back({attr, value});
}

}  // namespace

// ---------------------------------------------------------------- CMenuUI

bool CMenuUI::SetAttribute(std::string_view name, const std::string& v) {
    if (name == "width") width_ = std::clamp(dui::ParseInt(v), 0, 4096);
    else if (name == "itemheight") itemHeight_ = std::clamp(dui::ParseInt(v, 26), 8, 512);
    else if (name == "itemfont") itemFont_ = std::clamp(dui::ParseInt(v, -1), -1, 255);
    else if (name == "itemhotbkcolor") hasHotBk_ = dui::ParseColor(v, hotBk_);
    else if (name == "itemtextcolor") hasItemText_ = dui::ParseColor(v, itemText_);
    else return CVerticalLayoutUI::SetAttribute(name, v);
    return true;
}

int CMenuUI::ContentHeight() const {
    long long h = inset_.t + inset_.b;
    for (CControlUI* c : items_)
        if (!c->isHidden()) h += c->FixedSize().cy + c->Padding().t + c->Padding().b;
    return static_cast<int>(std::min<long long>(h, dui::kMaxCoord));
}

// ---------------------------------------------------------------- CMenuElementUI

CMenuElementUI::CMenuElementUI(CMenuWnd* menu) : menu_(menu) { setMouseTracking(true); }

bool CMenuElementUI::SetAttribute(std::string_view name, const std::string& v) {
    if (name == "checked") checked_ = dui::ParseBool(v);
    else if (name == "checkimg") checkImage_ = v;
    else if (name == "icon") icon_ = v;
    else if (name == "line") line_ = dui::ParseBool(v);
    else return CControlUI::SetAttribute(name, v);
    update();
    return true;
}

void CMenuElementUI::SetChecked(bool checked) {
    checked_ = checked;
    update();
}

int CMenuElementUI::WantedWidth() const {
    if (line_ || !manager_) return 0;
    auto* body = dynamic_cast<CMenuUI*>(Owner());
    const QFont font = manager_->Font(body ? body->ItemFont() : -1);
    int w = 0;
    for (const auto& pr : dui::LayoutTextRuns(dui::ParseTextMarkup(text_), dui::WindowRunMetrics(*manager_, font)))
        w = std::max(w, pr.x + pr.width);
    return kGutter + w + kArrowRoom;
}

void CMenuElementUI::mousePressEvent(QMouseEvent* e) { e->accept(); }

void CMenuElementUI::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint())) menu_->Choose(this);
}

void CMenuElementUI::enterEvent(QEnterEvent*) {
    hot_ = true;
    update();
    if (HasSubmenu() && isEnabled()) menu_->ShowSubmenu(this);
}

void CMenuElementUI::leaveEvent(QEvent*) {
    hot_ = false;
    update();
}

void CMenuElementUI::DoPaint(QPainter& p) {
    PaintBkColor(p);
    PaintBkImage(p);
    const QRect rc = rect();
    auto* body = dynamic_cast<CMenuUI*>(Owner());
    if (line_) {
        p.setPen(QColor(0xD0, 0xD0, 0xD0));
        p.drawLine(rc.left() + 4, rc.center().y(), rc.right() - 4, rc.center().y());
        return;
    }
    if (hot_ && isEnabled()) p.fillRect(rc, dui::ToQColor(body && body->HasHotBk() ? body->HotBk() : 0xFFE5F3FFu));
    if (!manager_) return;
    if (checked_) {
        if (checkImage_.empty() || !DrawImage(p, rc, checkImage_)) {
            // No check image in the skin: a drawn tick instead.
            p.save();
            p.setRenderHint(QPainter::Antialiasing);
            QPen pen(isEnabled() ? QColor(0x30, 0x30, 0x30) : manager_->DisabledTextColor(), 2);
            p.setPen(pen);
            const int cy = rc.center().y();
            p.drawPolyline(QPolygon({QPoint(8, cy), QPoint(12, cy + 4), QPoint(20, cy - 5)}));
            p.restore();
        }
    } else if (!icon_.empty()) {
        DrawImage(p, QRect(rc.left() + 4, rc.top() + (rc.height() - 16) / 2, 16, 16), icon_);
    }
    const QColor color = !isEnabled()           ? manager_->DisabledTextColor()
                         : body && body->HasItemText() ? dui::ToQColor(body->ItemText())
                                                       : manager_->DefaultTextColor();
    const QFont font = manager_->Font(body ? body->ItemFont() : -1);
    dui::DrawMarkupLine(p, *manager_, rc.adjusted(kGutter, 0, -kArrowRoom, 0), text_, font, color,
                        dui::kAlignLeft | dui::kAlignVCenter);
    if (HasSubmenu()) {
        p.save();
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(color, 1.5));
        const int x = rc.right() - 10, cy = rc.center().y();
        p.drawPolyline(QPolygon({QPoint(x - 3, cy - 4), QPoint(x + 1, cy), QPoint(x - 3, cy + 4)}));
        p.restore();
    }
    PaintBorder(p);
}

// ---------------------------------------------------------------- CMenuWnd

CMenuWnd::CMenuWnd(WindowImplBase* owner, const std::string& menuFile)
    : QWidget(owner, Qt::Popup | Qt::FramelessWindowHint), owner_(owner) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName("MenuWnd");
    if (owner) manager_.CopyStyle(owner->Manager());
    std::string path = menuFile;
    std::replace(path.begin(), path.end(), '\\', '/');
    if (path.empty() || path.front() != '/') path = dui::JoinSkinPath(manager_.SkinFolder(), path);
    const dui::SkinDoc doc = dui::LoadSkinFile(path);
    if (!doc.loaded) error_ = doc.error;
    else if (doc.root.tag != "menu") error_ = path + ": the root element is <" + doc.root.written + ">, not <Menu>";
    if (!error_.empty()) {
        log_msg("skin: menu not shown: %s", error_.c_str());
        return;
    }
    Build(doc.root);
}

CMenuWnd::CMenuWnd(WindowImplBase* owner, const dui::SkinNode& menu, CMenuWnd* parentMenu)
    : QWidget(parentMenu, Qt::Popup | Qt::FramelessWindowHint), owner_(owner), parentMenu_(parentMenu) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName("MenuWnd");
    if (parentMenu) manager_.CopyStyle(parentMenu->Manager());
    Build(menu);
}

CMenuWnd::~CMenuWnd() { delete body_; }

void CMenuWnd::Build(const dui::SkinNode& root) {
    body_ = new CMenuUI(this);
    body_->SetManager(&manager_);
    if (root.Find("bkcolor") == nullptr) body_->SetBkColor(0xFFFFFFFFu);
    if (root.Find("bordercolor") == nullptr) {
        body_->SetAttribute("bordercolor", "#FFB8B8B8");
        body_->SetAttribute("bordersize", "1");
        body_->SetAttribute("inset", "1,2,1,2");
    }
    body_->ApplyAttributeList(root.attrs);
    for (const auto& node : root.children) {
        if (node.tag != "menuelement") {
            log_msg("skin: <%s> in a menu is not a MenuElement; skipped", node.written.c_str());
            continue;
        }
        auto* e = new CMenuElementUI(this);
        e->SetManager(&manager_);
        for (const auto& a : node.attrs) e->SetAttribute(a.name, a.value);
        if (e->FixedSize().cy == 0) e->SetFixedHeight(e->IsSeparator() ? kSeparatorHeight : body_->ItemHeight());
        if (!node.children.empty()) {
            // The submenu keeps the look of this menu, not its width.
            dui::SkinNode& sub = e->Submenu();
            sub.tag = "menu";
            sub.written = "Menu";
            for (const auto& a : root.attrs)
                if (a.name != "width") sub.attrs.push_back(a);
            sub.children = node.children;
        }
        body_->Add(e);
    }
}

int CMenuWnd::ElementCount() const { return body_ ? body_->GetCount() : 0; }

CMenuElementUI* CMenuWnd::FindElement(std::string_view name) const {
    return body_ ? dynamic_cast<CMenuElementUI*>(body_->FindSubControl(name)) : nullptr;
}

bool CMenuWnd::SetElementAttribute(std::string_view name, std::string_view attr, const std::string& value) {
    if (!body_ || name.empty()) return false;
    const std::string lower = dui::ToLower(attr);
    if (CMenuElementUI* e = FindElement(name)) return e->SetAttribute(lower, value);
    // Elements of submenus exist as skin data until their submenu opens.
    for (int i = 0; i < body_->GetCount(); ++i) {
        auto* e = dynamic_cast<CMenuElementUI*>(body_->GetItemAt(i));
        if (!e) continue;
        if (dui::SkinNode* n = FindNode(e->Submenu().children, name)) {
            SetNodeAttr(*n, lower, value);
            return true;
        }
    }
    return false;
}

bool CMenuWnd::SetElementEnabled(std::string_view name, bool enabled) {
    return SetElementAttribute(name, "enabled", enabled ? "true" : "false");
}

bool CMenuWnd::SetElementChecked(std::string_view name, bool checked) {
    return SetElementAttribute(name, "checked", checked ? "true" : "false");
}

bool CMenuWnd::SetElementVisible(std::string_view name, bool visible) {
    return SetElementAttribute(name, "visible", visible ? "true" : "false");
}

bool CMenuWnd::AddElement(const std::string& name, const std::string& text, std::string_view parent) {
    if (!body_) return false;
    dui::SkinNode node;
    node.tag = "menuelement";
    node.written = "MenuElement";
    node.attrs = {{"name", name}, {"text", text}};
    if (parent.empty()) {
        auto* e = new CMenuElementUI(this);
        e->SetManager(&manager_);
        e->SetAttribute("name", name);
        e->SetAttribute("text", text);
        e->SetFixedHeight(body_->ItemHeight());
        return body_->Add(e);
    }
    if (CMenuElementUI* p = FindElement(parent)) {
        dui::SkinNode& sub = p->Submenu();
        sub.tag = "menu";
        sub.children.push_back(std::move(node));
        p->update();
        return true;
    }
    for (int i = 0; i < body_->GetCount(); ++i) {
        auto* e = dynamic_cast<CMenuElementUI*>(body_->GetItemAt(i));
        if (!e) continue;
        if (dui::SkinNode* n = FindNode(e->Submenu().children, parent)) {
            n->children.push_back(std::move(node));
            return true;
        }
    }
    return false;
}

void CMenuWnd::Layout() {
    if (!body_) return;
    int w = body_->Width();
    if (w <= 0) {
        w = 120;
        for (int i = 0; i < body_->GetCount(); ++i)
            if (auto* e = dynamic_cast<CMenuElementUI*>(body_->GetItemAt(i))) w = std::max(w, e->WantedWidth());
        w += body_->Inset().l + body_->Inset().r;
    }
    resize(std::min(w, 4096), std::max(1, body_->ContentHeight()));
    CContainerUI::Place(body_, rect());
}

void CMenuWnd::Popup(QPoint screenPos) {
    if (!body_ || body_->GetCount() == 0) {
        deleteLater();  // never shown, so closing would not delete it
        return;
    }
    Layout();
    QScreen* s = QGuiApplication::screenAt(screenPos);
    if (!s) s = QGuiApplication::primaryScreen();
    if (s) {
        const QRect a = s->availableGeometry();
        const dui::Box b = dui::PlacePopup(screenPos.x(), screenPos.y(), width(), height(),
                                           {a.x(), a.y(), a.width(), a.height()});
        move(b.x, b.y);
    } else {
        move(screenPos);
    }
    show();
}

CMenuWnd* CMenuWnd::TopMenu() {
    CMenuWnd* m = this;
    while (m->parentMenu_) m = m->parentMenu_;
    return m;
}

void CMenuWnd::ShowSubmenu(CMenuElementUI* element) {
    if (!element || !element->HasSubmenu()) return;
    if (sub_) sub_->close();
    sub_ = new CMenuWnd(owner_, element->Submenu(), this);
    sub_->Popup(element->mapToGlobal(QPoint(element->width(), 0)));
}

void CMenuWnd::Choose(CMenuElementUI* element) {
    if (!element || element->IsSeparator() || !element->isEnabled()) return;
    if (element->HasSubmenu()) {
        ShowSubmenu(element);
        return;
    }
    // Menus go away first, so that a dialog the choice opens is not under
    // them; they are deleted later, so the element still lives below.
    QPointer<WindowImplBase> owner = owner_;
    for (CMenuWnd* m = this; m; m = m->parentMenu_) m->close();
    if (owner) owner->Manager().SendNotify(element, dui::notify::kMenuMsg);
}

void CMenuWnd::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(e);
}

void CMenuWnd::closeEvent(QCloseEvent* e) {
    if (sub_) sub_->close();
    QWidget::closeEvent(e);
}
