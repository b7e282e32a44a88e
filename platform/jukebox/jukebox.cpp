#include "platform/jukebox/jukebox.h"

#include <QApplication>
#include <QThread>
#include <memory>
#include <mutex>

#include "core/log.h"
#include "platform/jukebox/jukebox_devices.h"
#include "platform/jukebox/jukebox_window.h"

struct jukebox_t {
    std::unique_ptr<jukebox::CJukeboxWindow> window;
};

namespace jukebox {

namespace {

std::mutex g_devicesLock;
wavedev::Options g_devices;

}  // namespace

void SetDevices(const wavedev::Options& devices) {
    std::lock_guard<std::mutex> lock(g_devicesLock);
    g_devices = devices;
}

wavedev::Options Devices() {
    std::lock_guard<std::mutex> lock(g_devicesLock);
    return g_devices;
}

}  // namespace jukebox

namespace {

bool OnUiThread() {
    const auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    return app && QThread::currentThread() == app->thread();
}

}  // namespace

JUKEBOX_HANDLE JUKEBOX_InitPlay(JukeboxLyricCallback callback, void* context) {
    if (!OnUiThread()) {
        log_err("jukebox: the player needs the QApplication's thread");
        return nullptr;
    }
    wavedev::Options devices = jukebox::Devices();
    // Its own folder: the voice path may write a file of the same rate.
    if (!devices.outputDir.empty()) devices.outputDir += "/jukebox";
    auto player = std::make_unique<jukebox_t>();
    player->window = std::make_unique<jukebox::CJukeboxWindow>(callback, context, devices);
    player->window->show();
    return player.release();
}

int JUKEBOX_ShowPlayDlg(JUKEBOX_HANDLE player) {
    if (!player || !player->window || !OnUiThread()) return 1;
    jukebox::CJukeboxWindow& window = *player->window;
    window.show();
    window.setWindowState((window.windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window.raise();
    window.activateWindow();
    return 0;
}

void JUKEBOX_Realse(JUKEBOX_HANDLE player) {
    if (!player) return;
    if (!OnUiThread() && QCoreApplication::instance()) {
        // A window may only go on its own thread: hand it over rather than crash.
        log_err("jukebox: released off the UI thread; freed there instead");
        QMetaObject::invokeMethod(QCoreApplication::instance(), [player] { delete player; },
                                  Qt::QueuedConnection);
        return;
    }
    delete player;  // the window stops the music and closes with it
}
