#include "tools/CliOptions.h"

#include "tools/CliValues.h"

#include <CLI/CLI.hpp>

#include <map>
#include <memory>

#ifndef NORVA_VERSION
#define NORVA_VERSION "unknown"
#endif

namespace norva::tools {

namespace {

constexpr const char* kPortGroup = "Port options";
constexpr const char* kOutputGroup = "Output options";
constexpr const char* kStationGroup = "Station options";

struct CommandText {
    const char* name;
    const char* summary;
    const char* synopsis; // after "norvactl NAME"
    const char* footer;
};

constexpr const char* kPortSynopsis = " (--port COMn | --device PATH) [PORT OPTIONS]";

const CommandText kCommands[] = {
    {"ports", "list the serial ports present as \"COMn (device)\" with their USB details", "", ""},
    {"status", "check the module and read its status (status job)", kPortSynopsis, ""},
    {"probe", "send \"AT\" and wait for OK", kPortSynopsis, ""},
    {"detect", "find the module's UART setting by trying every setting it can store",
     " (--port COMn | --device PATH) [--json]",
     "Tries 9600 8N1 first, then the other rates and framings (36 settings,\n"
     "at most a few seconds) and prints the one that answered as the options\n"
     "to pass back, e.g. \"--baud 115200 --parity even --stop 2\".\n"},
    {"escape", "leave data mode with \"+++\" (escape job)", kPortSynopsis, ""},
    {"cancel", "cancel a pending scan, search or connect (cancel job)", kPortSynopsis, ""},
    {"scan", "make the module discoverable and connectable (scan job)",
     " (--port COMn | --device PATH) [PORT OPTIONS] [--mode M] [--time S]",
     "--mode M is the scan mode, --time S the seconds the module stays discoverable\n"
     "(0 = no limit), as the wizard sends them. A module that does not confirm the\n"
     "scan within a few seconds counts as not answering.\n"},
    {"inquiry", "search for devices, printing them as they are found (inquiry job)",
     " (--port COMn | --device PATH) [PORT OPTIONS] [--timeout MS]",
     "--timeout ends the search after MS milliseconds the way the wizard's\n"
     "Cancel Search does (abort, then \"AT+BTCANCEL\").\n"},
    {"connect", "dial a device by its 12-digit address (connect job)",
     " (--port COMn | --device PATH) [PORT OPTIONS] ADDR", ""},
    {"disconnect", "read the status and hang up a connected link (disconnect job)", kPortSynopsis,
     ""},
    {"set-mode", "store operation mode N (0..3)", " (--port COMn | --device PATH) [PORT OPTIONS] N",
     ""},
    {"set-uart", "store the module's UART setting",
     " (--port COMn | --device PATH) [PORT OPTIONS] BAUD PARITY STOP [--no-flow]",
     "PARITY is none or even (the module cannot store odd); STOP is 1 or 2. The\n"
     "module uses hardware flow control unless --no-flow is given.\n"},
    {"apply", "store operation mode and UART setting as the wizard does (apply job)",
     " (--port COMn | --device PATH) [--port-baud RATE] [--port-parity P] [--port-stop S]"
     " --mode N --baud RATE --parity P --stop S [--no-flow] [--verify]",
     "After 'apply', --baud, --parity and --stop are the module's new UART setting;\n"
     "the port's own settings go before the command or as --port-baud,\n"
     "--port-parity and --port-stop. A module may show a new mode or flow control\n"
     "in its status only after a restart: --verify restarts it, reads the status\n"
     "at the new UART setting and fails when it shows other values.\n"},
    {"read-sreg", "read S-register N (S-register read job)",
     " (--port COMn | --device PATH) [PORT OPTIONS] N", ""},
    {"write-sreg", "write value V (0..65535) into S-register N",
     " (--port COMn | --device PATH) [PORT OPTIONS] N V", ""},
    {"reset", "restart the module (reset job)", kPortSynopsis, ""},
    {"traits", "measure the module's echo, restart time, status line and UART command forms",
     " (--port COMn | --device PATH) [PORT OPTIONS] [--probe-settings]",
     "Measures whether a command comes back before its reply and in which form,\n"
     "how long an ATZ restart takes until \"AT\" is answered again, the status\n"
     "line's fields and idle word, which UART command forms (3 or 4 arguments)\n"
     "the module takes and whether it sends result codes (S10). The UART commands\n"
     "carry the setting it answers at now, so nothing stored changes.\n"
     "--probe-settings also stores another operation mode for a moment to see\n"
     "whether the status shows it at once, then stores the original mode again;\n"
     "a run cut short in between prints the command that stores it back.\n"},
    {"pair", "pair two modules as the wizard does, without a screen",
     " (--unit1 PORT --unit2 PORT | --port PORT [--wait-unit] | --batch FILE) [OPTIONS]",
     "PORT is COMn or a device path. --unit1 and --unit2 pair on two ports; --port\n"
     "pairs on one port, asking for the cable to be moved (Enter) or, with\n"
     "--wait-unit, waiting until the other module answers; --batch pairs every\n"
     "pair of ports listed in FILE (one pair per line) in parallel.\n"
     "A LINE is BAUD,PARITY,STOP (for example 9600,none,1): how the computer talks\n"
     "to a unit now. A UART is BAUD,PARITY,STOP[,noflow]: the setting stored in a\n"
     "unit (parity none or even; hardware flow control unless noflow). Both\n"
     "default to 9600,none,1. Unit 1 is stored in mode 2 (waits for unit 2),\n"
     "unit 2 in mode 1 (connects to unit 1). Exit status 0 only when both units\n"
     "were configured (and, with --verify, the link was seen up).\n"
     "--record writes every attempt to a register (a SQLite file or a\n"
     "postgresql:// database) and refuses a unit the register holds in a pair\n"
     "with another unit unless --repair is given; --skip-done leaves out the pairs\n"
     "the register holds as paired (and, with --verify, verified). --label FILE\n"
     "writes each pair's label (.svg or .zpl) after it was paired.\n"},
    {"records", "list or export the pairings a register holds",
     " --record TARGET [--json | --csv] [--since DATE] [--unit ADDRESS]",
     "TARGET is a SQLite file or a postgresql:// database, as given to\n"
     "'norvactl pair --record'. One line per pairing attempt, oldest first; --csv\n"
     "prints RFC 4180 CSV with the register's column names, --json one JSON\n"
     "object whose \"pairs\" have the keys of the pair report. --since keeps the\n"
     "attempts started on DATE (YYYY-MM-DD, UTC) or later, --unit those of one unit.\n"},
    {"label", "write the label of a unit's pair from a register",
     " --record TARGET --unit ADDRESS --out FILE",
     "The label of the completed pair ADDRESS is in now, for a 50 x 25 mm label:\n"
     "both names and addresses, the UART stored, the date and a QR code of\n"
     "NORVA-PAIR:<address 1>,<address 2>. FILE ending in .svg gets SVG, in .zpl\n"
     "ZPL for label printers.\n"},
    {"help", "show this help or a command's help", " [COMMAND]", ""},
};

constexpr const char* kFooter =
    "Exit status: 0 success, 1 the module refused or the job failed, 2 bad\n"
    "command line, 3 the serial port did not open or the device went away,\n"
    "4 the module did not answer, 5 the register cannot be opened or written,\n"
    "6 a unit is in another pair (pair --record without --repair), 129 SIGHUP,\n"
    "130 SIGINT (Ctrl-C), 143 SIGTERM.\n";

// CLI11's usage line shows only [OPTIONS]; ours shows what each command needs.
class Formatter : public CLI::Formatter {
public:
    std::string make_usage(const CLI::App* app, std::string /*name*/) const override {
        for (const CommandText& c : kCommands) {
            if (app->get_name() == c.name) {
                return std::string("Usage: norvactl ") + c.name + c.synopsis + "\n";
            }
        }
        return "Usage: norvactl [PORT OPTIONS] COMMAND [ARGUMENTS] [OPTIONS]\n";
    }
};

void AddLineOptions(CLI::App* app, CliOptions& out, bool shortNames) {
    auto add = [&](const std::string& name, auto& target, CLI::Validator v, const char* type,
                   const char* help) {
        app->add_option(name, target, help)->transform(v)->type_name(type)->group(kPortGroup);
    };
    if (shortNames) {
        add("--baud", out.baud, PortBaud(), "RATE", "line speed the computer uses (default 9600)");
        add("--parity", out.parity, ParityName(), "P", "none, even or odd (default none)");
        add("--stop", out.stopBits, StopBits(), "S", "stop bits, 1 or 2 (default 1)");
    }
    add("--port-baud", out.baud, PortBaud(), "RATE", "the same as --baud, anywhere on the line");
    add("--port-parity", out.parity, ParityName(), "P", "the same as --parity, anywhere");
    add("--port-stop", out.stopBits, StopBits(), "S", "the same as --stop, anywhere");
}

void AddPortChoice(CLI::App* app, CliOptions& out) {
    app->add_option("--port", out.comPort, "the port by its COM number (see 'norvactl ports')")
        ->transform(ComPort())
        ->type_name("COMn")
        ->group(kPortGroup);
    app->add_option("--device", out.device, "the port by its device path")
        ->type_name("PATH")
        ->group(kPortGroup);
}

void AddPortOptions(CLI::App* app, CliOptions& out, bool shortNames) {
    AddPortChoice(app, out);
    AddLineOptions(app, out, shortNames);
}

void AddOutputOptions(CLI::App* app, CliOptions& out, bool logs) {
    app->add_flag("--json", out.json, "print the result as one JSON object")->group(kOutputGroup);
    if (!logs) {
        return;
    }
    app->add_option("--log", out.logPath,
                    "append a timestamped transcript of every byte in and out to FILE")
        ->type_name("FILE")
        ->group(kOutputGroup);
    app->add_flag("-v,--verbose", out.verbose, "write the same transcript to standard error")
        ->group(kOutputGroup);
}

void AddPairOptions(CLI::App* sub, PairArgs& a) {
    constexpr const char* kPorts = "Ports";
    constexpr const char* kSettings = "Settings";
    sub->add_option("--unit1", a.unit[0], "unit 1's port")->type_name("PORT")->group(kPorts);
    sub->add_option("--unit2", a.unit[1], "unit 2's port")->type_name("PORT")->group(kPorts);
    sub->add_option("--port,--device", a.port, "one port for both units")
        ->type_name("PORT")
        ->group(kPorts);
    sub->add_option("--batch", a.batchFile, "pair every pair of ports listed in FILE")
        ->type_name("FILE")
        ->group(kPorts);
    sub->add_option("--line", a.line, "how the computer talks to both units")
        ->type_name("LINE")
        ->group(kSettings);
    sub->add_option("--unit1-line", a.unitLine[0], "how the computer talks to unit 1")
        ->type_name("LINE")
        ->group(kSettings);
    sub->add_option("--unit2-line", a.unitLine[1], "how the computer talks to unit 2")
        ->type_name("LINE")
        ->group(kSettings);
    sub->add_option("--uart", a.uart, "the UART to store in both units")
        ->type_name("UART")
        ->group(kSettings);
    sub->add_option("--unit1-uart", a.unitUart[0], "the UART to store in unit 1")
        ->type_name("UART")
        ->group(kSettings);
    sub->add_option("--unit2-uart", a.unitUart[1], "the UART to store in unit 2")
        ->type_name("UART")
        ->group(kSettings);
    CLI::Option* waitUnit =
        sub->add_flag("--wait-unit", a.waitUnit,
                      "one port: wait for the other module to answer instead of for Enter");
    // A time without --wait-unit would be silently ignored: Enter has no limit.
    sub->add_option("--wait-time", a.waitUnitSeconds,
                    "how long --wait-unit waits for a module (default 300)")
        ->transform(IntIn(1, 86400, "seconds"))
        ->type_name("S")
        ->needs(waitUnit);
    sub->add_flag("--verify", a.verify,
                  "afterwards restart the units and check that they link to each other");
    sub->add_option("--retries", a.retries,
                    "after a failure, try the step again N times (default 0)")
        ->transform(IntIn(0, 100, "a count"))
        ->type_name("N");
}

void AddRecordOption(CLI::App* sub, StationArgs& s) {
    sub->add_option("--record", s.record, "the register: a SQLite file or a postgresql:// database")
        ->type_name("TARGET")
        ->group(kStationGroup);
}

// records and label: -v adds the database's own message to a register's
// trouble, said in plain words without it.
void AddRegisterVerbose(CLI::App* sub, CliOptions& out) {
    sub->add_flag("-v,--verbose", out.verbose, "add the database's own message to an error")
        ->group(kOutputGroup);
}

void AddStationPairOptions(CLI::App* sub, StationArgs& s) {
    AddRecordOption(sub, s);
    sub->add_option("--operator", s.operatorName, "the name recorded as the operator")
        ->type_name("NAME")
        ->group(kStationGroup);
    sub->add_flag("--repair", s.repair,
                  "pair a unit the register holds in another pair, replacing that pair")
        ->group(kStationGroup);
    sub->add_flag("--skip-done", s.skipDone,
                  "leave out the pairs the register holds as paired (with --record)")
        ->group(kStationGroup);
    sub->add_option("--label", s.labelPath, "write each pair's label to FILE (.svg or .zpl)")
        ->type_name("FILE")
        ->group(kStationGroup);
    sub->add_flag("--no-verify", s.noVerify,
                  "with --record or --label: do not verify; the pair is recorded as configured")
        ->group(kStationGroup);
}

void AddCommandOptions(CLI::App* sub, CliOptions& out) {
    const std::string name = sub->get_name();
    if (name == "scan") {
        sub->add_option("--mode", out.scanMode, "scan mode (default 3)")
            ->transform(IntIn(0, 3, "a mode"))
            ->type_name("M");
        sub->add_option("--time", out.scanTime, "seconds discoverable (default 3000, 0 = no limit)")
            ->transform(IntIn(0, 100000, "seconds"))
            ->type_name("S");
    } else if (name == "inquiry") {
        sub->add_option("--timeout", out.inquiryTimeoutMs, "end the search after MS milliseconds")
            ->transform(IntIn(1, 86400000, "milliseconds"))
            ->type_name("MS");
    } else if (name == "connect") {
        sub->add_option("ADDR", out.address, "the device's address, e.g. 00:12:A1:00:00:01")
            ->transform(Address())
            ->required();
    } else if (name == "set-mode") {
        sub->add_option("N", out.mode, "operation mode 0..3")
            ->transform(IntIn(0, 3, "a mode"))
            ->required();
    } else if (name == "set-uart") {
        sub->add_option("BAUD", out.uartBaud, "baud rate")->transform(ModuleBaud())->required();
        sub->add_option("PARITY", out.uartParity, "none or even")
            ->transform(ModuleParityName())
            ->required();
        sub->add_option("STOP", out.uartStopBits, "1 or 2")->transform(StopBits())->required();
        sub->add_flag("--no-flow", out.noFlow, "no hardware flow control");
    } else if (name == "apply") {
        sub->add_option("--mode", out.applyMode, "operation mode to store, 0..3")
            ->transform(IntIn(0, 3, "a mode"))
            ->type_name("N")
            ->required();
        sub->add_option("--baud", out.applyBaud, "the module's new baud rate")
            ->transform(ModuleBaud())
            ->type_name("RATE")
            ->required();
        sub->add_option("--parity", out.applyParity, "the module's new parity: none or even")
            ->transform(ModuleParityName())
            ->type_name("P")
            ->required();
        sub->add_option("--stop", out.applyStopBits, "the module's new stop bits: 1 or 2")
            ->transform(StopBits())
            ->type_name("S")
            ->required();
        sub->add_flag("--no-flow", out.noFlow, "no hardware flow control");
        sub->add_flag("--verify", out.applyVerify,
                      "afterwards restart the unit and check its status at the new setting");
    } else if (name == "pair") {
        AddPairOptions(sub, out.pairArgs);
        AddStationPairOptions(sub, out.station);
    } else if (name == "records") {
        AddRecordOption(sub, out.station);
        AddRegisterVerbose(sub, out);
        sub->add_flag("--csv", out.station.csv, "print CSV (RFC 4180)")->group(kOutputGroup);
        sub->add_option("--since", out.station.since,
                        "only attempts started on DATE (YYYY-MM-DD, UTC) or later")
            ->type_name("DATE");
        sub->add_option("--unit", out.station.unit, "only attempts with this unit")
            ->transform(Address())
            ->type_name("ADDRESS");
    } else if (name == "label") {
        AddRecordOption(sub, out.station);
        AddRegisterVerbose(sub, out);
        sub->add_option("--unit", out.station.unit, "a unit of the pair")
            ->transform(Address())
            ->type_name("ADDRESS");
        sub->add_option("--out", out.station.out, "the label file: .svg or .zpl")
            ->type_name("FILE");
    } else if (name == "traits") {
        sub->add_flag("--probe-settings", out.probeSettings,
                      "also store another operation mode for a moment, then the original again");
    } else if (name == "read-sreg" || name == "write-sreg") {
        sub->add_option("N", out.reg, "register number 0..255")
            ->transform(IntIn(0, 255, "a register"))
            ->required();
        if (name == "write-sreg") {
            sub->add_option("V", out.regValue, "value 0..65535")
                ->transform(IntIn(0, 65535, "a value"))
                ->required();
        }
    }
}

std::string OneLine(std::string text) {
    for (char& c : text) {
        if (c == '\n') {
            c = ' ';
        }
    }
    while (!text.empty() && text.back() == ' ') {
        text.pop_back();
    }
    return text;
}

std::string Try(const std::string& command) {
    return " (try 'norvactl " + (command.empty() ? std::string() : command + " ") + "--help')";
}

// CLI11 says "The following arguments were not expected"; a user wants to
// know which word it was and what kind.
std::string ExtrasReason(const CLI::App& app, const std::string& command) {
    const std::vector<std::string> extras = app.remaining(true);
    if (extras.empty()) {
        return "unexpected arguments" + Try(command);
    }
    const std::string& first = extras.front();
    if (first.size() > 1 && first[0] == '-') {
        return "unknown option '" + first + "'" + Try(command);
    }
    if (command.empty()) {
        return "unknown command '" + first + "'" + Try(command);
    }
    return "unexpected argument '" + first + "'" + Try(command);
}

std::string SelectedCommand(const CLI::App& app) {
    const std::vector<CLI::App*> subs = app.get_subcommands();
    return subs.empty() ? std::string() : subs.front()->get_name();
}

} // namespace

bool IsStationCommand(const std::string& command) {
    return command == "records" || command == "label";
}

bool IsModuleCommand(const std::string& command) {
    if (command == "ports" || command == "help" || IsStationCommand(command)) {
        return false;
    }
    for (const CommandText& c : kCommands) {
        if (command == c.name) {
            return true;
        }
    }
    return false;
}

ParseOutcome ParseCommandLine(int argc, char** argv, CliOptions& out) {
    using Kind = ParseOutcome::Kind;
    CLI::App app("Drives a Norva-BX module on a serial port through the device-job worker.",
                 "norvactl");
    app.formatter(std::make_shared<Formatter>());
    app.footer(kFooter);
    app.require_subcommand(0, 1);
    app.set_version_flag("--version", std::string("norvactl ") + NORVA_VERSION,
                         "print the version and exit");
    AddPortOptions(&app, out, true);
    AddOutputOptions(&app, out, true);

    std::string helpTopic;
    for (const CommandText& c : kCommands) {
        CLI::App* sub = app.add_subcommand(c.name, c.summary)->group("Commands");
        if (c.footer[0] != '\0') {
            sub->footer(c.footer);
        }
        if (std::string(c.name) == "pair") {
            AddOutputOptions(sub, out, true);
        } else if (std::string(c.name) == "detect") {
            // It chooses the line settings itself.
            AddPortChoice(sub, out);
            AddOutputOptions(sub, out, false);
        } else if (IsModuleCommand(c.name)) {
            AddPortOptions(sub, out, std::string(c.name) != "apply");
            AddOutputOptions(sub, out, true);
        } else if (std::string(c.name) == "ports" || std::string(c.name) == "records") {
            AddOutputOptions(sub, out, false);
        } else if (std::string(c.name) == "label") {
            // It writes a file and prints nothing but errors.
        } else {
            sub->add_option("COMMAND", helpTopic, "the command to explain");
        }
        AddCommandOptions(sub, out);
    }

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        return {Kind::Print, app.help()};
    } catch (const CLI::CallForVersion& e) {
        return {Kind::Print, std::string(e.what()) + "\n"};
    } catch (const CLI::ExtrasError&) {
        out.command = SelectedCommand(app);
        return {Kind::UsageError, ExtrasReason(app, out.command)};
    } catch (const CLI::ParseError& e) {
        out.command = SelectedCommand(app);
        return {Kind::UsageError, OneLine(e.what()) + Try(out.command)};
    }
    out.command = SelectedCommand(app);
    if (out.command.empty()) {
        return {Kind::UsageError, "no command given" + Try("")};
    }
    if (out.command == "help") {
        if (helpTopic.empty()) {
            return {Kind::Print, app.help()};
        }
        if (!IsModuleCommand(helpTopic) && helpTopic != "ports" && !IsStationCommand(helpTopic)) {
            return {Kind::UsageError, "unknown command '" + helpTopic + "'" + Try("")};
        }
        return {Kind::Print, app.get_subcommand(helpTopic)->help("norvactl")};
    }
    if (out.command == "pair") {
        std::string error;
        if (!BuildPairPlan(out.pairArgs, out.pairPlan, error) ||
            !CheckStationPairArgs(out.station, out.pairArgs.verify, error)) {
            return {Kind::UsageError, error};
        }
        // A station records and labels only what Verify proved, unless told not to verify.
        out.pairPlan.verify = out.pairPlan.verify || StationVerifies(out.station);
    } else if (IsStationCommand(out.command)) {
        std::string error;
        if (!CheckStationCommandArgs(out.command, out.station, out.json, error)) {
            return {Kind::UsageError, error};
        }
    } else if (IsModuleCommand(out.command)) {
        if (out.comPort == 0 && out.device.empty()) {
            return {Kind::UsageError,
                    "no port given: use --port COMn or --device PATH (see 'norvactl ports')"};
        }
        if (out.comPort != 0 && !out.device.empty()) {
            return {Kind::UsageError, "give either --port or --device, not both"};
        }
    }
    return {};
}

} // namespace norva::tools
