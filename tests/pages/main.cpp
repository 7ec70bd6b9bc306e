#include "pages/MessageService.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (platform.isEmpty() || platform == "offscreen") {
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" NORVA_TEST_SCREEN_CONFIG);
    }
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    norva::InitResources();
    return RUN_ALL_TESTS();
}
