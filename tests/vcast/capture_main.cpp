// Overlay text needs fonts, and fonts need a QGuiApplication; offscreen.
#include <gtest/gtest.h>

#include <QGuiApplication>

extern "C" {
#include <libavutil/log.h>
}

int main(int argc, char** argv) {
    if (qgetenv("QT_QPA_PLATFORM").isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    av_log_set_level(AV_LOG_WARNING);  // the encoder's statistics at every close are noise here
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
