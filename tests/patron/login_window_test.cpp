// The sign-in window under the offscreen platform, against an in-process
// account service: Enter signs in like the button, a refusal shows the
// service's words, cancel, the remembered name and server, and a server that
// cannot be reached offered again (or another one) instead of ending.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>

#include "core/files.h"
#include "platform/dui/inputs.h"
#include "platform/patron/patron.h"
#include "platform/patron/patron_login_wnd.h"
#include "platform/patron/patron_session.h"
#include "platform/patron/patron_windows.h"
#include "tests/support/account_server.h"

namespace fs = std::filesystem;
using patron::CLoginWnd;
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

QLineEdit* Box(CLoginWnd& w, const char* name) {
    auto* e = w.FindControl<CEditUI>(name);
    return e ? e->Edit() : nullptr;
}

void Type(CLoginWnd& w, const char* name, const QString& text) {
    QLineEdit* e = Box(w, name);
    ASSERT_NE(e, nullptr) << name;
    e->clear();
    QTest::keyClicks(e, text);
}

void PressEnter(CLoginWnd& w, const char* name) { QTest::keyClick(Box(w, name), Qt::Key_Return); }

class LoginWindow : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(session.Connect(5000)); }

    patron::SignInStarter Starter() {
        return [this](const std::string& u, const std::string& p, const std::string& server, bool,
                      std::function<void(const patron::SignInResult&)> done) {
            ++requests;
            lastServer = server;
            return session.SignIn(u, p, std::move(done));
        };
    }

    AccountServer srv;
    patron::CSession session{"127.0.0.1", srv.accountPort()};
    int requests = 0;
    std::string lastServer;
};

// Runs `act` on the sign-in window once it shows (modal).
void WhenShown(std::function<void(CLoginWnd&)> act) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (auto* w = dynamic_cast<CLoginWnd*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            act(*w);
        }
    });
    timer->start(10);
}

}  // namespace

TEST_F(LoginWindow, EnterSignsInLikeTheButtonAndARefusalShowsInline) {
    CLoginWnd w("", "127.0.0.1:" + std::to_string(srv.accountPort()), "", false, Starter());
    ASSERT_TRUE(w.Create());
    w.ShowWindow(true);

    // Nothing typed: said here, nothing asked, the window stays.
    PressEnter(w, "edit_user");
    EXPECT_EQ(w.GetControlText("Label_error"), "请输入用户名和密码");
    EXPECT_EQ(requests, 0);

    Type(w, "edit_user", "alice");
    Type(w, "edit_password", "wrong");
    PressEnter(w, "edit_password");
    EXPECT_TRUE(w.busy());
    EXPECT_FALSE(Box(w, "edit_password")->isEnabled());
    PressEnter(w, "edit_password");  // again while waiting: not a second request
    ASSERT_TRUE(Pump([&] { return !w.busy(); }));
    EXPECT_EQ(requests, 1);
    EXPECT_EQ(w.GetControlText("Label_error"), "用户名或密码错误");
    EXPECT_TRUE(Box(w, "edit_password")->text().isEmpty());
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(session.signedIn());
    QDir().mkpath(ZERI_ARTIFACTS_DIR);
    w.grab().save(ZERI_ARTIFACTS_DIR "sign-in.png");

    Type(w, "edit_password", "alice-demo");
    PressEnter(w, "edit_user");  // Enter in any box
    ASSERT_TRUE(Pump([&] { return w.signedIn(); }));
    EXPECT_TRUE(session.signedIn());
    EXPECT_EQ(session.userId(), testsupport::kAlice.id);
    EXPECT_EQ(w.user(), "alice");
    EXPECT_EQ(lastServer, "127.0.0.1:" + std::to_string(srv.accountPort()));
    EXPECT_FALSE(w.isVisible());
}

TEST_F(LoginWindow, CancelWorksEvenWhileTheAnswerIsOnItsWay) {
    auto w = std::make_unique<CLoginWnd>("bob", "127.0.0.1", "", false, Starter());
    ASSERT_TRUE(w->Create());
    w->ShowWindow(true);
    EXPECT_EQ(Box(*w, "edit_user")->text().toStdString(), "bob");
    Type(*w, "edit_password", "bob-demo");
    PressEnter(*w, "edit_password");
    w->Cancel();
    EXPECT_FALSE(w->isVisible());
    EXPECT_FALSE(w->signedIn());
    w.reset();  // the late answer must find no window
    ASSERT_TRUE(Pump([&] { return session.signedIn(); }));
    QApplication::processEvents();
}

TEST(LoginServerText, HostAndPortOrARefusal) {
    std::string host;
    std::uint16_t port = 8080;
    EXPECT_TRUE(PATRON_ParseServer(" example.org ", host, port));
    EXPECT_EQ(host, "example.org");
    EXPECT_EQ(port, 8080);
    EXPECT_TRUE(PATRON_ParseServer("10.0.0.2:9000", host, port));
    EXPECT_EQ(host, "10.0.0.2");
    EXPECT_EQ(port, 9000);
    for (const char* bad : {"", ":80", "a:0", "a:65536", "a:", "a:8x", "a b", "a/b", "a?x:1", "[::1]:80"})
        EXPECT_FALSE(PATRON_ParseServer(bad, host, port)) << bad;
    EXPECT_EQ(host, "10.0.0.2");  // a refusal changes nothing
}

TEST(LoginLibrary, RefusedFlagsOpenTheWindowAndNameAndServerAreRemembered) {
    AccountServer srv;
    const std::string conf = srv.dir.path() + "conf/";
    PATRON_SetServer("127.0.0.1", srv.accountPort());
    PatronLoginOptions o;
    o.user = "alice";
    o.password = "not-it";
    o.confFolder = conf;
    o.serverGiven = true;
    PATRON_SetLoginOptions(o);

    const PATRON_HANDLE h = PATRON_Connect();
    ASSERT_NE(h, 0u);
    std::string shownError, shownUser;
    WhenShown([&](CLoginWnd& w) {
        shownError = w.GetControlText("Label_error");
        shownUser = w.GetControlText("edit_user");
        Type(w, "edit_password", "alice-demo");
        PressEnter(w, "edit_password");
    });
    EXPECT_EQ(PATRON_Login(h), 1);
    EXPECT_EQ(shownError, "用户名或密码错误");
    EXPECT_EQ(shownUser, "alice");
    std::string remembered;
    ASSERT_TRUE(files::ReadFile(conf + "last_server", remembered));
    EXPECT_EQ(remembered, "127.0.0.1:" + std::to_string(srv.accountPort()) + "\n");
    PATRON_Close(h);

    // No flags: the window offers the last name; cancel gives 0.
    o.user.clear();
    o.password.clear();
    PATRON_SetLoginOptions(o);
    const PATRON_HANDLE h2 = PATRON_Connect();
    ASSERT_NE(h2, 0u);
    shownUser.clear();
    WhenShown([&](CLoginWnd& w) {
        shownUser = w.GetControlText("edit_user");
        w.Cancel();
    });
    EXPECT_EQ(PATRON_Login(h2), 0);
    EXPECT_EQ(shownUser, "alice");
    PATRON_Close(h2);
    PATRON_Shutdown();
}

TEST(LoginLibrary, RememberPasswordKeepsASecretNotThePasswordAndSignsInWithIt) {
    AccountServer srv;
    const std::string conf = srv.dir.path() + "conf/";
    PATRON_SetServer("127.0.0.1", srv.accountPort());
    PatronLoginOptions o;
    o.confFolder = conf;
    o.serverGiven = true;
    PATRON_SetLoginOptions(o);

    // Signed in with "remember password" ticked.
    PATRON_HANDLE h = PATRON_Connect();
    ASSERT_NE(h, 0u);
    WhenShown([](CLoginWnd& w) {
        EXPECT_FALSE(w.remember());
        Type(w, "edit_user", "bob");
        Type(w, "edit_password", "bob-demo");
        w.SetControlSelected("check_remember", true);
        PressEnter(w, "edit_password");
    });
    ASSERT_EQ(PATRON_Login(h), 1);
    PATRON_Close(h);  // signs out: the session ends, the kept sign-in stays
    const std::string file = conf + "kept_sign_in";
    std::string kept;
    ASSERT_TRUE(files::ReadFile(file, kept));
    EXPECT_EQ(kept.rfind("bob\n10002\n", 0), 0u) << kept;
    EXPECT_EQ(kept.find("bob-demo"), std::string::npos);  // never the password
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);

    // Next start: ticked, nothing typed, Enter signs in.
    h = PATRON_Connect();
    ASSERT_NE(h, 0u);
    bool offered = false;
    WhenShown([&offered](CLoginWnd& w) {
        offered = w.remember() && w.kept();
        PressEnter(w, "edit_password");
    });
    ASSERT_EQ(PATRON_Login(h), 1);
    EXPECT_TRUE(offered);
    std::uint32_t id = 0;
    PATRON_GetLoginInfo(h, &id, nullptr);
    EXPECT_EQ(id, testsupport::kBob.id);
    PATRON_Close(h);
    PATRON_Shutdown();

    // Unticked: the file goes, and the sign-out ends the secret at the service.
    const std::string secret = kept.substr(kept.rfind('\n', kept.size() - 2) + 1, 64);
    h = PATRON_Connect();
    WhenShown([](CLoginWnd& w) {
        Type(w, "edit_password", "bob-demo");
        w.SetControlSelected("check_remember", false);
        w.Submit();
    });
    ASSERT_EQ(PATRON_Login(h), 1);
    EXPECT_FALSE(fs::exists(file));
    PATRON_Close(h);
    PATRON_Shutdown();
    EXPECT_NE(srv.db().CheckKeepToken(testsupport::kBob.id, secret, srv.clock.Now()),
              server::TokenCheck::ok);

    // A kept secret the service no longer knows: the window asks for the password.
    files::WriteFileAtomic(file, "bob\n10002\n" + std::string(64, 'a') + "\n", 0600);
    h = PATRON_Connect();
    std::string refused;
    WhenShown([&refused](CLoginWnd& w) {
        w.Submit();
        Pump([&] { return !w.busy(); });
        refused = w.GetControlText("Label_error");
        EXPECT_FALSE(w.kept());
        w.Cancel();
    });
    EXPECT_EQ(PATRON_Login(h), 0);
    EXPECT_EQ(refused, "记住的登录已失效，请输入密码");
    EXPECT_FALSE(fs::exists(file));
    PATRON_Close(h);
    PATRON_Shutdown();
}

TEST(LoginLibrary, AnUnreachableServerIsOfferedAgainAndAnotherOneSignsIn) {
    AccountServer srv;
    const std::uint16_t closed = testsupport::ClosedPort();
    PATRON_SetServer("127.0.0.1", closed);
    PatronLoginOptions o;
    o.confFolder = srv.dir.path() + "conf/";
    o.serverGiven = true;
    PATRON_SetLoginOptions(o);
    EXPECT_EQ(PATRON_Connect(), 0u);
    const PATRON_HANDLE h = PATRON_Open();
    ASSERT_NE(h, 0u);

    std::string shownError, shownServer, secondError;
    WhenShown([&](CLoginWnd& w) {
        shownError = w.GetControlText("Label_error");
        shownServer = w.GetControlText("edit_server");
        // Trying the same server again is refused the same way, in the window.
        Type(w, "edit_user", "bob");
        Type(w, "edit_password", "bob-demo");
        w.Submit();
        Pump([&] { return !w.busy(); });
        secondError = w.GetControlText("Label_error");
        Type(w, "edit_server", QString("127.0.0.1:%1").arg(srv.accountPort()));
        Type(w, "edit_password", "bob-demo");
        w.Submit();
    });
    EXPECT_EQ(PATRON_Login(h), 1);
    EXPECT_EQ(shownError, "登陆接入失败！");
    EXPECT_EQ(shownServer, "127.0.0.1:" + std::to_string(closed));
    EXPECT_EQ(secondError, "登陆接入失败！");
    std::uint32_t id = 0;
    EXPECT_EQ(PATRON_GetLoginInfo(h, &id, nullptr), 1);
    EXPECT_EQ(id, testsupport::kBob.id);
    std::string host;
    std::uint16_t port = 0;
    PATRON_GetServer(host, port);
    EXPECT_EQ(port, srv.accountPort());  // the rest of the program follows
    PATRON_Close(h);
    PATRON_Shutdown();
}

TEST(LoginLibrary, TheProfileWindowShowsTheUser) {
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
    dui::SetResourceRoot(ZERI_BUILT_SKIN_ROOT);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
