#include "pages/MessageService.h"
#include "res/strings/StringTable.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    norva::InitResources();
    // The expected texts below are the English ones, whatever the machine's locale.
    norva::SetUiLanguage(norva::UiLanguage::English);
    return RUN_ALL_TESTS();
}
