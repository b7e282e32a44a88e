#include "app/client.h"

#include <poll.h>
#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QIcon>
#include <QImageReader>
#include <QMessageBox>
#include <QTimer>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <string>
#include <thread>

#include "app/account_callback.h"
#include "core/log.h"
#include "platform/jukebox/jukebox_devices.h"
#include "platform/text/terminal.h"
#include "core/paths.h"
#include "core/service_hosts.h"
#include "net/proxy_sinks.h"
#include "platform/kitlib/kitlib.h"
#include "platform/patron/patron.h"
#include "platform/vcast/vcast.h"
#include "platform/winmsg/message_target.h"
#include "ui/skin_root.h"

namespace {

void Step(const char* what) { log_msg("startup %s\r\n", what); }

// Set by SIGINT/SIGTERM; the UI thread notices and runs the exit path, so
// the account is signed out and the room left as on any other exit.
std::atomic<bool> g_stopRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free);
extern "C" void OnStopSignal(int) { g_stopRequested = true; }

// Reads standard input on its own thread; every line goes to the room
// window, the end of input asks it to exit.
class CConsoleReader {
public:
    void Start(int fd, HWND target) {
        fd_ = fd;
        target_ = target;
        running_ = true;
        thread_ = std::thread([this] { Run(); });
    }
    ~CConsoleReader() {
        running_ = false;
        if (thread_.joinable()) thread_.join();
    }

private:
    static constexpr std::size_t kMaxLine = 4096;

    void Run() {
        std::string line;
        char buf[1024];
        while (running_) {
            pollfd p{fd_, POLLIN, 0};
            const int r = ::poll(&p, 1, 100);  // wakes to notice the stop
            if (r < 0 && errno == EINTR) continue;
            if (r < 0) break;
            if (r == 0) continue;
            const ssize_t n = ::read(fd_, buf, sizeof buf);
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
            if (n <= 0) break;
            for (ssize_t i = 0; i < n; ++i) {
                if (buf[i] == '\n') {
                    if (!line.empty() && line.back() == '\r') line.pop_back();
                    PostMessage(target_, UM_CONSOLE_LINE, 0, 0,
                                std::make_unique<TMessageData<std::string>>(std::move(line)));
                    line.clear();
                } else if (line.size() < kMaxLine) {
                    line.push_back(buf[i]);
                }
            }
        }
        if (running_) PostMessage(target_, UM_EXIT_APPLICATION, 0, 0);
    }

    int fd_ = 0;
    HWND target_ = 0;
    std::atomic<bool> running_{false};
    std::thread thread_;
};

}  // namespace

CRoomWindow::CRoomWindow(PATRON_HANDLE h, FILE* out, CRoomStack::Mode mode)
    : account(h), stack(mode, out, link, account) {}

int signIn(AppContext& ctx, FILE* out, CRoomStack::Mode mode,
            std::unique_ptr<CRoomWindow>& window, const CVoiceSet::Options* voice,
            const std::function<void()>& signedIn) {
    PATRON_HANDLE h = PATRON_Connect();
    if (!h) {
        KITLIB_ShowMessageBox("登陆接入失败！", "提示", KITLIB_MB_ERROR);
        if (mode == CRoomStack::Mode::headless) {
            log_msg("PATRON_Connect fail ExitProcess \r\n");
            return client_exit::account_unreachable;
        }
        // The sign-in window tries again, at this server or another.
        log_msg("PATRON_Connect fail: the sign-in window tries again\r\n");
        h = PATRON_Open();
    }
    PATRON_SetCallBack(h, AccountCallback, &ctx);
    if (!PATRON_Login(h)) {
        PATRON_Close(h);
        return client_exit::sign_in_refused;
    }
    if (signedIn) signedIn();
    window = std::make_unique<CRoomWindow>(h, out, mode);
    ctx.SetRoom(window.get());
    window->stack.Open("zeri");
    // The room window's start: who I am, the HTTP helper, then the session.
    const HWND host = window->stack.host().Handle();
    window->account.SetWindow(host);
    ctx.SetHwnd(host);
    std::uint32_t me = 0, expiry = 0;
    PATRON_GetLoginInfo(h, &me, &expiry);
    KITLIB_Init(me);
    char token[128] = {};
    PATRON_GetToken(h, token);
    KITLIB_SetCredentials(me, token);
    if (voice) window->stack.EnableVoice(*voice);
    window->stack.EnableVideo();
    const bool started = window->stack.Start();
    // Voice and video from the media connection go straight to their engines.
    if (CVoiceSet* v = window->stack.voice()) ctx.SetAudioSink(&v->engine());
    if (CRoomVideo* v = window->stack.video()) ctx.SetVideoSink(v);
    if (!started) {
        // Without the friends store the window cannot run: its exit path at once.
        PostMessage(host, UM_EXIT_APPLICATION, 0, 0);
    }
    return client_exit::ok;
}

int RunClient(int argc, char** argv, const ClientOptions& opt, const ClientPorts& ports,
              const ClientIo& io) {
    AppContext& ctx = AppContext::instance();

    // 1. The application object. Windows need a display; without one the
    // process ends with one line.
    if (!opt.headless && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") &&
        !std::getenv("QT_QPA_PLATFORM")) {
        std::fprintf(io.err, "zeri: no display; use --headless\n");
        return client_exit::usage;
    }
    std::unique_ptr<QCoreApplication> app;
    if (opt.headless)
        app = std::make_unique<QCoreApplication>(argc, argv);
    else
        app = std::make_unique<QApplication>(argc, argv);
    InstallQtMessageRouter();
    // Skins are read relative to this root; the window needs it set first.
    if (!opt.headless) {
        const std::string skins = ui::UseDefaultSkinRoot();
        // The desktop ties the windows to the menu entry (zeri.desktop) and
        // shows the program's mark for them.
        QGuiApplication::setDesktopFileName("zeri");
        QApplication::setWindowIcon(QIcon(QString::fromStdString(skins + "skin/logo.png")));
    }
    Step("1 application");

    // 2. Pictures inside rich text: the image readers are plugins.
    if (!opt.headless)
        log_msg("startup 2 image formats=%d\r\n",
                static_cast<int>(QImageReader::supportedImageFormats().size()));
    else
        Step("2 image formats (no windows)");

    // 3. Skins and other resources resolve against the executable's folder.
    const std::string exe = paths::ExeFolder();
    QDir::setSearchPaths("skin", {QString::fromStdString(exe + "skin")});
    Step("3 resource path");

    // 4. The configuration folder.
    const std::string conf = paths::DataFolder() + "conf/";
    if (!paths::DirExists(conf) && !paths::MakeDirs(conf)) {
        std::fprintf(io.err, "zeri: cannot use the data folder %s\n",
                     text::ForTerminal(paths::DataFolder()).c_str());
        return client_exit::data_folder;
    }
    Step("4 conf folder");

    // 5. Relative paths used later resolve against the executable's folder.
    if (::chdir(exe.c_str()) != 0) log_msg("chdir %s fail\r\n", exe.c_str());
    Step("5 current directory");

    // 6. The connection library with the chat connection's hook.
    CInit::instance().SetEndpoint(opt.server, ports.relay);
    if (net_proxy_init(&CInit::instance()) != 0) log_msg("net_proxy_init fail\r\n");
    Step("6 connection library");

    // 7. The audio/video connection.
    if (StartAVConnection(opt.server, ports.relay) != 0) log_msg("av connection fail\r\n");
    Step("7 av connection");

    // 8. The video library.
    VCAST_Init();
    Step("8 video library");

    // 9. Sign-in and the room window.
    KITLIB_SetHosts(opt.server + ":" + std::to_string(ports.pictures),
                    opt.server + ":" + std::to_string(ports.services));
    SetServiceHosts({opt.server, ports.catalogue, ports.checkin});
    FILE* err = io.err;
    if (opt.headless)
        KITLIB_SetMessageBoxHandler([err](const std::string& text, const std::string& caption, int) {
            std::fprintf(err, "%s: %s\n", text::ForTerminal(caption).c_str(),
                         text::ForTerminal(text).c_str());
            std::fflush(err);
            return 0;
        });
    else
        KITLIB_SetMessageBoxHandler([](const std::string& text, const std::string& caption,
                                       int type) {
            const QString t = QString::fromStdString(text), c = QString::fromStdString(caption);
            if (type == KITLIB_MB_ERROR) QMessageBox::critical(nullptr, c, t);
            else QMessageBox::information(nullptr, c, t);
            return 0;
        });
    PATRON_SetServer(opt.server, ports.account);
    PatronLoginOptions login;
    login.user = opt.user;
    login.password = opt.password;
    login.headless = opt.headless;
    login.confFolder = conf;
    login.serverGiven = opt.serverGiven;
    PATRON_SetLoginOptions(login);

    std::unique_ptr<CRoomWindow> window;
    std::unique_ptr<CConsoleReader> console;
    const CRoomStack::Mode mode = opt.headless ? CRoomStack::Mode::headless : CRoomStack::Mode::window;
    CVoiceSet::Options voice;
    voice.devices.inputWav = opt.audioIn;
    voice.devices.outputDir = opt.audioOut;
    // The music player plays where the voice does (--audio-out: its own file).
    jukebox::SetDevices(voice.devices);
    // Signed in at another server than --server (chosen in the sign-in
    // window): the room connections and services follow it.
    const auto followServer = [&opt, &ports] {
        std::string host;
        std::uint16_t port = 0;
        PATRON_GetServer(host, port);
        if (host.empty() || host == opt.server) return;
        log_msg("startup server %s chosen at sign-in\r\n", host.c_str());
        CInit::instance().SetEndpoint(host, ports.relay);
        if (AppContext::instance().GetAVProxy()) ReleaseAVConnection();
        if (StartAVConnection(host, ports.relay) != 0) log_msg("av connection fail\r\n");
        KITLIB_SetHosts(host + ":" + std::to_string(ports.pictures),
                        host + ":" + std::to_string(ports.services));
        SetServiceHosts({host, ports.catalogue, ports.checkin});
    };
    int status = signIn(ctx, io.out, mode, window, &voice, followServer);
    if (status == client_exit::ok) {
        Step("9 signed in");
        QCoreApplication* a = app.get();
        CRoomHost& roomHost = window->stack.host();
        if (opt.headless && opt.room) {
            // Started for one room: a refusal of it ends the run, with why.
            FILE* err = io.err;
            const HWND host = roomHost.Handle();
            roomHost.session().SetOnLoginRefused(
                [err, host, &status](std::uint32_t room, const std::string& text) {
                    std::fprintf(err, "zeri: room %u refused: %s\n", room,
                                 text::ForTerminal(text).c_str());
                    std::fflush(err);
                    status = client_exit::room_refused;
                    PostMessage(host, UM_EXIT_APPLICATION, 0, 0);
                });
        }
        roomHost.SetOnExit([a] {
            // Queued: the exit path may run before the loop has started.
            QMetaObject::invokeMethod(a, [a] { a->quit(); }, Qt::QueuedConnection);
        });
        if (!opt.headless) {
            // The directory is where a window user starts without --room and
            // returns to after leaving; its choice is the account library's
            // "enter room", its close the exit path.
            const PATRON_HANDLE account = window->account.handle();
            const HWND host = roomHost.Handle();
            window->stack.OpenDirectory(
                [account](std::uint32_t room) { PATRON_EnterRoom(account, room); },
                [host] { PostMessage(host, UM_EXIT_APPLICATION, 0, 0); }, opt.room == 0);
        }
        if (CRoomVideo* video = window->stack.video(); video && !opt.videoSource.empty()) {
            if (opt.videoSource == "pattern") video->SetWanted(CRoomVideo::Source::pattern);
            else if (opt.videoSource == "screen") video->SetWanted(CRoomVideo::Source::screen);
            else video->SetWanted(CRoomVideo::Source::movie, opt.videoSource.substr(5));
        }
        // As if typed once the room is entered.
        if (opt.anchor) window->stack.Type("/anchor");
        if (opt.record) window->stack.Type("/record start");
        if (opt.room) PostMessage(roomHost.Handle(), UM_ENTER_ROOM, opt.room, 0);
        if (opt.headless && io.in >= 0) {
            console = std::make_unique<CConsoleReader>();
            console->Start(io.in, roomHost.Handle());
        }
        QTimer stopPoll;
        if (io.stopOnSignals) {
            g_stopRequested = false;
            std::signal(SIGINT, OnStopSignal);
            std::signal(SIGTERM, OnStopSignal);
            const HWND host = roomHost.Handle();
            QObject::connect(&stopPoll, &QTimer::timeout, [host] {
                if (g_stopRequested.exchange(false)) PostMessage(host, UM_EXIT_APPLICATION, 0, 0);
            });
            stopPoll.start(100);
        }
        // 10. The message loop.
        Step("10 event loop");
        app->exec();
        if (io.stopOnSignals) {
            // A second interrupt during teardown ends the process at once.
            std::signal(SIGINT, SIG_DFL);
            std::signal(SIGTERM, SIG_DFL);
        }
        Step("11 event loop ended");
    } else {
        Step("9 not signed in");
    }

    // Teardown in reverse. The room window goes before the connection
    // library, so a connection thread waiting in a sent message wakes.
    console.reset();
    if (window) {
        window->account.Close();
        // Waits for a voice packet or a video frame still in its engine,
        // which then may go.
        ctx.SetAudioSink(nullptr);
        ctx.SetVideoSink(nullptr);
        ctx.SetRoom(nullptr);
        ctx.SetHwnd(0);
        window.reset();
    }
    Step("teardown room window");
    PATRON_Shutdown();
    KITLIB_SetCredentials(0, std::string());
    KITLIB_Release();
    Step("teardown account");
    VCAST_Release();
    Step("teardown video library");
    if (ctx.GetAVProxy()) ReleaseAVConnection();
    net_proxy_shutdown();
    CInit::instance().Reset();
    Step("teardown connections");
    KITLIB_SetMessageBoxHandler(nullptr);
    app.reset();
    Step("teardown application");
    return status;
}
