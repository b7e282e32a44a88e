#include "ui/video_wnd.h"

#include <QMouseEvent>
#include <QPainter>
#include <QTimerEvent>

class CVideoWnd::CTarget : public CMessageTarget {
public:
    explicit CTarget(CVideoWnd& wnd) : wnd_(wnd) {}

protected:
    std::intptr_t OnMessage(const WindowMessage& m) override {
        if (m.msg != UM_VCAST_PICTURE) return 0;
        if (auto* box = m.As<std::shared_ptr<CPictureMailbox>>(); box && *box)
            wnd_.TakePicture(**box);
        return 1;
    }

private:
    CVideoWnd& wnd_;
};

CVideoWnd::CVideoWnd(QWidget* parent) : QWidget(parent), target_(std::make_unique<CTarget>(*this)) {
    setObjectName("VideoWndUI");
    setWindowTitle("ROOM_VIDEO");
    setAttribute(Qt::WA_OpaquePaintEvent);
}

CVideoWnd::~CVideoWnd() = default;

HWND CVideoWnd::Handle() const { return target_->Handle(); }

void CVideoWnd::TakePicture(CPictureMailbox& box) {
    const auto picture = box.Take();
    if (!picture || picture->width <= 0 || picture->height <= 0 ||
        picture->argb.size() < static_cast<std::size_t>(picture->width) * picture->height)
        return;
    // A deep copy: the library's buffer is shared with its next steps.
    picture_ = QImage(reinterpret_cast<const uchar*>(picture->argb.data()), picture->width,
                      picture->height, picture->width * 4, QImage::Format_RGB32)
                   .copy();
    ++shown_;
    update();
}

void CVideoWnd::ClearPicture() {
    picture_ = QImage();
    update();
}

void CVideoWnd::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    if (picture_.isNull()) return;
    // The whole picture, aspect kept, centred.
    QSize size = picture_.size().scaled(this->size(), Qt::KeepAspectRatio);
    const QRect target(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(target, picture_);
}

void CVideoWnd::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton && clickTarget_) {
        const QPoint at = e->position().toPoint();
        PostMessage(clickTarget_, UM_VIDEO_CLICK, static_cast<std::uintptr_t>(at.x()),
                    static_cast<std::intptr_t>(at.y()));
    }
    QWidget::mousePressEvent(e);
}

// ---- the scrolling text ----

CVideoTextUI::CVideoTextUI(QWidget* parent) : QWidget(parent) {
    setObjectName("VideoTextUI");
    setWindowTitle("ROOM_VIDEOTEXT");
    setFixedHeight(kHeight);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    hide();
}

void CVideoTextUI::ScrollText(const std::string& text) {
    text_ = QString::fromStdString(text);
    x_ = width();
    if (text_.isEmpty()) {
        hide();
        return;
    }
    show();
    raise();
    if (!timer_) timer_ = startTimer(30);
    update();
}

void CVideoTextUI::Step() {
    if (text_.isEmpty()) return;
    x_ -= kStepPx;
    if (x_ + fontMetrics().horizontalAdvance(text_) < 0) {
        // Gone past the left edge: done.
        text_.clear();
        if (timer_) killTimer(timer_), timer_ = 0;
        hide();
        return;
    }
    update();
}

void CVideoTextUI::timerEvent(QTimerEvent* e) {
    if (e->timerId() == timer_) Step();
}

void CVideoTextUI::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor(0, 0, 0, kOpacity * 3 / 5));
    p.setPen(QColor(255, 230, 120, kOpacity));
    p.drawText(QRect(x_, 0, width() * 4, height()), Qt::AlignVCenter | Qt::AlignLeft, text_);
}

// ---- the skin element ----

CVideoContainer::CVideoContainer(QWidget* parent)
    : CControlUI(parent), video_(new CVideoWnd(this)), text_(new CVideoTextUI(this)) {}

void CVideoContainer::resizeEvent(QResizeEvent* e) {
    CControlUI::resizeEvent(e);
    video_->setGeometry(rect());
    text_->setGeometry(0, 0, width(), CVideoTextUI::kHeight);
}
