// `norvactl detect`: finds the UART setting stored in the module on a port.

#include "module/SettingsDetect.h"
#include "platform/ComMap.h"
#include "platform/Console.h"
#include "tools/Session.h"
#include "tools/SignalWatcher.h"

#include <cstdio>
#include <string>

namespace norva::tools {

namespace {

std::string PortPath(const CommonOptions& opt) {
    return opt.device.empty() ? ComDevicePath(opt.comPort) : opt.device;
}

// "115200 8E2": the short form the progress line uses.
std::string Short(const LineSettings& s) {
    const char parity = s.Parity == kEvenParity ? 'E' : 'N';
    return std::to_string(s.BaudRate) + " 8" + parity + (s.StopBits == kTwoStopBits ? "2" : "1");
}

class DetectCommand : public Command {
public:
    std::string Check(const CommonOptions& common) override { return CheckPortGiven(common); }
    CommandResult Run(const CommonOptions& opt) override;
};

CommandResult DetectCommand::Run(const CommonOptions& opt) {
    // Before anything else: the mask must be in place before any thread starts.
    SignalWatcher signals;
    signals.Start(nullptr);
    CommandResult result(opt.command);
    JsonReport& report = result.report;
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
            // The first line for the one-unit commands, the second for pair.
            result.text =
                DetectOptionText(r.setting) + "\n--line " + DetectLineText(r.setting) + "\n";
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
    result.exitCode = rc;
    result.error = error;
    return result;
}

} // namespace

const CommandRegistration kDetectCommand{
    40,
    {"detect", "find the module's UART setting by trying every setting it can store",
     " (--port COMn | --device PATH) [--json]",
     "Tries 9600 8N1 first, then the other rates and framings (36 settings,\n"
     "at most a few seconds) and prints the one that answered as the options\n"
     "to pass back, e.g. \"--baud 115200 --parity even --stop 2\".\n",
     PortOptions::Choice, OutputOptions::Json, Make<DetectCommand>}};

} // namespace norva::tools
