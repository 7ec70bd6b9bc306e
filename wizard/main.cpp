// Starts straight into the wizard and ends when it closes. Nothing is read
// from or written to disk; no serial port is touched before step 1's Next.

#include "pages/PageCommon.h"
#include "res/strings/StringTable.h"
#include "wizard/MessageService.h"
#include "wizard/SerialSheet.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("TALMERO2"));
    QCoreApplication::setApplicationName(QStringLiteral("NorvaWizard"));
    norva::InitResources();
    QApplication::setWindowIcon(norva::LoadAppIcon());

    const QLocale locale = QLocale::system();
    norva::SetUiLanguage(locale.language() == QLocale::Korean ? norva::UiLanguage::Korean
                                                              : norva::UiLanguage::English);
    // Qt's own texts (standard buttons) in the user's language, when installed.
    QTranslator qtTranslator;
    if (qtTranslator.load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(&qtTranslator);
    }

    norva::CSerialSheet sheet(QStringLiteral("Configuration"), nullptr, 0);
    sheet.SetWizardMode();
    sheet.DoModal();
    return 0;
}
