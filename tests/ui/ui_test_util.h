#pragma once
// Shared pieces of the room window tests: actions that record what the
// window asked for, and real mouse events.

#include <QApplication>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QTextCursor>
#include <QTextEdit>

#include <string>
#include <vector>

#include "chat/face_table.h"
#include "core/paths.h"
#include "ui/chat_view.h"
#include "ui/room_ui.h"

namespace uitest {

inline std::string SkinRoot() { return ZERI_BUILT_SKIN_ROOT; }
inline std::string SkinFolder() { return SkinRoot() + "skin/"; }

class FakeActions : public IRoomActions {
public:
    FakeActions() { faces.Load(SkinRoot()); }
    void EnterRoom(std::uint32_t roomId) override { entered.push_back(roomId); }
    bool SendChat(const IChatInput& input) override {
        sent.push_back(EncodeInput(input));
        return acceptChat;
    }
    void SendPicture(const std::string& path) override { pictures.push_back(path); }
    BUDDY_HANDLE Buddy() const override { return buddy; }
    std::uint32_t RoomId() const override { return room; }
    void CloseWindow() override { ++closes; }
    void PlayVoiceClip(ChatObjectKey key) override { voices.push_back(key); }
    void ToggleVoiceMessage() override { ++voiceToggles; }
    void ChatCleared() override { ++cleared; }
    const CFaceTable* Faces() const override { return &faces; }
    MyChatStyle MyStyle() const override { return style; }
    void SetMyStyle(const MyChatStyle& s) override { style = s; }

    CFaceTable faces;
    MyChatStyle style;
    BUDDY_HANDLE buddy = nullptr;
    std::uint32_t room = 0;
    bool acceptChat = true;
    std::vector<std::uint32_t> entered;
    std::vector<std::string> sent, pictures;
    std::vector<ChatObjectKey> voices;
    int closes = 0, cleared = 0, voiceToggles = 0;
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

// A right-click on a chat view's text, in the middle of the character at
// `index`, as the mouse gives it.
inline void RightClickText(CChatView& view, int index) {
    QTextEdit* e = view.Editor();
    QTextCursor c(e->document());
    c.setPosition(index);
    const QRect r = e->cursorRect(c);
    c.setPosition(index + 1);
    const QPoint local((r.left() + e->cursorRect(c).left()) / 2, r.center().y());
    QContextMenuEvent ev(QContextMenuEvent::Mouse, local, e->viewport()->mapToGlobal(local));
    QApplication::sendEvent(e->viewport(), &ev);
}

template <class Pred>
bool Pump(Pred done, int limitMs = 3000) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > limitMs) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

inline RoomUser User(std::uint32_t id, const std::string& nick, std::int32_t grade, std::uint32_t role) {
    RoomUser u;
    u.userId = id;
    u.nickname = nick;
    u.wealthGrade = grade;
    u.role = role;
    return u;
}

}  // namespace uitest
