#include "chat/face_ctrl.h"

#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>

#include "chat/face_table.h"
#include "platform/dui/manager.h"
#include "platform/dui/notify.h"

namespace {
// Beyond these a caller's numbers are mistakes; they also keep every
// product of counts and sizes far from overflowing.
constexpr int kMaxCount = 1024;
constexpr int kMaxPixels = 4096;
constexpr int kTextPixels = 14;

// A one-pixel frame drawn exactly on the rectangle's edge pixels.
void FrameRect(QPainter& p, const QRect& r, const QColor& c) {
    if (r.isEmpty()) return;
    p.fillRect(QRect(r.left(), r.top(), r.width(), 1), c);
    p.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), c);
    p.fillRect(QRect(r.left(), r.top(), 1, r.height()), c);
    p.fillRect(QRect(r.right(), r.top(), 1, r.height()), c);
}

QRect CentredIn(const QRect& box, QSize size) {
    return QRect(box.left() + (box.width() - size.width()) / 2,
                 box.top() + (box.height() - size.height()) / 2, size.width(), size.height());
}

QSize Shrunk(QSize box, int by) {
    return QSize(std::max(0, box.width() - by), std::max(0, box.height() - by));
}

}  // namespace

namespace face_ctrl {

QColor FromColorRef(std::uint32_t c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

QSize FitWithin(QSize picture, QSize box) {
    if (picture.isEmpty() || box.isEmpty()) return {};
    if (picture.width() <= box.width() && picture.height() <= box.height()) return picture;
    return picture.scaled(box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
}

}  // namespace face_ctrl

CFaceCtrl::CFaceCtrl(QWidget* parent) : CControlUI(parent) {
    SetColors(kDefaultBk, kDefaultLine, kDefaultHover, kDefaultZoomFrame);
    setMouseTracking(true);
}

CFaceCtrl::~CFaceCtrl() = default;

void CFaceCtrl::SetRowCol(int rows, int cols) {
    rows_ = std::clamp(rows, 0, kMaxCount);
    cols_ = std::clamp(cols, 0, kMaxCount);
    Repage();
}

void CFaceCtrl::SetItemSize(int width, int height) {
    item_ = QSize(std::clamp(width, 0, kMaxPixels), std::clamp(height, 0, kMaxPixels));
    ClearHover();
    update();
}

void CFaceCtrl::SetZoomSize(int width, int height) {
    zoom_ = QSize(std::clamp(width, 0, kMaxPixels), std::clamp(height, 0, kMaxPixels));
    ClearHover();
    update();
}

void CFaceCtrl::SetFaceTable(const CFaceTable* table) {
    table_ = table;
    Repage();
}

void CFaceCtrl::SetColors(std::uint32_t bk, std::uint32_t line, std::uint32_t hover,
                          std::uint32_t zoomFrame) {
    bk_ = face_ctrl::FromColorRef(bk);
    line_ = face_ctrl::FromColorRef(line);
    hoverFrame_ = face_ctrl::FromColorRef(hover);
    zoomFrame_ = face_ctrl::FromColorRef(zoomFrame);
    update();
}

void CFaceCtrl::Repage() {
    const int per = FacesPerPage();
    const int faces =
        table_ ? static_cast<int>(std::min<std::size_t>(table_->Entries().size(), 0x7FFFFFFF)) : 0;
    pageCount_ = per > 0 && faces > 0 ? (faces - 1) / per + 1 : 0;
    page_ = std::clamp(page_, 0, std::max(0, pageCount_ - 1));
    LoadPage();
}

bool CFaceCtrl::SetPage(int n) {
    if (n < 0 || n >= pageCount_) return false;
    page_ = n;
    LoadPage();
    return true;
}

void CFaceCtrl::LoadPage() {
    ClearHover();
    pictures_.clear();
    if (pageCount_ > 0) {
        const auto& entries = table_->Entries();
        const std::size_t first =
            static_cast<std::size_t>(page_) * static_cast<std::size_t>(FacesPerPage());
        const std::size_t end =
            std::min(entries.size(), first + static_cast<std::size_t>(FacesPerPage()));
        pictures_.resize(end - first);
        // A face whose picture cannot be read keeps its text instead.
        for (std::size_t i = first; i < end; ++i) pictures_[i - first].Load(entries[i].imagePath);
    }
    update();
}

const FaceEntry* CFaceCtrl::FaceAt(int cell) const {
    const int index = TableIndexOf(cell);
    return index < 0 ? nullptr : &table_->Entries()[static_cast<std::size_t>(index)];
}

int CFaceCtrl::TableIndexOf(int cell) const {
    if (!table_ || cell < 0 || cell >= PageFaceCount()) return -1;
    return page_ * FacesPerPage() + cell;
}

bool CFaceCtrl::HasPicture(int cell) const {
    const AnimatedPicture* p = PictureAt(cell);
    return p && p->IsLoaded();
}

const AnimatedPicture* CFaceCtrl::PictureAt(int cell) const {
    if (cell < 0 || cell >= PageFaceCount()) return nullptr;
    return &pictures_[static_cast<std::size_t>(cell)];
}

int CFaceCtrl::CellAt(QPoint pos) const {
    if (item_.isEmpty() || pos.x() < 0 || pos.y() < 0) return -1;
    const int col = pos.x() / item_.width(), row = pos.y() / item_.height();
    if (col >= cols_ || row >= rows_) return -1;
    return row * cols_ + col;
}

QRect CFaceCtrl::CellRect(int cell) const {
    if (cell < 0 || cell >= FacesPerPage()) return {};
    return QRect((cell % cols_) * item_.width(), (cell / cols_) * item_.height(), item_.width(),
                 item_.height());
}

QSize CFaceCtrl::GridSize() const {
    // One more pixel than the cells: the last cells' far edge.
    return QSize(cols_ * item_.width() + 1, rows_ * item_.height() + 1);
}

// ---------------------------------------------------------------- hover

void CFaceCtrl::SetHover(int cell, QPoint mouse) {
    if (cell == hover_) return;
    ClearHover();
    hover_ = cell;
    if (const FaceEntry* face = FaceAt(cell)) {
        setToolTip(QString::fromStdString(face->tip));
        // The preview keeps away from the mouse: left when it is on the right.
        const int x = mouse.x() >= width() / 2 ? 1 : width() - zoom_.width();
        zoomRect_ = QRect(x, 1, zoom_.width(), zoom_.height());
        const AnimatedPicture* pic = PictureAt(cell);
        if (pic->IsAnimated()) SetTimer(kFrameTimer, static_cast<unsigned>(pic->FrameDelay(0)));
    }
    update();
}

void CFaceCtrl::ClearHover() {
    if (hover_ < 0 && !HasTimer(kFrameTimer)) return;
    QToolTip::hideText();
    setToolTip({});
    KillTimer(kFrameTimer);
    frame_ = 0;
    hover_ = -1;
    zoomRect_ = {};
    update();
}

void CFaceCtrl::DoTimer(unsigned id) {
    if (id != kFrameTimer) {
        CControlUI::DoTimer(id);
        return;
    }
    KillTimer(kFrameTimer);
    const AnimatedPicture* pic = PictureAt(hover_);
    if (!pic || !pic->IsAnimated()) return;
    frame_ = (frame_ + 1) % pic->FrameCount();
    SetTimer(kFrameTimer, static_cast<unsigned>(pic->FrameDelay(frame_)));
    update();
}

void CFaceCtrl::mouseMoveEvent(QMouseEvent* e) {
    SetHover(CellAt(e->position().toPoint()), e->position().toPoint());
    CControlUI::mouseMoveEvent(e);
}

void CFaceCtrl::mousePressEvent(QMouseEvent* e) {
    const int cell = CellAt(e->position().toPoint());
    if (e->button() == Qt::LeftButton && FaceAt(cell)) {
        e->accept();
        // The window may hide or rebuild the grid from inside.
        Notify(dui::notify::kClick, 0, cell, e->globalPosition().toPoint());
        return;
    }
    CControlUI::mousePressEvent(e);
}

void CFaceCtrl::leaveEvent(QEvent* e) {
    ClearHover();
    CControlUI::leaveEvent(e);
}

void CFaceCtrl::hideEvent(QHideEvent* e) {
    // A hidden picker hears no leave: its preview must not go on animating.
    ClearHover();
    CControlUI::hideEvent(e);
}

// ---------------------------------------------------------------- painting

void CFaceCtrl::DoPaint(QPainter& p) {
    p.fillRect(rect(), bk_);
    if (!item_.isEmpty()) {
        for (int r = 0; r < rows_; ++r) p.fillRect(QRect(0, r * item_.height(), width(), 1), line_);
        for (int c = 0; c < cols_; ++c) p.fillRect(QRect(c * item_.width(), 0, 1, height()), line_);
    }
    for (int cell = 0; cell < PageFaceCount(); ++cell) PaintCell(p, cell);
    if (hover_ >= 0) FrameRect(p, CellRect(hover_).adjusted(1, 1, -1, -1), hoverFrame_);
    if (FaceAt(hover_)) PaintPreview(p);
}

void CFaceCtrl::PaintCell(QPainter& p, int cell) {
    const QRect box = CellRect(cell);
    AnimatedPicture& pic = pictures_[static_cast<std::size_t>(cell)];
    if (pic.IsLoaded()) {
        const QSize size = face_ctrl::FitWithin(QSize(pic.Width(), pic.Height()),
                                                Shrunk(box.size(), kPictureMargin));
        pic.Draw(p, CentredIn(box, size), 0);
        return;
    }
    dui::SkinFont f;
    f.name = "宋体";
    f.size = kTextPixels;
    p.save();
    p.setFont(dui::MakeFont(f));
    p.setPen(face_ctrl::FromColorRef(kTextColor));
    p.drawText(box, Qt::AlignCenter, QString::fromStdString(FaceAt(cell)->text));
    p.restore();
}

void CFaceCtrl::PaintPreview(QPainter& p) {
    p.fillRect(zoomRect_, bk_);
    FrameRect(p, zoomRect_, zoomFrame_);
    AnimatedPicture& pic = pictures_[static_cast<std::size_t>(hover_)];
    if (!pic.IsLoaded()) return;
    const QSize size =
        face_ctrl::FitWithin(QSize(pic.Width(), pic.Height()), Shrunk(zoom_, kPictureMargin));
    pic.Draw(p, CentredIn(zoomRect_, size), frame_);
}
