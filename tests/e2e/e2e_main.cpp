// The end-to-end tests run with a QApplication (the room window needs one),
// offscreen unless a platform is chosen, and the skin root the client uses.
#include <gtest/gtest.h>

#include <QApplication>

#include "platform/kitlib/kitlib.h"
#include "platform/patron/patron.h"
#include "platform/winmsg/message_target.h"
#include "ui/skin_root.h"

int main(int argc, char** argv) {
    if (qgetenv("QT_QPA_PLATFORM").isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    InstallQtMessageRouter();
    ui::UseDefaultSkinRoot();
    // Power list and picture services are not asked for here (port 1 refuses).
    KITLIB_SetHosts("127.0.0.1:1", "127.0.0.1:1");
    KITLIB_Init(0);
    ::testing::InitGoogleTest(&argc, argv);
    const int rc = RUN_ALL_TESTS();
    PATRON_Shutdown();
    KITLIB_Release();
    return rc;
}
