#include "ui/av_screen_rect.h"

#include <QCursor>
#include <QGuiApplication>
#include <QMoveEvent>
#include <QRegion>
#include <QResizeEvent>
#include <QScreen>

#include <algorithm>

namespace {
constexpr const char* kTitle = "panle_title";
constexpr const char* kHollow = "ContainerUI2";
constexpr const char* kClose = "bnt_close";

QRect ScreenOf(const QRect& r) {
    const QScreen* s = QGuiApplication::screenAt(r.center());
    if (!s) s = QGuiApplication::primaryScreen();
    return s ? s->geometry() : QRect();
}
}  // namespace

CAvScreenRect::CAvScreenRect(Mode mode, ICatchSlink* slink) : mode_(mode), slink_(slink) {
    Qt::WindowFlags flags = Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint;
    // Following: the frame must never be the window under the cursor.
    if (mode_ == Mode::kFollow) flags |= Qt::WindowTransparentForInput;
    setWindowFlags(flags);
    setAttribute(Qt::WA_ShowWithoutActivating);
}

CAvScreenRect::~CAvScreenRect() { KillTimer(kFollowTimer); }

void CAvScreenRect::InitWindow() {
    inited_ = true;
    if (mode_ == Mode::kFollow) {
        // It takes the size of what it follows, however small.
        setMinimumSize(1, 1);
        SetControlVisible(kTitle, false);
        SetTimer(kFollowTimer, kFollowPeriodMs);
    }
    MakeHollow();
}

void CAvScreenRect::OnFinalMessage() { KillTimer(kFollowTimer); }

void CAvScreenRect::Notify(TNotifyUI& msg) {
    if (msg.sType != dui::notify::kClick || msg.senderName != kClose) return;
    KillTimer(kFollowTimer);
    if (ICatchSlink* s = slink_) s->OnClose();
    Close();
}

void CAvScreenRect::ShowCentred() {
    const QRect screen = ScreenOf(QRect(QCursor::pos(), QSize(1, 1)));
    if (!screen.isEmpty()) move(screen.center() - QPoint(width() / 2, height() / 2));
    ShowWindow(true);
    raise();
}

void CAvScreenRect::OnTimer(unsigned id) {
    if (id == kFollowTimer) FollowTick(QCursor::pos());
}

void CAvScreenRect::FollowTick(const QPoint& global) {
    // Over the owner's dialog: nothing to follow there, keep what we have.
    for (const QWidget* w : skip_)
        if (w && w->isVisible() && w->frameGeometry().contains(global)) return;
    std::vector<const QWidget*> skip = skip_;
    skip.push_back(this);
    const CaughtWindow now = WindowUnderCursor(global, skip);
    if (now.rect.isEmpty() || now == followed_) return;
    followed_ = now;
    setGeometry(now.rect);
    if (!isVisible()) ShowWindow(true);
    raise();
    if (ICatchSlink* s = slink_) s->OnWindow(now);
}

QRect CAvScreenRect::InnerLocalRect() const {
    const CControlUI* c = FindControl(kHollow);
    if (!c) return rect();
    return QRect(c->mapTo(this, QPoint(0, 0)), c->size());
}

void CAvScreenRect::MakeHollow() {
    // The window's shape is its frame: what lies inside shows through and
    // takes the mouse itself.
    const QRect inner = InnerLocalRect();
    if (inner.isEmpty() || inner == rect()) return;
    setMask(QRegion(rect()) - QRegion(inner));
}

QRect CAvScreenRect::FitToScreen(const QRect& r, const QRect& screen) {
    if (screen.width() < kMinSide || screen.height() < kMinSide) return {};
    QRect fit = r.intersected(screen);
    if (fit.isEmpty()) fit = QRect(screen.topLeft(), QSize(kMinSide, kMinSide));
    const int w = std::max(kMinSide, fit.width() & ~1);
    const int h = std::max(kMinSide, fit.height() & ~1);
    // Growing to the minimum may pass the screen's edge: move back inside.
    const int x = std::min(fit.left(), screen.left() + (screen.width() - w));
    const int y = std::min(fit.top(), screen.top() + (screen.height() - h));
    return QRect(x, y, std::min(w, screen.width() & ~1), std::min(h, screen.height() & ~1));
}

QRect CAvScreenRect::RegionRect() const {
    const QRect local = InnerLocalRect();
    const QRect global(mapToGlobal(local.topLeft()), local.size());
    return FitToScreen(global, ScreenOf(global));
}

void CAvScreenRect::ReportRect() {
    if (!inited_ || mode_ != Mode::kRegion) return;
    const QRect r = RegionRect();
    if (ICatchSlink* s = slink_; s && !r.isEmpty()) s->OnRect(r);
}

void CAvScreenRect::moveEvent(QMoveEvent* e) {
    WindowImplBase::moveEvent(e);
    ReportRect();
}

void CAvScreenRect::resizeEvent(QResizeEvent* e) {
    WindowImplBase::resizeEvent(e);
    if (inited_) MakeHollow();
    ReportRect();
}
