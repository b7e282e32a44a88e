#pragma once
// The full-screen picture of the screen on which a screen cut's region is
// dragged: outside the region darkened, the region framed with its size.

#include <QEventLoop>
#include <QPixmap>
#include <QPointer>
#include <QRect>
#include <QWidget>

namespace pictool {

// The region between two points, inside `bounds`; empty when it has no area.
QRect Selection(QPoint a, QPoint b, const QRect& bounds);

class CCutOverlay : public QWidget {
public:
    explicit CCutOverlay(QPixmap screen);
    // Shows full screen until the region is kept (true) or the cut cancelled.
    bool Run(const QRect& screenGeometry);
    // The kept region in the picture's own pixels.
    QPixmap Cut() const;
    QRect selection() const { return selection_; }

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    void Finish(bool keep);

    QPixmap screen_;
    QRect selection_;
    QPoint anchor_;
    bool dragging_ = false;
    bool kept_ = false;
    QPointer<QEventLoop> loop_;
};

}  // namespace pictool
