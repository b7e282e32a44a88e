#pragma once
// The key state of the whole program: an event filter on the application
// keeps which keys are down while any of its windows has the keyboard. A
// desktop without a global key query (Wayland, the offscreen platform) still
// gets push-to-talk while the room window is in front.

#include <QObject>

#include <set>

#include "platform/keys/key_state.h"

class CAppKeyState : public QObject, public IKeyState {
public:
    CAppKeyState();
    ~CAppKeyState() override;
    bool IsDown(unsigned virtualKey) const override { return down_.count(virtualKey) != 0; }

    // The virtual key of a Qt key code; 0 when it has none.
    static unsigned VirtualKeyOf(int qtKey);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::set<unsigned> down_;
};
