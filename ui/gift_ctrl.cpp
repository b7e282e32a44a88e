#include "ui/gift_ctrl.h"

#include <QCursor>
#include <QDateTime>
#include <QImageReader>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

#include "core/paths.h"
#include "platform/dui/small_controls.h"
#include "room/catalogue/gift_record.h"
#include "room/purchases/purchase_messages.h"
#include "ui/gift_item_dlg.h"

namespace {

struct PanelNames {
    int kind;
    const catalogue::CatalogueKind* catalogue;
    const char* grid;
    const char* up;
    const char* down;
};
constexpr PanelNames kPanels[] = {
    {CGiftCtrl::kGifts, &catalogue::kGifts, "gift_ctrl", "gift_up", "gift_down"},
    {CGiftCtrl::kCars, &catalogue::kCars, "car_ctrl", "car_up", "car_down"},
    {CGiftCtrl::kPacks, &catalogue::kPacks, "prop_ctrl", "prop_up", "prop_down"},
};

// Catalogue art is small; anything larger is decoded scaled down so a
// hostile picture cannot take the memory.
constexpr int kMaxIconSide = 256;
// Between an icon and its cell's lines.
constexpr int kIconMargin = 3;

QColor FromColorRef(std::uint32_t c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

}  // namespace

CGiftCtrl::CGiftCtrl(QWidget* parent) : CHorizontalLayoutUI(parent) {
    setMouseTracking(true);
    cursor_ = [] { return QCursor::pos(); };
    now_ = [] { return QDateTime::currentMSecsSinceEpoch(); };
}

CGiftCtrl::~CGiftCtrl() {
    // The pop-up is a top-level window of its own.
    if (popup_) delete popup_.data();
}

void CGiftCtrl::SetColours(std::uint32_t gridColorRef, std::uint32_t hoverColorRef) {
    gridColour_ = gridColorRef;
    hoverColour_ = hoverColorRef;
    update();
}

void CGiftCtrl::SetCellSize(int width, int height) {
    cellWidth_ = std::max(0, width);
    cellHeight_ = std::max(0, height);
    Relayout();
}

std::int64_t CGiftCtrl::Now() const { return now_(); }

GiftItemDlg* CGiftCtrl::Popup() const { return popup_; }

bool CGiftCtrl::LoadItems(int kind) {
    EndHover();
    items_.clear();
    visible_.clear();
    shownFirst_ = -1;
    icons_.clear();
    clicked_ = -1;
    const PanelNames* names = nullptr;
    for (const PanelNames& p : kPanels)
        if (p.kind == kind) names = &p;
    bool read = false;
    if (names) {
        kind_ = kind;
        grid_ = FindSubControl(names->grid);
        up_ = FindSubControl(names->up);
        down_ = FindSubControl(names->down);
        // The panel takes the mouse for its grid and buttons (hover, paging).
        for (CControlUI* c : {grid_.data(), up_.data(), down_.data()})
            if (c) c->setAttribute(Qt::WA_TransparentForMouseEvents);
        const std::string folder = dataFolder_.empty() ? paths::DataFolder() : dataFolder_;
        read = catalogue::LoadGiftItems(folder, std::string(names->catalogue->folder) + catalogue::kConfigFileName,
                                        items_);
    }
    for (std::size_t i = 0; i < items_.size(); ++i)
        if (items_[i].Visible()) visible_.push_back(i);
    // The grid area's own content (a loading note) gives way to the items.
    if (auto* area = dynamic_cast<CContainerUI*>(grid_.data()))
        for (int i = 0; i < area->GetCount(); ++i) area->GetItemAt(i)->SetVisible(visible_.empty());
    page_ = 0;
    Relayout();
    return read;
}

void CGiftCtrl::Relayout() {
    CHorizontalLayoutUI::Relayout();
    const QRect grid = GridRect();
    // A grid smaller than one cell has no cells and so no pages.
    columns_ = cellWidth_ > 0 ? grid.width() / cellWidth_ : 0;
    rows_ = cellHeight_ > 0 ? grid.height() / cellHeight_ : 0;
    ShowPage();
}

void CGiftCtrl::SetPage(int page) {
    page_ = page;
    ShowPage();
}

void CGiftCtrl::ShowPage() {
    const int perPage = rows_ * columns_;
    const int count = static_cast<int>(visible_.size());
    pageCount_ = perPage > 0 ? (count + perPage - 1) / perPage : 0;
    page_ = pageCount_ > 0 ? std::clamp(page_, 0, pageCount_ - 1) : 0;
    if (up_) up_->SetEnabled(page_ > 0);
    if (down_) down_->SetEnabled(page_ + 1 < pageCount_);
    const int first = page_ * perPage;
    if (first != shownFirst_ || hover_ >= static_cast<int>(PageItems().size())) EndHover();
    shownFirst_ = first;
    update();
}

std::vector<const catalogue::GiftItem*> CGiftCtrl::PageItems() const {
    std::vector<const catalogue::GiftItem*> out;
    const std::size_t perPage = static_cast<std::size_t>(rows_) * static_cast<std::size_t>(columns_);
    if (perPage == 0) return out;
    for (std::size_t i = static_cast<std::size_t>(page_) * perPage; i < visible_.size() && out.size() < perPage; ++i)
        out.push_back(&items_[visible_[i]]);
    return out;
}

QRect CGiftCtrl::GridRect() const {
    if (!grid_ || grid_->isHidden()) return {};
    return QRect(grid_->mapTo(this, QPoint(0, 0)), grid_->size());
}

QRect CGiftCtrl::CellRect(int cell) const {
    if (cell < 0 || columns_ <= 0 || cell >= rows_ * columns_) return {};
    const QRect grid = GridRect();
    return QRect(grid.left() + (cell % columns_) * cellWidth_, grid.top() + (cell / columns_) * cellHeight_,
                 cellWidth_, cellHeight_);
}

int CGiftCtrl::ItemCellAt(QPoint local) const {
    const int onPage = static_cast<int>(PageItems().size());
    for (int cell = 0; cell < onPage; ++cell)
        if (CellRect(cell).contains(local)) return cell;
    return -1;
}

bool CGiftCtrl::OnButton(const QPointer<CControlUI>& button, QPoint local) const {
    return button && button->isVisible() && button->IsEnabled() &&
           QRect(button->mapTo(this, QPoint(0, 0)), button->size()).contains(local);
}

const QImage& CGiftCtrl::Icon(const std::string& path) {
    auto it = icons_.find(path);
    if (it != icons_.end()) return it->second;
    QImageReader reader(QString::fromStdString(path));
    const QSize size = reader.size();
    if (size.isValid() && (size.width() > kMaxIconSide || size.height() > kMaxIconSide))
        reader.setScaledSize(size.scaled(kMaxIconSide, kMaxIconSide, Qt::KeepAspectRatio));
    return icons_[path] = path.empty() ? QImage() : reader.read();
}

void CGiftCtrl::DoPaint(QPainter& p) {
    CHorizontalLayoutUI::DoPaint(p);
    // An empty panel leaves its area to the loading note.
    if (rows_ <= 0 || columns_ <= 0 || visible_.empty()) return;
    const QRect grid = GridRect();
    const int right = grid.left() + columns_ * cellWidth_;
    const int bottom = grid.top() + rows_ * cellHeight_;
    p.setPen(FromColorRef(gridColour_));
    for (int r = 1; r < rows_; ++r) {
        const int y = grid.top() + r * cellHeight_;
        p.drawLine(grid.left(), y, right, y);
    }
    for (int c = 0; c <= columns_; ++c) {
        const int x = std::min(grid.left() + c * cellWidth_, right - 1);
        p.drawLine(x, grid.top(), x, bottom);
    }
    const auto items = PageItems();
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    for (std::size_t i = 0; i < items.size(); ++i) {
        const QImage& icon = Icon(items[i]->icon);
        if (icon.isNull()) continue;
        const QRect room = CellRect(static_cast<int>(i)).adjusted(kIconMargin, kIconMargin, -kIconMargin, -kIconMargin);
        QSize fit = icon.size().scaled(room.size(), Qt::KeepAspectRatio);
        // Small icons keep their size rather than blur.
        if (icon.width() <= room.width() && icon.height() <= room.height()) fit = icon.size();
        const QRect at(room.left() + (room.width() - fit.width()) / 2, room.top() + (room.height() - fit.height()) / 2,
                       fit.width(), fit.height());
        p.drawImage(at, icon);
    }
    if (hover_ >= 0) {
        p.setPen(FromColorRef(hoverColour_));
        p.setBrush(Qt::NoBrush);
        p.drawRect(CellRect(hover_).adjusted(1, 1, -2, -2));
    }
}

void CGiftCtrl::mouseMoveEvent(QMouseEvent* e) {
    MouseMove(e->position().toPoint());
    CHorizontalLayoutUI::mouseMoveEvent(e);
}

void CGiftCtrl::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) MouseDown(e->position().toPoint());
    CHorizontalLayoutUI::mousePressEvent(e);
}

void CGiftCtrl::hideEvent(QHideEvent* e) {
    EndHover();
    CHorizontalLayoutUI::hideEvent(e);
}

void CGiftCtrl::MouseMove(QPoint local) {
    const int cell = ItemCellAt(local);
    if (cell == hover_) return;
    EndHover();
    if (cell >= 0) StartHover(cell, mapToGlobal(local));
}

void CGiftCtrl::StartHover(int cell, QPoint global) {
    const auto items = PageItems();
    if (cell < 0 || cell >= static_cast<int>(items.size())) return;
    hover_ = cell;
    lastChange_ = Now();
    if (!popup_) {
        popup_ = new GiftItemDlg;
        popup_->Create();
    }
    popup_->Fill(*items[cell], vipLevel_ ? vipLevel_() : 0);
    frame_ = 0;
    if (CGifControl* gif = popup_->Picture(); gif && gif->Picture().IsAnimated())
        SetTimer(kFrameTimer, static_cast<unsigned>(gif->Picture().FrameDelay(0)));
    popup_->ShowAtCursor(global);
    SetTimer(kFollowTimer, kFollowPeriodMs);
    update();
}

void CGiftCtrl::EndHover() {
    KillTimer(kFrameTimer);
    KillTimer(kFollowTimer);
    if (popup_) popup_->Hide();
    if (hover_ >= 0) {
        hover_ = -1;
        update();
    }
}

void CGiftCtrl::MouseDown(QPoint local) {
    if (OnButton(up_, local)) {
        SetPage(page_ - 1);
        return;
    }
    if (OnButton(down_, local)) {
        SetPage(page_ + 1);
        return;
    }
    const int cell = ItemCellAt(local);
    if (cell < 0) return;
    clicked_ = cell;
    PostMessage(mainWindow_, purchase::UM_ITEM_CHOSEN, static_cast<std::uintptr_t>(kind_),
                static_cast<std::intptr_t>(PageItems()[cell]->id));
    EndHover();
}

void CGiftCtrl::DoTimer(unsigned id) {
    if (id == kFollowTimer) {
        const QPoint at = cursor_();
        if (!isVisible() || !rect().contains(mapFromGlobal(at))) EndHover();
        else if (popup_ && Now() - lastChange_ >= kFollowAfterMs) popup_->ShowAtCursor(at);
        return;
    }
    if (id == kFrameTimer) {
        KillTimer(kFrameTimer);
        CGifControl* gif = popup_ ? popup_->Picture() : nullptr;
        if (hover_ < 0 || !gif || !gif->Picture().IsAnimated()) return;
        frame_ = (frame_ + 1) % gif->Picture().FrameCount();
        gif->ShowFrame(frame_);
        SetTimer(kFrameTimer, static_cast<unsigned>(gif->Picture().FrameDelay(frame_)));
        return;
    }
    CHorizontalLayoutUI::DoTimer(id);
}
