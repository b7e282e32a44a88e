#pragma once
// The library's own windows: the sign-in dialog and the small profile window.

#include <QDialog>

#include <functional>
#include <string>

#include "platform/patron/patron_records.h"
#include "platform/patron/patron_session.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace patron {

// Starts a sign-in; `done` may run on any thread. False when it could not start.
using SignInStarter = std::function<bool(const std::string& user, const std::string& password,
                                         std::function<void(const SignInResult&)> done)>;

// User name, password, the reason of the last refusal, sign-in and cancel.
// Accepted once the service has signed the user in.
class CLoginDialog : public QDialog {
public:
    CLoginDialog(const std::string& user, const std::string& error, SignInStarter start,
                 QWidget* parent = nullptr);
    std::string user() const;

private:
    void Submit();
    void Finished(const SignInResult& r);
    void SetBusy(bool busy);

    SignInStarter start_;
    QLineEdit* user_;
    QLineEdit* password_;
    QLabel* error_;
    QPushButton* ok_;
    QPushButton* cancel_;
};

// Shows one user's profile; closes and frees itself.
void ShowProfileWindow(const PatronUserDetail& d);

}  // namespace patron
