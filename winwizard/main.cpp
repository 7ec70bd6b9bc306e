// The Windows wizard: starts straight into the sheet and ends when it closes.
// No serial port is touched before step 1's Next.

#include "res/strings/StringTable.h"
#include "winwizard/Dialogs.h"
#include "winwizard/Text.h"
#include "winwizard/WinSheet.h"

#include "NorvaVersion.h"

#include "winwizard/Win32.h"

#include <shellapi.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

const char kUsage[] =
    "Usage: norvawizard [--help] [--version]\n\n"
    "Pairs two Norva-BX Bluetooth serial-port modules step by step: each unit is checked on a "
    "COM port, unit 2 finds and connects to unit 1, and both store their UART settings and "
    "auto-connect mode.\n\n"
    "The language follows the user's: Korean when it is Korean, English otherwise.";

const char kNoRegister[] =
    "The pair register (--record, --operator, --repair) is not part of the Windows build of "
    "norvawizard: record pairings with norvawizard or norvactl on Linux.";

// LANG and its kin when they are set (Wine passes them on), else the user's
// interface language.
norva::UiLanguage UserLanguage() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && value[0] != '\0') {
            return norva::LanguageFromEnvironment();
        }
    }
    return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_KOREAN ? norva::UiLanguage::Korean
                                                                    : norva::UiLanguage::English;
}

std::vector<std::string> Arguments() {
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> args;
    for (int i = 1; i < count; ++i) {
        args.push_back(norva::win::Utf8(argv[i]));
    }
    LocalFree(argv);
    return args;
}

} // namespace

int WINAPI wWinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, PWSTR /*command*/,
                    int /*show*/) {
    norva::SetUiLanguage(UserLanguage());
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_ANIMATE_CLASS |
                                                       ICC_PROGRESS_CLASS | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    for (const std::string& arg : Arguments()) {
        if (arg == "-h" || arg == "--help" || arg == "/?") {
            norva::win::ShowBox(nullptr, kUsage, {}, false);
            return 0;
        }
        if (arg == "--version") {
            norva::win::ShowBox(nullptr, "norvawizard " NORVA_VERSION, {}, false);
            return 0;
        }
        if (arg == "--record" || arg == "--operator" || arg == "--repair") {
            norva::win::ShowBox(nullptr, kNoRegister, {}, false);
            return 2;
        }
        norva::win::ShowBox(nullptr, "norvawizard: unexpected argument \"" + arg + "\"", kUsage,
                            false);
        return 2;
    }
    norva::win::CWinSheet sheet;
    sheet.Run();
    return 0;
}
