// The sign-in window under the offscreen platform, against an in-process
// account service: fill and submit, a refusal with the service's words,
// cancel, and the remembered user name.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <cstdlib>
#include <cstring>
#include <functional>

#include "platform/patron/patron.h"
#include "platform/patron/patron_session.h"
#include "platform/patron/patron_windows.h"
#include "tests/support/account_server.h"

using patron::CLoginDialog;
using testsupport::AccountServer;

namespace {

template <class Pred>
bool Pump(Pred done, int limitMs = 10000) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > limitMs) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

struct Form {
    explicit Form(QWidget* d)
        : user(d->findChild<QLineEdit*>("user")),
          password(d->findChild<QLineEdit*>("password")),
          error(d->findChild<QLabel*>("error")),
          ok(d->findChild<QPushButton*>("ok")),
          cancel(d->findChild<QPushButton*>("cancel")) {}
    bool complete() const { return user && password && error && ok && cancel; }
    QLineEdit* user;
    QLineEdit* password;
    QLabel* error;
    QPushButton* ok;
    QPushButton* cancel;
};

class LoginWindow : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(session.Connect(5000)); }

    patron::SignInStarter Starter() {
        return [this](const std::string& u, const std::string& p,
                      std::function<void(const patron::SignInResult&)> done) {
            ++requests;
            return session.SignIn(u, p, std::move(done));
        };
    }

    AccountServer srv;
    patron::CSession session{"127.0.0.1", srv.accountPort()};
    int requests = 0;
};

// Runs `act` on the modal window once it shows.
void WhenModal(std::function<void(QWidget*)> act) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (QWidget* w = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            act(w);
        }
    });
    timer->start(10);
}

}  // namespace

TEST_F(LoginWindow, ARefusalShowsTheServicesWordsAndTheNextTrySignsIn) {
    CLoginDialog d("", "", Starter());
    d.open();
    Form f(&d);
    ASSERT_TRUE(f.complete());

    // Nothing typed: said locally, nothing asked.
    f.ok->click();
    EXPECT_EQ(f.error->text().toStdString(), "请输入用户名和密码");
    EXPECT_EQ(requests, 0);

    f.user->setText("alice");
    f.password->setText("wrong");
    f.ok->click();
    EXPECT_FALSE(f.ok->isEnabled());  // busy while the service answers
    ASSERT_TRUE(Pump([&] { return f.ok->isEnabled(); }));
    EXPECT_EQ(f.error->text().toStdString(), "用户名或密码错误");
    EXPECT_TRUE(f.password->text().isEmpty());
    EXPECT_TRUE(d.isVisible());
    EXPECT_FALSE(session.signedIn());

    f.password->setText("alice-demo");
    f.ok->click();
    ASSERT_TRUE(Pump([&] { return d.result() == QDialog::Accepted; }));
    EXPECT_TRUE(session.signedIn());
    EXPECT_EQ(session.userId(), testsupport::kAlice.id);
    EXPECT_EQ(d.user(), "alice");
    EXPECT_EQ(requests, 2);
}

TEST_F(LoginWindow, CancelRejectsEvenWhileTheAnswerIsOnItsWay) {
    auto d = std::make_unique<CLoginDialog>("bob", "", Starter());
    d->open();
    Form f(d.get());
    EXPECT_EQ(f.user->text().toStdString(), "bob");
    f.password->setText("bob-demo");
    f.ok->click();
    f.cancel->click();
    EXPECT_EQ(d->result(), QDialog::Rejected);
    d.reset();  // the late answer must find no window
    ASSERT_TRUE(Pump([&] { return session.signedIn(); }));
    QApplication::processEvents();
}

TEST_F(LoginWindow, RefusedFlagsOpenTheWindowWithTheReasonAndTheNameIsRememberedForNextTime) {
    PATRON_SetServer("127.0.0.1", srv.accountPort());
    PatronLoginOptions o;
    o.user = "alice";
    o.password = "not-it";
    o.confFolder = srv.dir.path() + "conf/";
    PATRON_SetLoginOptions(o);

    const PATRON_HANDLE h = PATRON_Connect();
    ASSERT_NE(h, 0u);
    std::string shownError, shownUser;
    WhenModal([&](QWidget* w) {
        Form f(w);
        shownError = f.error->text().toStdString();
        shownUser = f.user->text().toStdString();
        f.password->setText("alice-demo");
        f.ok->click();
    });
    EXPECT_EQ(PATRON_Login(h), 1);
    EXPECT_EQ(shownError, "用户名或密码错误");
    EXPECT_EQ(shownUser, "alice");
    PATRON_Close(h);

    // No flags this time: the window offers the last name; cancel gives 0.
    o.user.clear();
    o.password.clear();
    PATRON_SetLoginOptions(o);
    const PATRON_HANDLE h2 = PATRON_Connect();
    ASSERT_NE(h2, 0u);
    shownUser.clear();
    WhenModal([&](QWidget* w) {
        Form f(w);
        shownUser = f.user->text().toStdString();
        f.cancel->click();
    });
    EXPECT_EQ(PATRON_Login(h2), 0);
    EXPECT_EQ(shownUser, "alice");
    PATRON_Close(h2);
    PATRON_Shutdown();
}

TEST_F(LoginWindow, TheProfileWindowShowsTheUser) {
    PatronUserDetail d{};
    d.userId = 10002;
    std::strcpy(d.nickname, "鲍勃");
    std::strcpy(d.wealthText, "富户");
    d.wealthGrade = 3;
    patron::ShowProfileWindow(d);
    QWidget* shown = nullptr;
    ASSERT_TRUE(Pump([&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == "profile" && w->isVisible()) shown = w;
        return shown != nullptr;
    }));
    QStringList texts;
    for (QLabel* l : shown->findChildren<QLabel*>()) texts << l->text();
    EXPECT_TRUE(texts.contains("鲍勃"));
    EXPECT_TRUE(texts.contains("10002"));
    EXPECT_TRUE(texts.contains("富户 (3)"));
    shown->close();  // frees itself
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
