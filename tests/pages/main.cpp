#include "wizard/MessageService.h"

#include <QApplication>
#include <gtest/gtest.h>

#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define NORVA_TSAN 1
#endif
#endif
#if defined(__SANITIZE_THREAD__)
#define NORVA_TSAN 1
#endif

#ifdef NORVA_TSAN
// Qt is not built with ThreadSanitizer: what its thread pool does on its own
// threads (image work when painting at 150 %) is synchronised where TSan cannot see.
extern "C" const char* __tsan_default_suppressions() {
    return "called_from_lib:libQt6Core.so.6\n"
           "called_from_lib:libQt6Gui.so.6\n";
}
#endif

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
