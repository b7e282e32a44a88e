// The room window tests run offscreen against the skin folder the build
// made (sources plus the drawn art).
#include <gtest/gtest.h>

#include <QApplication>

#include "platform/dui/window.h"
#include "platform/winmsg/message_target.h"

int main(int argc, char** argv) {
    if (qgetenv("QT_QPA_PLATFORM").isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    InstallQtMessageRouter();
    dui::SetResourceRoot(ZERI_BUILT_SKIN_ROOT);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
