#include "ui/face_sel_dlg.h"

#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

#include "chat/face_ctrl.h"
#include "ui/sound_slider_dlg.h"

namespace {
// Grid colours of the picker (COLORREF); the background stays the grid's.
constexpr std::uint32_t kLine = 0xF6E6DF;
constexpr std::uint32_t kHover = 0xFF0000;
constexpr std::uint32_t kZoomFrame = 0xFF8A00;
// The window's frame around the grid, and the page bar under it (skin).
constexpr int kFrame = 1;
constexpr int kPageBar = 28;

int Bounded(int asked, int fallback, int lo, int hi) {
    return asked == 0 ? fallback : std::clamp(asked, lo, hi);
}

}  // namespace

FaceLayout CFaceSelDlg::ClampLayout(const FaceLayout& a) {
    FaceLayout l;
    l.rows = Bounded(a.rows, CFaceCtrl::kDefaultRows, kMinCount, kMaxCount);
    l.cols = Bounded(a.cols, CFaceCtrl::kDefaultCols, kMinCount, kMaxCount);
    l.itemWidth = Bounded(a.itemWidth, CFaceCtrl::kDefaultCell, kMinPixels, kMaxPixels);
    l.itemHeight = Bounded(a.itemHeight, CFaceCtrl::kDefaultCell, kMinPixels, kMaxPixels);
    l.zoomWidth = Bounded(a.zoomWidth, CFaceCtrl::kDefaultZoom, kMinPixels, kMaxPixels);
    l.zoomHeight = Bounded(a.zoomHeight, CFaceCtrl::kDefaultZoom, kMinPixels, kMaxPixels);
    return l;
}

CFaceSelDlg::CFaceSelDlg(HWND owner, const CFaceTable* faces, std::uintptr_t context)
    : owner_(owner), faces_(faces), context_(context) {
    // A pop-up: no task-bar entry, above its owner.
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
}

CControlUI* CFaceSelDlg::CreateControl(std::string_view name) {
    if (name == "facectrl") return new CFaceCtrl;
    return nullptr;
}

CFaceCtrl* CFaceSelDlg::Grid() const { return FindControl<CFaceCtrl>(kGrid); }

void CFaceSelDlg::InitWindow() {
    CFaceCtrl* grid = Grid();
    if (!grid) return;
    const FaceLayout l = ClampLayout(faces_ ? faces_->Layout() : FaceLayout{});
    grid->SetColors(CFaceCtrl::kDefaultBk, kLine, kHover, kZoomFrame);
    grid->SetRowCol(l.rows, l.cols);
    grid->SetItemSize(l.itemWidth, l.itemHeight);
    grid->SetZoomSize(l.zoomWidth, l.zoomHeight);
    grid->SetFaceTable(faces_);
    const QSize size = grid->GridSize();
    grid->SetFixedWidth(size.width());
    grid->SetFixedHeight(size.height());
    // The page bar never gets narrower than its buttons.
    resize(std::max(size.width(), 200) + 2 * kFrame, size.height() + kPageBar + 2 * kFrame);
    // A hidden window hears of its new size only when shown.
    if (CControlUI* root = Root()) CContainerUI::Place(root, rect());
    ShowPage(0);
    chosen_ = {};
}

void CFaceSelDlg::ShowPage(int page) {
    CFaceCtrl* grid = Grid();
    if (!grid) return;
    grid->SetPage(page);
    const int count = grid->PageCount();
    SetControlEnabled(kPrev, grid->Page() > 0);
    SetControlEnabled(kNext, grid->Page() + 1 < count);
    SetControlText(kPageText,
                   count > 0 ? std::to_string(grid->Page() + 1) + "/" + std::to_string(count) : "");
}

void CFaceSelDlg::ShowAbove(const QRect& anchor) {
    ShowPage(0);
    chosen_ = {};
    const QScreen* s = QGuiApplication::screenAt(anchor.center());
    if (!s) s = QGuiApplication::primaryScreen();
    move(CSoundSliderDlg::PlaceFor(anchor, size(), s ? s->availableGeometry() : QRect()));
    ShowWindow(true);
}

void CFaceSelDlg::Dismiss() { ShowWindow(false); }

void CFaceSelDlg::Notify(TNotifyUI& msg) {
    if (msg.sType != dui::notify::kClick) return;
    CFaceCtrl* grid = Grid();
    if (!grid) return;
    if (msg.senderName == kGrid)
        Choose(static_cast<int>(msg.lParam));
    else if (msg.senderName == kPrev)
        ShowPage(grid->Page() - 1);
    else if (msg.senderName == kNext)
        ShowPage(grid->Page() + 1);
}

void CFaceSelDlg::Choose(int cell) {
    const CFaceCtrl* grid = Grid();
    const FaceEntry* face = grid->FaceAt(cell);
    if (!face) return;
    chosen_ = ChosenFace{face->id, grid->TableIndexOf(cell), face->imagePath};
    PostMessage(owner_, UM_FACE_CHOSEN, context_, 0);
    Dismiss();
}

bool CFaceSelDlg::event(QEvent* e) {
    // Another window took the focus: gone, as a menu would be. A
    // deactivation while the mouse is still over it (the tip) keeps it.
    if (e->type() == QEvent::WindowDeactivate && isVisible() &&
        !frameGeometry().contains(QCursor::pos()))
        Dismiss();
    return WindowImplBase::event(e);
}
