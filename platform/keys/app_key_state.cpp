#include "platform/keys/app_key_state.h"

#include <QCoreApplication>
#include <QKeyEvent>

CAppKeyState::CAppKeyState() {
    if (QCoreApplication* app = QCoreApplication::instance()) app->installEventFilter(this);
}

CAppKeyState::~CAppKeyState() {
    if (QCoreApplication* app = QCoreApplication::instance()) app->removeEventFilter(this);
}

unsigned CAppKeyState::VirtualKeyOf(int k) {
    if (k >= Qt::Key_A && k <= Qt::Key_Z) return static_cast<unsigned>('A' + (k - Qt::Key_A));
    if (k >= Qt::Key_0 && k <= Qt::Key_9) return static_cast<unsigned>('0' + (k - Qt::Key_0));
    if (k >= Qt::Key_F1 && k <= Qt::Key_F24) return static_cast<unsigned>(112 + (k - Qt::Key_F1));
    switch (k) {
        case Qt::Key_Backspace: return 8;
        case Qt::Key_Tab: return 9;
        case Qt::Key_Return:
        case Qt::Key_Enter: return 13;
        case Qt::Key_Shift: return 16;
        case Qt::Key_Control: return 17;
        case Qt::Key_Alt: return 18;
        case Qt::Key_Pause: return 19;
        case Qt::Key_CapsLock: return 20;
        case Qt::Key_Escape: return 27;
        case Qt::Key_Space: return 32;
        case Qt::Key_PageUp: return 33;
        case Qt::Key_PageDown: return 34;
        case Qt::Key_End: return 35;
        case Qt::Key_Home: return 36;
        case Qt::Key_Left: return 37;
        case Qt::Key_Up: return 38;
        case Qt::Key_Right: return 39;
        case Qt::Key_Down: return 40;
        case Qt::Key_Insert: return 45;
        case Qt::Key_Delete: return 46;
        case Qt::Key_QuoteLeft: return 192;
        default: return 0;
    }
}

bool CAppKeyState::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type t = event->type();
    if (t == QEvent::KeyPress || t == QEvent::KeyRelease) {
        const auto* k = static_cast<QKeyEvent*>(event);
        // Auto-repeat sends release/press pairs while the key stays down.
        if (!k->isAutoRepeat())
            if (const unsigned vk = VirtualKeyOf(k->key())) {
                if (t == QEvent::KeyPress) down_.insert(vk);
                else down_.erase(vk);
            }
    } else if (t == QEvent::ApplicationDeactivate) {
        // A release while another program has the keyboard is never seen.
        down_.clear();
    }
    return QObject::eventFilter(watched, event);
}
