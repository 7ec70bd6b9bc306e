#include "tools/DetectCommand.h"

#include "module/SettingsDetect.h"
#include "platform/ComMap.h"
#include "platform/Console.h"
#include "tools/ExitCodes.h"
#include "tools/JsonReport.h"
#include "tools/SignalWatcher.h"

#include <cstdio>
#include <string>

namespace norva::tools {

namespace {

std::string PortPath(const CliOptions& opt) {
    return opt.device.empty() ? ComDevicePath(opt.comPort) : opt.device;
}

// "115200 8E2": the short form the progress line uses.
std::string Short(const LineSettings& s) {
    const char parity = s.Parity == kEvenParity ? 'E' : 'N';
    return std::to_string(s.BaudRate) + " 8" + parity + (s.StopBits == kTwoStopBits ? "2" : "1");
}

} // namespace

int RunDetect(const CliOptions& opt) {
    // Before anything else: the mask must be in place before any thread starts.
    SignalWatcher signals;
    signals.Start(nullptr);
    JsonReport report(opt.command);
    const std::string path = PortPath(opt);
    // On a terminal the user sees which setting is being tried; a pipe or a
    // log file gets only the outcome.
    const bool showProgress = !opt.json && StderrIsTerminal();

    int rc = kExitOk;
    std::string error;
    if (path.empty()) {
        rc = kExitPortFailed;
        error = "Serial port open failed. COM" + std::to_string(opt.comPort) +
                " is not a known serial port";
    } else {
        const DetectResult r = DetectSettings(
            path, signals.Signalled(), [showProgress](int index, int count, const LineSettings& s) {
                if (showProgress) {
                    std::fprintf(stderr, "\rtrying %-12s %2d/%d", Short(s).c_str(), index, count);
                }
            });
        if (showProgress && r.tried > 0) {
            std::fprintf(stderr, "\r%30s\r", "");
        }
        switch (r.outcome) {
        case DetectResult::Outcome::Found:
            report.SetSetting(r.setting, r.tried);
            if (!opt.json) {
                // The first line for the one-unit commands, the second for pair.
                std::printf("%s\n--line %s\n", DetectOptionText(r.setting).c_str(),
                            DetectLineText(r.setting).c_str());
            }
            break;
        case DetectResult::Outcome::NoAnswer:
            rc = kExitNoAnswer;
            error = "no setting answered on " + path + " (" + std::to_string(r.tried) +
                    " tried). Check that the module is powered, not linked in data mode, "
                    "and that its response messages are on.";
            break;
        case DetectResult::Outcome::OpenFailed:
            rc = kExitPortFailed;
            error = "Serial port open failed. " + r.reason;
            break;
        case DetectResult::Outcome::DeviceGone:
            rc = kExitPortFailed;
            error = r.reason;
            break;
        case DetectResult::Outcome::Cancelled:
            rc = signals.ExitCode();
            error = signals.Describe();
            break;
        }
    }
    signals.Stop();
    if (!error.empty()) {
        std::fprintf(stderr, "norvactl: %s\n", error.c_str());
    }
    if (opt.json) {
        std::printf("%s\n", report.Dump(rc, error).c_str());
    }
    std::fflush(stdout);
    return rc;
}

} // namespace norva::tools
