#include "platform/pictool/cut_overlay.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cstdlib>

namespace pictool {

QRect Selection(QPoint a, QPoint b, const QRect& bounds) {
    // A drag over n points takes n points.
    const QRect r = QRect(QPoint(std::min(a.x(), b.x()), std::min(a.y(), b.y())),
                          QSize(std::abs(a.x() - b.x()), std::abs(a.y() - b.y())))
                        .intersected(bounds);
    return r.width() > 1 && r.height() > 1 ? r : QRect();
}

CCutOverlay::CCutOverlay(QPixmap screen) : screen_(std::move(screen)) {
    setObjectName("screen_cut");
    setWindowFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool);
    setAttribute(Qt::WA_DeleteOnClose, false);
    setCursor(Qt::CrossCursor);
    setMouseTracking(true);
}

bool CCutOverlay::Run(const QRect& screenGeometry) {
    setGeometry(screenGeometry);
    setWindowModality(Qt::ApplicationModal);
    show();
    raise();
    activateWindow();
    setFocus();
    QEventLoop loop;
    loop_ = &loop;
    if (isVisible()) loop.exec();
    return kept_;
}

QPixmap CCutOverlay::Cut() const {
    if (selection_.isEmpty() || screen_.isNull()) return {};
    // The picture may have more pixels than the window has points.
    const qreal sx = static_cast<qreal>(screen_.width()) / std::max(1, width());
    const qreal sy = static_cast<qreal>(screen_.height()) / std::max(1, height());
    const QRect px(qRound(selection_.x() * sx), qRound(selection_.y() * sy), qRound(selection_.width() * sx),
                   qRound(selection_.height() * sy));
    return screen_.copy(px.intersected(screen_.rect()));
}

void CCutOverlay::Finish(bool keep) {
    kept_ = keep && !selection_.isEmpty();
    hide();
    if (loop_) loop_->quit();
}

void CCutOverlay::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawPixmap(rect(), screen_);
    QPainterPath outside;
    outside.addRect(rect());
    if (!selection_.isEmpty()) {
        QPainterPath inside;
        inside.addRect(selection_);
        outside = outside.subtracted(inside);
    }
    p.fillPath(outside, QColor(0, 0, 0, 120));
    if (selection_.isEmpty()) {
        p.setPen(Qt::white);
        p.drawText(rect(), Qt::AlignCenter, QString::fromUtf8("拖动鼠标选择截图区域，Enter 发送，Esc 取消"));
        return;
    }
    p.setPen(QPen(QColor(0x38, 0x99, 0xA7), 2));
    p.drawRect(selection_.adjusted(0, 0, -1, -1));
    const QString size = QString("%1 × %2").arg(selection_.width()).arg(selection_.height());
    const QPoint at = selection_.topLeft() + QPoint(0, selection_.top() > 22 ? -6 : selection_.height() + 16);
    p.fillRect(QRect(at - QPoint(0, 14), QSize(p.fontMetrics().horizontalAdvance(size) + 8, 18)),
               QColor(0, 0, 0, 170));
    p.setPen(Qt::white);
    p.drawText(at + QPoint(4, 0), size);
}

void CCutOverlay::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::RightButton) {
        Finish(false);
        return;
    }
    if (e->button() != Qt::LeftButton) return;
    anchor_ = e->position().toPoint();
    dragging_ = true;
    selection_ = QRect();
    update();
}

void CCutOverlay::mouseMoveEvent(QMouseEvent* e) {
    if (!dragging_) return;
    selection_ = Selection(anchor_, e->position().toPoint(), rect());
    update();
}

void CCutOverlay::mouseReleaseEvent(QMouseEvent* e) {
    if (!dragging_ || e->button() != Qt::LeftButton) return;
    dragging_ = false;
    selection_ = Selection(anchor_, e->position().toPoint(), rect());
    update();
}

void CCutOverlay::mouseDoubleClickEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton && !selection_.isEmpty()) Finish(true);
}

void CCutOverlay::keyPressEvent(QKeyEvent* e) {
    const bool ctrlS = e->key() == Qt::Key_S && (e->modifiers() & Qt::ControlModifier);
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter || ctrlS) Finish(true);
    else if (e->key() == Qt::Key_Escape) Finish(false);
    else QWidget::keyPressEvent(e);
}

}  // namespace pictool
