#pragma once
// The sign-in window ("LoginUI.xml"): user name, password and the account
// server's address; sign-in with a busy state while the service answers,
// its refusal inline, cancel. Enter in any box is the sign-in button.

#include <QEventLoop>
#include <QPointer>

#include <functional>
#include <string>

#include "platform/dui/window.h"
#include "platform/patron/patron_session.h"

namespace patron {

// Starts a sign-in at `server` ("host[:port]"); `done` may run on any
// thread. False when it could not start (the window then says so).
// An empty password with `remember` means: sign in with the kept secret.
using SignInStarter =
    std::function<bool(const std::string& user, const std::string& password, const std::string& server,
                       bool remember, std::function<void(const SignInResult&)> done)>;

class CLoginWnd : public WindowImplBase {
public:
    // `kept`: a kept sign-in exists for `user`; the password may stay empty.
    CLoginWnd(std::string user, std::string server, std::string error, bool kept, SignInStarter start);
    ~CLoginWnd() override;

    std::string GetWindowClassName() const override { return "LoginUI"; }
    std::string GetSkinFile() const override { return "LoginUI.xml"; }
    void Notify(TNotifyUI& msg) override;

    // Shows the window until the user is signed in (true) or cancels.
    bool Run();
    // What the sign-in button does.
    void Submit();
    void Cancel();
    bool busy() const { return busy_; }
    bool signedIn() const { return signedIn_; }
    std::string user() const;
    std::string server() const;
    bool remember() const { return IsControlSelected("check_remember"); }
    // Signing in with the kept secret is on offer (until it fails).
    bool kept() const { return kept_; }

protected:
    void InitWindow() override;
    void OnEscape() override { Cancel(); }
    bool OnSystemClose() override {
        Cancel();
        return false;
    }

private:
    void Finished(const SignInResult& r);
    void SetBusy(bool busy);
    void Focus(const char* name);

    std::string user_, server_, error_;
    SignInStarter start_;
    bool busy_ = false;
    bool signedIn_ = false;
    bool kept_ = false;
    QPointer<QEventLoop> loop_;
};

}  // namespace patron
