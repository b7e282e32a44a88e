#include "platform/patron/patron_login_wnd.h"

#include <QCoreApplication>
#include <QLineEdit>

#include "platform/dui/inputs.h"

namespace patron {

CLoginWnd::CLoginWnd(std::string user, std::string server, std::string error, bool kept, SignInStarter start)
    : user_(std::move(user)), server_(std::move(server)), error_(std::move(error)), start_(std::move(start)),
      kept_(kept && !user_.empty()) {}

CLoginWnd::~CLoginWnd() {
    if (loop_) loop_->quit();
}

void CLoginWnd::InitWindow() {
    SetControlText("edit_user", user_);
    SetControlText("edit_server", server_);
    SetControlText("Label_error", error_);
    SetControlSelected("check_remember", kept_);
    if (kept_)
        if (auto* edit = FindControl<CEditUI>("edit_password"))
            edit->Edit()->setPlaceholderText(QString::fromUtf8("已记住密码，可直接登录"));
    Focus(user_.empty() ? "edit_user" : "edit_password");
}

void CLoginWnd::Focus(const char* name) {
    if (auto* edit = FindControl<CEditUI>(name)) edit->Edit()->setFocus();
}

std::string CLoginWnd::user() const {
    std::string u = GetControlText("edit_user");
    while (!u.empty() && u.back() == ' ') u.pop_back();
    while (!u.empty() && u.front() == ' ') u.erase(u.begin());
    return u;
}

std::string CLoginWnd::server() const {
    std::string s = GetControlText("edit_server");
    while (!s.empty() && s.back() == ' ') s.pop_back();
    while (!s.empty() && s.front() == ' ') s.erase(s.begin());
    return s;
}

bool CLoginWnd::Run() {
    if (!IsSkinLoaded() && !Create()) return false;
    setWindowModality(Qt::ApplicationModal);
    CenterWindow();
    ShowWindow(true);
    activateWindow();
    QEventLoop loop;
    loop_ = &loop;
    if (isVisible()) loop.exec();
    return signedIn_;
}

void CLoginWnd::SetBusy(bool busy) {
    busy_ = busy;
    for (const char* name : {"edit_user", "edit_password", "edit_server", "bnt_login"})
        SetControlEnabled(name, !busy);
    SetControlText("bnt_login", busy ? "正在登录…" : "登录");
}

void CLoginWnd::Submit() {
    if (busy_) return;  // Enter again while waiting: the answer is on its way
    const std::string name = user();
    const std::string password = GetControlText("edit_password");
    // The kept secret is the one of the name it was kept for.
    const bool useKept = password.empty() && kept_ && name == user_ && remember();
    if (name.empty() || (password.empty() && !useKept)) {
        SetControlText("Label_error", "请输入用户名和密码");
        Focus(name.empty() ? "edit_user" : "edit_password");
        return;
    }
    if (server().empty()) {
        SetControlText("Label_error", "请输入服务器地址");
        Focus("edit_server");
        return;
    }
    SetBusy(true);
    SetControlText("Label_error", "");
    // Connecting may take a moment: the busy state is drawn first.
    repaint();
    // The answer comes on the library's thread; the window may be gone by then.
    QPointer<CLoginWnd> self(this);
    const bool started = start_ && start_(name, password, server(), remember(), [self](const SignInResult& r) {
        QMetaObject::invokeMethod(
            qApp, [self, r] { if (self) self->Finished(r); }, Qt::QueuedConnection);
    });
    if (!started) Finished(SignInResult{false, kNoService});
}

void CLoginWnd::Finished(const SignInResult& r) {
    SetBusy(false);
    if (r.ok) {
        signedIn_ = true;
        Close();
        if (loop_) loop_->quit();
        return;
    }
    // A kept sign-in that failed is not offered again: the password is asked.
    if (kept_ && GetControlText("edit_password").empty()) {
        kept_ = false;
        if (auto* edit = FindControl<CEditUI>("edit_password"))
            edit->Edit()->setPlaceholderText(QString::fromUtf8("密码"));
    }
    SetControlText("Label_error", r.error.empty() ? std::string(kNoService) : r.error);
    SetControlText("edit_password", "");
    Focus("edit_password");
}

void CLoginWnd::Cancel() {
    // Also while waiting: an answer after this finds no window.
    Close();
    if (loop_) loop_->quit();
}

void CLoginWnd::Notify(TNotifyUI& msg) {
    namespace n = dui::notify;
    if (msg.sType == n::kReturn) {
        Submit();
    } else if (msg.sType == n::kClick) {
        if (msg.senderName == "bnt_login") Submit();
        else if (msg.senderName == "bnt_cancel" || msg.senderName == "bnt_close") Cancel();
    }
}

}  // namespace patron
