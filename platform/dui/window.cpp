#include "platform/dui/window.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHideEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainterPath>
#include <QRegion>
#include <QScreen>
#include <QWindow>

#include <algorithm>
#include <optional>
#include <vector>

#include "core/files.h"
#include "core/log.h"
#include "core/paths.h"
#include "platform/dui/builder.h"
#include "platform/dui/controls.h"
#include "platform/winmsg/message_target.h"

namespace dui {

namespace {
std::string& RootOverride() {
    static std::string root;
    return root;
}
}  // namespace

void SetResourceRoot(const std::string& folder) { RootOverride() = folder; }

std::string ResourceRoot() { return RootOverride().empty() ? paths::ExeFolder() : RootOverride(); }

QRegion RoundCornerRegion(int width, int height, int cornerW, int cornerH) {
    QPainterPath path;
    path.addRoundedRect(QRectF(0, 0, width + 1, height + 1), cornerW / 2.0, cornerH / 2.0);
    return QRegion(path.toFillPolygon().toPolygon());
}

}  // namespace dui

class WindowImplBase::Messages : public CMessageTarget {
public:
    explicit Messages(WindowImplBase* w) : w_(w) {}

protected:
    std::intptr_t OnMessage(const WindowMessage& m) override { return w_->HandleMessage(m); }
    void OnTimer(unsigned id) override { w_->OnTimer(id); }

private:
    WindowImplBase* w_;
};

WindowImplBase::WindowImplBase() : messages_(std::make_unique<Messages>(this)) {
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setMouseTracking(true);
}

WindowImplBase::~WindowImplBase() {
    // A window still shown at the end of the program never hid.
    if (isVisible() && !placeFile_.empty()) SavePlace();
    messages_.reset();  // no message or timer reaches a half-destroyed window
    manager_.RemoveNotifier(this);
    // Controls go while the manager they point to still exists.
    delete manager_.Root();
}

bool WindowImplBase::Create(QWidget* parent) {
    if (parent) setParent(parent, windowFlags());
    const std::string cls = GetWindowClassName();
    setObjectName(QString::fromStdString(cls));
    if (windowTitle().isEmpty()) setWindowTitle(QString::fromStdString(cls));
    std::string folder = GetSkinFolder();
    std::replace(folder.begin(), folder.end(), '\\', '/');
    if (folder.empty() || folder.front() != '/') folder = dui::JoinSkinPath(dui::ResourceRoot(), folder);
    manager_.SetSkinFolder(folder);
    const std::string path = dui::JoinSkinPath(folder, GetSkinFile());
    const dui::SkinDoc doc = dui::LoadSkinFile(path);
    if (!doc.loaded) {
        skinError_ = doc.error;
        log_msg("skin: window %s stays empty: %s", cls.c_str(), doc.error.c_str());
        return false;
    }
    manager_.ApplyWindowSkin(doc);
    if (doc.isWindow) ApplyWindowAttributes(doc.root);
    CControlUI* root = CSkinBuilder::Build(doc, manager_, this, this);
    if (!root) {
        skinError_ = path + ": no control could be built";
        log_msg("skin: window %s stays empty: %s", cls.c_str(), skinError_.c_str());
        return false;
    }
    manager_.SetRoot(root);
    manager_.AddNotifier(this);
    CContainerUI::Place(root, rect());
    WatchControls();
    loaded_ = true;
    InitWindow();
    manager_.SendNotify(nullptr, dui::notify::kWindowInit);
    return true;
}

void WindowImplBase::ApplyWindowAttributes(const dui::SkinNode& w) {
    const dui::Size2 size = dui::ParseSize(w.Get("size"));
    if (const auto* v = w.Find("mininfo")) {
        const dui::Size2 mn = dui::ParseSize(*v);
        setMinimumSize(std::max(0, mn.cx), std::max(0, mn.cy));
    }
    if (const auto* v = w.Find("maxinfo")) {
        const dui::Size2 mx = dui::ParseSize(*v);
        setMaximumSize(mx.cx > 0 ? mx.cx : QWIDGETSIZE_MAX, mx.cy > 0 ? mx.cy : QWIDGETSIZE_MAX);
    }
    if (size.cx > 0 && size.cy > 0) resize(size.cx, size.cy);
    caption_ = dui::ParseRect(w.Get("caption"));
    sizeBox_ = dui::ParseRect(w.Get("sizebox"));
    roundCorner_ = dui::ParseSize(w.Get("roundcorner"));
    if (const auto* t = w.Find("title")) setWindowTitle(QString::fromStdString(*t));
}

void WindowImplBase::WatchControls() {
    for (QWidget* child : findChildren<QWidget*>()) {
        if (!dynamic_cast<CControlUI*>(child)) continue;
        child->installEventFilter(this);
        child->setMouseTracking(true);  // edge cursors need moves without a button
    }
}

// ---------------------------------------------------------------- by name

CControlUI* WindowImplBase::FindControl(std::string_view name) const { return manager_.FindControl(name); }

bool WindowImplBase::SetControlText(std::string_view name, const std::string& utf8) {
    CControlUI* c = FindControl(name);
    if (c) c->SetText(utf8);
    return c != nullptr;
}

std::string WindowImplBase::GetControlText(std::string_view name) const {
    CControlUI* c = FindControl(name);
    return c ? c->GetText() : std::string();
}

bool WindowImplBase::SetControlVisible(std::string_view name, bool visible) {
    CControlUI* c = FindControl(name);
    if (c) c->SetVisible(visible);
    return c != nullptr;
}

bool WindowImplBase::IsControlVisible(std::string_view name) const {
    CControlUI* c = FindControl(name);
    return c && c->IsVisible();
}

bool WindowImplBase::SetControlEnabled(std::string_view name, bool enabled) {
    CControlUI* c = FindControl(name);
    if (c) c->SetEnabled(enabled);
    return c != nullptr;
}

bool WindowImplBase::SetControlAttribute(std::string_view name, std::string_view attr, const std::string& value) {
    CControlUI* c = FindControl(name);
    return c && c->SetAttribute(dui::ToLower(attr), value);
}

bool WindowImplBase::SetControlSelected(std::string_view name, bool selected) {
    auto* o = FindControl<COptionUI>(name);
    if (o) o->Selected(selected, false);
    return o != nullptr;
}

bool WindowImplBase::IsControlSelected(std::string_view name) const {
    auto* o = FindControl<COptionUI>(name);
    return o && o->IsSelected();
}

// ---------------------------------------------------------------- window

void WindowImplBase::ShowWindow(bool show) {
    setVisible(show);
    if (show) {
        raise();
        activateWindow();
    }
}

void WindowImplBase::Close() {
    closing_ = true;
    close();
    closing_ = false;
}

void WindowImplBase::CenterWindow() {
    if (QWidget* p = parentWidget()) {
        const QRect area = p->window()->geometry();
        if (!area.isEmpty()) move(area.center() - QPoint(width() / 2, height() / 2));
        return;
    }
    QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!s || s->availableGeometry().isEmpty()) return;
    const QRect a = s->availableGeometry();
    const dui::Box b = dui::CentredPlacement(width(), height(), minimumWidth(), minimumHeight(),
                                             {a.x(), a.y(), a.width(), a.height()});
    setGeometry(b.x, b.y, b.w, b.h);
}

QRect WindowImplBase::NormalGeometry() const {
    if (maximised_) return normalGeometry_;
    if (isMaximized() && QWidget::normalGeometry().isValid()) return QWidget::normalGeometry();
    return geometry();
}

bool WindowImplBase::RememberPlace(const std::string& file) {
    placeFile_ = file;
    std::string text;
    std::optional<dui::Box> box;
    std::optional<dui::WindowPlace> place;
    if (files::ReadFile(file, text)) {
        place = dui::ParseWindowPlace(text);
        if (!place) log_msg("window place %s is damaged; the window is centred", file.c_str());
    }
    if (place) {
        std::vector<dui::Box> areas;
        for (QScreen* s : QGuiApplication::screens()) {
            const QRect a = s->availableGeometry();
            areas.push_back({a.x(), a.y(), a.width(), a.height()});
        }
        box = dui::RestoredPlacement(place->normal, caption_.b, minimumWidth(), minimumHeight(), areas);
    }
    if (!box) {
        CenterWindow();
        return false;
    }
    setGeometry(box->x, box->y, box->w, box->h);
    if (place->maximised) Maximize();
    return true;
}

bool WindowImplBase::SavePlace() const {
    if (placeFile_.empty()) return false;
    const QRect g = NormalGeometry();
    dui::WindowPlace place;
    place.normal = {g.x(), g.y(), g.width(), g.height()};
    place.maximised = maximised_ || isMaximized();
    if (!paths::MakeDirs(placeFile_) || !files::WriteFileAtomic(placeFile_, dui::FormatWindowPlace(place))) {
        log_msg("window place %s cannot be written", placeFile_.c_str());
        return false;
    }
    return true;
}

void WindowImplBase::hideEvent(QHideEvent* e) {
    QWidget::hideEvent(e);
    if (!placeFile_.empty() && !e->spontaneous()) SavePlace();
}

void WindowImplBase::Maximize() {
    if (maximised_) return;
    // The screen the window stands on, which a hidden window may not know yet.
    QScreen* s = QGuiApplication::screenAt(geometry().center());
    if (!s) s = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!s) return;
    normalGeometry_ = geometry();
    const QRect work = s->availableGeometry();
    const dui::Box b = dui::MaximisedPlacement({work.x(), work.y(), work.width(), work.height()});
    maximised_ = true;
    setGeometry(b.x, b.y, b.w, b.h);
}

void WindowImplBase::Restore() {
    if (!maximised_) return;
    maximised_ = false;
    setGeometry(normalGeometry_);
}

dui::Hit WindowImplBase::HitTest(QPoint pos) const {
    bool overInput = false;
    for (QWidget* w = childAt(pos); w && w != this; w = w->parentWidget()) {
        if (auto* c = dynamic_cast<CControlUI*>(w); c && c->IsInputControl()) {
            overInput = true;
            break;
        }
    }
    dui::HitRules rules;
    rules.width = width();
    rules.height = height();
    rules.sizeBox = sizeBox_;
    rules.caption = caption_;
    rules.maximised = maximised_ || isMaximized();
    return dui::HitTestWindow(rules, pos.x(), pos.y(), overInput);
}

HWND WindowImplBase::GetHWND() const { return messages_ ? messages_->Handle() : 0; }

void WindowImplBase::SetTimer(unsigned id, unsigned periodMs) {
    if (messages_) messages_->SetTimer(id, periodMs);
}

void WindowImplBase::KillTimer(unsigned id) {
    if (messages_) messages_->KillTimer(id);
}

// ---------------------------------------------------------------- events

void WindowImplBase::keyPressEvent(QKeyEvent* e) {
    switch (e->key()) {
        case Qt::Key_Escape:
            e->accept();
            OnEscape();
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            e->accept();  // no default button: Enter in a window does nothing
            return;
        default:
            QWidget::keyPressEvent(e);
    }
}

void WindowImplBase::closeEvent(QCloseEvent* e) {
    if (!closing_ && !OnSystemClose()) {
        e->ignore();
        return;
    }
    e->accept();
    OnFinalMessage();
}

void WindowImplBase::resizeEvent(QResizeEvent*) {
    if (CControlUI* root = manager_.Root()) CContainerUI::Place(root, rect());
    if ((roundCorner_.cx > 0 || roundCorner_.cy > 0) && !isMinimized())
        setMask(dui::RoundCornerRegion(width(), height(), roundCorner_.cx, roundCorner_.cy));
}

bool WindowImplBase::StartDrag(QWidget* source, QPoint windowPos, QPoint globalPos) {
    const dui::Hit hit = HitTest(windowPos);
    if (hit == dui::Hit::kClient) return false;
    (void)source;
    if (QWindow* wh = windowHandle()) {
        Qt::Edges edges;
        switch (hit) {
            case dui::Hit::kLeft: edges = Qt::LeftEdge; break;
            case dui::Hit::kRight: edges = Qt::RightEdge; break;
            case dui::Hit::kTop: edges = Qt::TopEdge; break;
            case dui::Hit::kBottom: edges = Qt::BottomEdge; break;
            case dui::Hit::kTopLeft: edges = Qt::TopEdge | Qt::LeftEdge; break;
            case dui::Hit::kTopRight: edges = Qt::TopEdge | Qt::RightEdge; break;
            case dui::Hit::kBottomLeft: edges = Qt::BottomEdge | Qt::LeftEdge; break;
            case dui::Hit::kBottomRight: edges = Qt::BottomEdge | Qt::RightEdge; break;
            default: break;
        }
        const bool done = hit == dui::Hit::kCaption ? wh->startSystemMove() : wh->startSystemResize(edges);
        if (done) return true;
    }
    // The platform cannot move or size windows for us: follow the mouse.
    dragHit_ = hit;
    dragStart_ = globalPos;
    dragGeometry_ = geometry();
    return true;
}

void WindowImplBase::DragTo(QPoint globalPos) {
    const QPoint d = globalPos - dragStart_;
    QRect g = dragGeometry_;
    if (dragHit_ == dui::Hit::kCaption) {
        move(g.topLeft() + d);
        return;
    }
    const auto has = [&](dui::Hit a, dui::Hit b, dui::Hit c) { return dragHit_ == a || dragHit_ == b || dragHit_ == c; };
    using H = dui::Hit;
    const int minW = std::max(1, minimumWidth()), minH = std::max(1, minimumHeight());
    const int maxW = maximumWidth(), maxH = maximumHeight();
    if (has(H::kLeft, H::kTopLeft, H::kBottomLeft))
        g.setLeft(std::clamp(g.left() + d.x(), g.right() + 1 - maxW, g.right() + 1 - minW));
    if (has(H::kRight, H::kTopRight, H::kBottomRight))
        g.setRight(std::clamp(g.right() + d.x(), g.left() + minW - 1, g.left() + maxW - 1));
    if (has(H::kTop, H::kTopLeft, H::kTopRight))
        g.setTop(std::clamp(g.top() + d.y(), g.bottom() + 1 - maxH, g.bottom() + 1 - minH));
    if (has(H::kBottom, H::kBottomLeft, H::kBottomRight))
        g.setBottom(std::clamp(g.bottom() + d.y(), g.top() + minH - 1, g.top() + maxH - 1));
    setGeometry(g);
}

void WindowImplBase::UpdateCursor(QWidget* source, QPoint windowPos) {
    Qt::CursorShape shape = Qt::ArrowCursor;
    bool edge = true;
    switch (HitTest(windowPos)) {
        case dui::Hit::kLeft:
        case dui::Hit::kRight: shape = Qt::SizeHorCursor; break;
        case dui::Hit::kTop:
        case dui::Hit::kBottom: shape = Qt::SizeVerCursor; break;
        case dui::Hit::kTopLeft:
        case dui::Hit::kBottomRight: shape = Qt::SizeFDiagCursor; break;
        case dui::Hit::kTopRight:
        case dui::Hit::kBottomLeft: shape = Qt::SizeBDiagCursor; break;
        default: edge = false;
    }
    if (edge) {
        source->setCursor(shape);
        source->setProperty("duiEdgeCursor", true);
    } else if (source->property("duiEdgeCursor").toBool()) {
        source->unsetCursor();
        source->setProperty("duiEdgeCursor", false);
    }
}

bool WindowImplBase::eventFilter(QObject* watched, QEvent* e) {
    auto* w = qobject_cast<QWidget*>(watched);
    if (!w) return false;
    switch (e->type()) {
        case QEvent::MouseButtonPress: {
            auto* m = static_cast<QMouseEvent*>(e);
            if (m->button() != Qt::LeftButton) return false;
            const QPoint g = m->globalPosition().toPoint();
            return StartDrag(w, w->mapTo(this, m->position().toPoint()), g);
        }
        case QEvent::MouseMove: {
            auto* m = static_cast<QMouseEvent*>(e);
            if (dragHit_ != dui::Hit::kClient) {
                DragTo(m->globalPosition().toPoint());
                return true;
            }
            if (m->buttons() == Qt::NoButton) UpdateCursor(w, w->mapTo(this, m->position().toPoint()));
            return false;
        }
        case QEvent::MouseButtonRelease:
            if (dragHit_ != dui::Hit::kClient) {
                dragHit_ = dui::Hit::kClient;
                return true;
            }
            return false;
        default:
            return false;
    }
}

void WindowImplBase::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton && StartDrag(this, e->position().toPoint(), e->globalPosition().toPoint())) return;
    QWidget::mousePressEvent(e);
}

void WindowImplBase::mouseMoveEvent(QMouseEvent* e) {
    if (dragHit_ != dui::Hit::kClient) DragTo(e->globalPosition().toPoint());
    else if (e->buttons() == Qt::NoButton) UpdateCursor(this, e->position().toPoint());
}

void WindowImplBase::mouseReleaseEvent(QMouseEvent* e) {
    dragHit_ = dui::Hit::kClient;
    QWidget::mouseReleaseEvent(e);
}
