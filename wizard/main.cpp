// Starts straight into the wizard and ends when it closes. Nothing is read
// from or written to disk; no serial port is touched before step 1's Next.

#include "pages/MessageService.h"
#include "pages/PageCommon.h"
#include "wizard/SerialSheet.h"
#include "wizard/StartUp.h"

#include "NorvaVersion.h"

#include <QApplication>
#include <QTranslator>

#include <cstdio>
#include <cstring>

namespace {

const char kUsage[] = R"(Usage: norvawizard [Qt options]

Pairs two Norva-BX Bluetooth serial-port modules step by step: each unit is
checked on a serial port, unit 2 finds and connects to unit 1, and both store
their UART settings and auto-connect mode.

Options:
  -h, --help     show this help
  --version      show the version

Qt's standard options, such as -platform NAME, -style NAME or -reverse, are
accepted as well.

Exit status: 0 when the wizard closes, 2 for an argument it does not know.
)";

// Answered before QApplication exists, so that they work without a display.
bool AnswerInfoOption(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-h") == 0 || std::strcmp(argv[i], "--help") == 0) {
            std::fputs(kUsage, stdout);
            return true;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::puts("norvawizard " NORVA_VERSION);
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char* argv[]) {
    if (AnswerInfoOption(argc, argv)) {
        return 0;
    }
    QApplication app(argc, argv);
    // QApplication has taken out the options it knows; the wizard itself takes none.
    if (argc > 1) {
        std::fprintf(stderr, "norvawizard: unexpected argument \"%s\" (see --help)\n", argv[1]);
        return 2;
    }
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
