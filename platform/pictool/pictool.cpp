#include "platform/pictool/pictool.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QThread>
#include <QWidget>

#include "core/log.h"
#include "platform/pictool/cut_overlay.h"

namespace {

QScreen* ScreenOf(QWidget* owner) {
    if (owner && owner->screen()) return owner->screen();
    return QGuiApplication::primaryScreen();
}

}  // namespace

std::string PICTOOL_CanCut() {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return "没有窗口，不能截屏";
    // Wayland compositors give no client a picture of the screen.
    if (QGuiApplication::platformName().startsWith("wayland")) return "此桌面不允许程序截屏";
    if (!QGuiApplication::primaryScreen()) return "没有可截取的屏幕";
    return {};
}

int PICTOOL_ScreenCut(QWidget* owner, const std::string& file, std::string* why) {
    auto refuse = [why](const std::string& text) {
        if (why) *why = text;
        log_msg("screen cut refused: %s\r\n", text.c_str());
        return PICTOOL_CUT_REFUSED;
    };
    if (const std::string no = PICTOOL_CanCut(); !no.empty()) return refuse(no);
    QScreen* screen = ScreenOf(owner);
    if (!screen) return refuse("没有可截取的屏幕");
    // The room window is not part of the picture: hidden, and given a
    // moment for the desktop to draw what was under it.
    const bool wasShown = owner && owner->isVisible();
    if (wasShown) {
        owner->hide();
        QCoreApplication::processEvents();
        QThread::msleep(150);
        QCoreApplication::processEvents();
    }
    const QPixmap shot = screen->grabWindow(0);
    int result = PICTOOL_CUT_CANCELLED;
    if (shot.isNull()) {
        result = refuse("此桌面不允许程序截屏");
    } else {
        pictool::CCutOverlay overlay(shot);
        if (overlay.Run(screen->geometry())) {
            const QPixmap cut = overlay.Cut();
            if (cut.isNull()) result = PICTOOL_CUT_CANCELLED;
            else if (!cut.save(QString::fromStdString(file), nullptr, 90)) result = refuse("截图无法保存");
            else result = PICTOOL_CUT_SAVED;
        }
    }
    if (wasShown) {
        owner->show();
        owner->raise();
        owner->activateWindow();
    }
    return result;
}
