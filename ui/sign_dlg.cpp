#include "ui/sign_dlg.h"

#include <utility>

CSignDlg::CSignDlg() {
    // Above every window, the room's included, and no task-bar entry of its own.
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
}

void CSignDlg::Prompt(std::function<void()> confirm) {
    confirm_ = std::move(confirm);
    CenterWindow();
    ShowWindow(true);
}

void CSignDlg::Dismiss() {
    confirm_ = nullptr;
    Close();
}

void CSignDlg::Confirm() {
    // Closed before the room hears of it, so the room sees no open prompt.
    auto confirm = std::exchange(confirm_, nullptr);
    Close();
    if (confirm) confirm();
}

void CSignDlg::Notify(TNotifyUI& msg) {
    if (msg.sType != dui::notify::kClick) return;
    if (msg.senderName == "bnt_ok") Confirm();
    else if (msg.senderName == "bnt_close") Dismiss();
}
