// Starts straight into the wizard and ends when it closes. Nothing is read
// from or written to disk unless a register is named (--record); no serial
// port is touched before step 1's Next.

#include "pages/MessageService.h"
#include "pages/PageCommon.h"
#include "wizard/SerialSheet.h"
#include "wizard/StartUp.h"

#include "NorvaVersion.h"

#include <QApplication>
#include <QTranslator>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const char kUsage[] = R"(Usage: norvawizard [Qt options]

Pairs two Norva-BX Bluetooth serial-port modules step by step: each unit is
checked on a serial port, unit 2 finds and connects to unit 1, and both store
their UART settings and auto-connect mode.

Options:
  -h, --help         show this help
  --version          show the version
  --record TARGET    record the pairing in a register: a SQLite file or a
                     postgresql:// database, as norvactl pair --record
  --operator NAME    the operator recorded with the pairing
  --repair           pair a unit the register holds in another pair anew

Qt's standard options, such as -platform NAME, -style NAME or -reverse, are
accepted as well.

The language follows the user's locale: Korean when it is Korean
(LANG=ko_KR.UTF-8 norvawizard), English otherwise.

Exit status: 0 when the wizard closes, 1 when there is no display to show it
on, 2 for an argument it does not know, 5 when the register cannot be opened
or written.
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

// Takes the wizard's own options out of argv, as QApplication does with its
// own; false (and `error`) for one without its value.
bool TakeStationOptions(int& argc, char* argv[], norva::StationOptions& options,
                        std::string& error) {
    int out = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        std::string* value = arg == "--record"     ? &options.record
                             : arg == "--operator" ? &options.operatorName
                                                   : nullptr;
        if (value != nullptr) {
            if (i + 1 >= argc || argv[i + 1][0] == '\0') {
                error = arg + " needs a value (see --help)";
                return false;
            }
            *value = argv[++i];
        } else if (arg == "--repair") {
            options.repair = true;
        } else {
            argv[out++] = argv[i];
        }
    }
    argc = out;
    argv[argc] = nullptr;
    if (options.record.empty() && (options.repair || !options.operatorName.empty())) {
        error = "--repair and --operator need --record";
        return false;
    }
    return true;
}

bool EnvSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0';
}

// Qt aborts with a long plugin message when it has no display to open; a
// user on a bare terminal needs one line that says what to do instead.
bool NoDisplay(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0) {
            return false;
        }
    }
    return !EnvSet("QT_QPA_PLATFORM") && !EnvSet("DISPLAY") && !EnvSet("WAYLAND_DISPLAY");
}

} // namespace

int main(int argc, char* argv[]) {
    if (AnswerInfoOption(argc, argv)) {
        return 0;
    }
    norva::StationOptions station;
    std::string error;
    if (!TakeStationOptions(argc, argv, station, error)) {
        std::fprintf(stderr, "norvawizard: %s\n", error.c_str());
        return 2;
    }
    if (NoDisplay(argc, argv)) {
        std::fputs("norvawizard: no display to show the wizard on (DISPLAY and WAYLAND_DISPLAY "
                   "are not set): start it in a desktop session, or pair on this terminal with "
                   "norvactl pair\n",
                   stderr);
        return 1;
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
    // Before the window shows: a register that cannot be written is said
    // before anything reaches a module.
    if (!sheet.Station().Open(station, error)) {
        std::fprintf(stderr, "norvawizard: %s\n", error.c_str());
        return 5;
    }
    sheet.SetWizardMode();
    sheet.DoModal();
    return 0;
}
