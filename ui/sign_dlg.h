#pragma once
// The anchor's sign prompt ("SignUI.xml"): opened by the room, through its
// view, when the sign-in of the cycle is due; centred and above every
// window. Its button signs in; closing it does not.

#include <functional>
#include <string>

#include "platform/dui/window.h"

class CSignDlg : public WindowImplBase {
public:
    CSignDlg();

    std::string GetWindowClassName() const override { return "SignWnd"; }
    std::string GetSkinFile() const override { return "SignUI.xml"; }
    void Notify(TNotifyUI& msg) override;

    // Shows the prompt centred (on `owner`'s window when given); `confirm`
    // runs once when the person signs in there.
    void Prompt(std::function<void()> confirm);
    // Closed by the room: nothing is confirmed.
    void Dismiss();
    bool IsOpen() const { return isVisible(); }
    // The sign button, as a click would.
    void Confirm();

protected:
    void OnEscape() override { Dismiss(); }

private:
    std::function<void()> confirm_;
};
