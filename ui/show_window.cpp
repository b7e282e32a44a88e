#include "ui/show_window.h"

#include <QPainter>

#include "platform/winmsg/message_target.h"

class CShowWindow::OwnTimers : public CMessageTarget {
public:
    explicit OwnTimers(CShowWindow& w) : w_(w) {}

protected:
    std::intptr_t OnMessage(const WindowMessage&) override { return 0; }
    void OnTimer(unsigned id) override { w_.OnTimer(id); }

private:
    CShowWindow& w_;
};

CShowWindow::CShowWindow(const char* className, ITimerHost* timers) : timers_(timers) {
    setObjectName(QString::fromLatin1(className));
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                   Qt::WindowDoesNotAcceptFocus | Qt::WindowTransparentForInput);
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    if (!timers_) {
        ownTimers_ = std::make_unique<OwnTimers>(*this);
        timers_ = ownTimers_.get();
    }
}

CShowWindow::~CShowWindow() = default;

void CShowWindow::Present(const QRect& place, bool roomVisible) {
    if (!roomVisible) {
        hide();
        return;
    }
    setGeometry(place);
    if (isHidden()) show();
    update();
}

void CShowWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(rect(), Frame());
}
