// The skinned-window tests need a QApplication; they run offscreen.
#include <gtest/gtest.h>

#include <QApplication>

#include "platform/winmsg/message_target.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    InstallQtMessageRouter();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
