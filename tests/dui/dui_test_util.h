#pragma once
// Shared pieces of the skinned-window tests: a window over any skin file,
// a notification recorder and mouse/key helpers that send real events.

#include <QApplication>
#include <QMouseEvent>
#include <QElapsedTimer>
#include <QKeyEvent>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/dui/notify.h"
#include "platform/dui/small_controls.h"
#include "platform/dui/window.h"

namespace duitest {

inline std::string TestSkins() { return ZERI_TEST_SKINS; }

struct Note {
    std::string type, name;
    std::uintptr_t wParam;
    std::intptr_t lParam;
    bool operator==(const Note& o) const { return type == o.type && name == o.name; }
};

class TestWindow : public WindowImplBase {
public:
    TestWindow(std::string folder, std::string file) : folder_(std::move(folder)), file_(std::move(file)) {}
    std::string GetWindowClassName() const override { return "DuiTestWnd"; }
    std::string GetSkinFolder() const override { return folder_; }
    std::string GetSkinFile() const override { return file_; }
    void Notify(TNotifyUI& msg) override {
        notes.push_back({msg.sType, msg.senderName, msg.wParam, msg.lParam});
        if (onNotify) onNotify(msg);
    }
    CControlUI* CreateControl(std::string_view name) override {
        asked.emplace_back(name);
        if (name == "buttonex") return new CButtonExUI;
        if (name == "gifflower" || name == "wait") return new CGifControl;
        return nullptr;
    }
    // Notes of one type, in order.
    std::vector<Note> Of(const std::string& type) const {
        std::vector<Note> out;
        for (const auto& n : notes)
            if (n.type == type) out.push_back(n);
        return out;
    }
    bool finalMessage = false;
    std::vector<Note> notes;
    std::vector<std::string> asked;
    std::function<void(TNotifyUI&)> onNotify;
    std::vector<std::pair<unsigned, std::uintptr_t>> messages;
    std::vector<unsigned> timers;

protected:
    void OnFinalMessage() override { finalMessage = true; }
    std::intptr_t HandleMessage(const WindowMessage& m) override {
        messages.emplace_back(m.msg, m.wParam);
        return 7;
    }
    void OnTimer(unsigned id) override { timers.push_back(id); }

private:
    std::string folder_, file_;
};

inline void SendMouse(QWidget* w, QEvent::Type type, QPoint local, Qt::MouseButton button,
                      Qt::MouseButtons buttons) {
    QMouseEvent e(type, QPointF(local), QPointF(w->mapToGlobal(local)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

inline void Click(QWidget* w, Qt::MouseButton button = Qt::LeftButton, QPoint at = {-1, -1}) {
    if (at.x() < 0) at = w->rect().center();
    SendMouse(w, QEvent::MouseButtonPress, at, button, button);
    SendMouse(w, QEvent::MouseButtonRelease, at, button, Qt::NoButton);
}

inline void Key(QWidget* w, int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QKeyEvent press(QEvent::KeyPress, key, mods);
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, key, mods);
    QApplication::sendEvent(w, &release);
}

// Runs the event loop until done() or the limit passes.
template <class Pred>
bool Pump(Pred done, int limitMs = 3000) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > limitMs) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        // Outside a running loop, deleteLater waits for this.
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

inline QRect Geo(WindowImplBase& w, std::string_view name) {
    CControlUI* c = w.FindControl(name);
    if (!c) return {};
    return QRect(c->mapTo(&w, QPoint(0, 0)), c->size());
}

}  // namespace duitest
