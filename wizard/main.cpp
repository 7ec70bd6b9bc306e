// Starts straight into the wizard and ends when it closes. Nothing is read
// from or written to disk; no serial port is touched before step 1's Next.

#include "pages/PageCommon.h"
#include "wizard/MessageService.h"
#include "wizard/SerialSheet.h"
#include "wizard/StartUp.h"

#include <QApplication>
#include <QTranslator>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("TALMERO2"));
    QCoreApplication::setApplicationName(QStringLiteral("NorvaWizard"));
    norva::InitResources();
    QApplication::setWindowIcon(norva::LoadAppIcon());

    const QLocale locale = QLocale::system();
    norva::SetUiLanguage(norva::LanguageForLocale(locale));
    QTranslator qtTranslator;
    if (norva::LoadQtTranslations(locale, qtTranslator)) {
        QCoreApplication::installTranslator(&qtTranslator);
    }

    norva::CSerialSheet sheet(QStringLiteral("Configuration"), nullptr, 0);
    sheet.SetWizardMode();
    sheet.DoModal();
    return 0;
}
