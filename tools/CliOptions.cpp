#include "tools/CliOptions.h"

#include "platform/ComMap.h"
#include "platform/SerialDevice.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <initializer_list>

namespace norva::tools {

namespace {

struct CommandSpec {
    const char* name;
    int args;
    const char* argNames;
    // Options of the command itself; for apply these shadow the port's
    // --baud/--parity/--stop.
    std::initializer_list<const char*> options;
    const char* summary;
};

const CommandSpec kCommands[] = {
    {"ports", 0, "", {}, "list the serial ports present as \"COMn (device)\""},
    {"status", 0, "", {}, "check the module and read its status (status job)"},
    {"probe", 0, "", {}, "send \"AT\" and wait for OK"},
    {"escape", 0, "", {}, "leave data mode with \"+++\" (escape job)"},
    {"cancel", 0, "", {}, "cancel a pending scan, search or connect (cancel job)"},
    {"scan",
     0,
     "",
     {"--mode", "--time"},
     "make the module discoverable and connectable (scan job)"},
    {"inquiry",
     0,
     "",
     {"--timeout"},
     "search for devices, printing them as they are found (inquiry job)"},
    {"connect", 1, "ADDR", {}, "dial a device by its 12-digit address (connect job)"},
    {"disconnect", 0, "", {}, "read the status and hang up a connected link (disconnect job)"},
    {"set-mode", 1, "N", {}, "store operation mode N (0..3)"},
    {"set-uart", 3, "BAUD PARITY STOP", {"--no-flow"}, "store the module's UART setting"},
    {"apply",
     0,
     "",
     {"--mode", "--baud", "--parity", "--stop", "--no-flow"},
     "store operation mode and UART setting as the wizard does (apply job)"},
    {"read-sreg", 1, "N", {}, "read S-register N (S-register read job)"},
    {"write-sreg", 2, "N V", {}, "write value V into S-register N"},
    {"reset", 0, "", {}, "restart the module (reset job)"},
    {"help", -1, "[COMMAND]", {}, "show this help or a command's help"},
};

const CommandSpec* FindCommand(const std::string& name) {
    for (const CommandSpec& c : kCommands) {
        if (name == c.name) {
            return &c;
        }
    }
    return nullptr;
}

bool HasOption(const CommandSpec* spec, const std::string& option) {
    if (spec == nullptr) {
        return false;
    }
    return std::any_of(spec->options.begin(), spec->options.end(),
                       [&](const char* o) { return option == o; });
}

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

bool ParseInt(const std::string& text, long minValue, long maxValue, int& out) {
    if (text.empty()) {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    long v = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || end == nullptr || *end != '\0' || v < minValue || v > maxValue) {
        return false;
    }
    out = static_cast<int>(v);
    return true;
}

constexpr int kModuleBauds[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400};

bool IsModuleBaud(int baud) {
    return std::find(std::begin(kModuleBauds), std::end(kModuleBauds), baud) !=
           std::end(kModuleBauds);
}

bool ParseParity(const std::string& text, int& out) {
    const std::string t = Lower(text);
    if (t == "none" || t == "n") {
        out = kNoParity;
    } else if (t == "even" || t == "e") {
        out = kEvenParity;
    } else if (t == "odd" || t == "o") {
        out = kOddParity;
    } else {
        return false;
    }
    return true;
}

bool ParseStop(const std::string& text, int& out) {
    if (text == "1") {
        out = kOneStopBit;
    } else if (text == "2") {
        out = kTwoStopBits;
    } else {
        return false;
    }
    return true;
}

bool ParseComPort(const std::string& text, int& out) {
    std::string t = Lower(text);
    if (t.rfind("com", 0) == 0) {
        t = t.substr(3);
    }
    return ParseInt(t, 1, kMaxComPort, out);
}

// "00:12:A1:00:00:01" or "0012A1000001" -> "0012A1000001".
bool ParseAddress(const std::string& text, std::string& out) {
    std::string digits;
    for (char c : text) {
        if (c == ':' || c == '-') {
            continue;
        }
        if (!std::isxdigit(static_cast<unsigned char>(c))) {
            return false;
        }
        digits += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    if (digits.size() != 12) {
        return false;
    }
    out = digits;
    return true;
}

bool TakesValue(const std::string& option) {
    return option != "--json" && option != "--help" && option != "-h" && option != "--no-flow";
}

std::string ApplyPortOption(const std::string& option, const std::string& value, CliOptions& out) {
    if (option == "--port") {
        if (!ParseComPort(value, out.comPort)) {
            return "bad --port '" + value + "': expected COM1..COM255";
        }
    } else if (option == "--device") {
        if (value.empty()) {
            return "--device needs a path";
        }
        out.device = value;
    } else if (option == "--baud" || option == "--port-baud") {
        int baud = 0;
        if (!ParseInt(value, 1, 4000000, baud) || BaudToSpeed(static_cast<uint32_t>(baud)) == 0) {
            return "bad " + option + " '" + value + "': not a baud rate the port can use";
        }
        out.baud = static_cast<uint32_t>(baud);
    } else if (option == "--parity" || option == "--port-parity") {
        int parity = 0;
        if (!ParseParity(value, parity)) {
            return "bad " + option + " '" + value + "': expected none, even or odd";
        }
        out.parity = static_cast<uint8_t>(parity);
    } else if (option == "--stop" || option == "--port-stop") {
        int stop = 0;
        if (!ParseStop(value, stop)) {
            return "bad " + option + " '" + value + "': expected 1 or 2";
        }
        out.stopBits = static_cast<uint8_t>(stop);
    } else {
        return "unknown option " + option;
    }
    return {};
}

std::string ApplyCommandOption(const std::string& option, const std::string& value,
                               CliOptions& out) {
    const std::string& cmd = out.command;
    if (option == "--no-flow") {
        out.noFlow = true;
    } else if (cmd == "scan" && option == "--mode") {
        if (!ParseInt(value, 0, 3, out.scanMode)) {
            return "bad --mode '" + value + "': expected 0..3";
        }
    } else if (cmd == "scan" && option == "--time") {
        if (!ParseInt(value, 0, 100000, out.scanTime)) {
            return "bad --time '" + value + "': expected seconds, 0 = no limit";
        }
    } else if (option == "--timeout") {
        if (!ParseInt(value, 1, 86400000, out.inquiryTimeoutMs)) {
            return "bad --timeout '" + value + "': expected milliseconds";
        }
    } else if (option == "--mode") {
        if (!ParseInt(value, 0, 3, out.applyMode)) {
            return "bad --mode '" + value + "': expected 0..3";
        }
    } else if (option == "--baud") {
        if (!ParseInt(value, 1, 4000000, out.applyBaud) || !IsModuleBaud(out.applyBaud)) {
            return "bad --baud '" + value + "': expected 1200 ... 230400";
        }
    } else if (option == "--parity") {
        if (!ParseParity(value, out.applyParity)) {
            return "bad --parity '" + value + "': expected none, even or odd";
        }
    } else if (option == "--stop") {
        if (!ParseStop(value, out.applyStopBits)) {
            return "bad --stop '" + value + "': expected 1 or 2";
        }
    }
    return {};
}

std::string CheckArguments(CliOptions& out) {
    const std::string& cmd = out.command;
    auto& a = out.args;
    int n = 0;
    if (cmd == "connect") {
        std::string address;
        if (!ParseAddress(a[0], address)) {
            return "bad address '" + a[0] + "': expected 12 hexadecimal digits";
        }
        a[0] = address;
    } else if (cmd == "set-mode") {
        if (!ParseInt(a[0], 0, 3, n)) {
            return "bad mode '" + a[0] + "': expected 0..3";
        }
    } else if (cmd == "set-uart") {
        int parity = 0;
        int stop = 0;
        if (!ParseInt(a[0], 1, 4000000, n) || !IsModuleBaud(n)) {
            return "bad baud rate '" + a[0] + "': expected 1200 ... 230400";
        }
        if (!ParseParity(a[1], parity)) {
            return "bad parity '" + a[1] + "': expected none, even or odd";
        }
        if (!ParseStop(a[2], stop)) {
            return "bad stop bits '" + a[2] + "': expected 1 or 2";
        }
        a[1] = std::to_string(parity);
        a[2] = std::to_string(stop);
    } else if (cmd == "read-sreg" || cmd == "write-sreg") {
        if (!ParseInt(a[0], 0, 255, n)) {
            return "bad register '" + a[0] + "': expected 0..255";
        }
        if (cmd == "write-sreg" && !ParseInt(a[1], -2147483647L - 1, 2147483647L, n)) {
            return "bad value '" + a[1] + "': expected an integer";
        }
    } else if (cmd == "apply") {
        if (out.applyMode < 0 || out.applyBaud < 0 || out.applyParity < 0 ||
            out.applyStopBits < 0) {
            return "apply needs --mode, --baud, --parity and --stop";
        }
    }
    if (IsModuleCommand(cmd)) {
        if (out.comPort == 0 && out.device.empty()) {
            return "no port given: use --port COMn or --device PATH (see 'norvactl ports')";
        }
        if (out.comPort != 0 && !out.device.empty()) {
            return "give either --port or --device, not both";
        }
    }
    return {};
}

} // namespace

bool IsModuleCommand(const std::string& command) {
    return FindCommand(command) != nullptr && command != "ports" && command != "help";
}

std::string ParseCommandLine(int argc, char** argv, CliOptions& out) {
    const CommandSpec* spec = nullptr;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg.size() > 1 && arg[0] == '-' &&
            !(spec != nullptr && arg.size() > 1 &&
              std::isdigit(static_cast<unsigned char>(arg[1])))) {
            std::string option = arg;
            std::string value;
            bool hasValue = false;
            const size_t eq = arg.find('=');
            if (arg.rfind("--", 0) == 0 && eq != std::string::npos) {
                option = arg.substr(0, eq);
                value = arg.substr(eq + 1);
                hasValue = true;
            }
            if (option == "--help" || option == "-h") {
                out.help = true;
                continue;
            }
            if (option == "--json") {
                out.json = true;
                continue;
            }
            if (TakesValue(option) && !hasValue) {
                if (i + 1 >= argc) {
                    return option + " needs a value";
                }
                value = argv[++i];
            }
            std::string error;
            if (HasOption(spec, option)) {
                error = ApplyCommandOption(option, value, out);
            } else if (option == "--no-flow" || option == "--mode" || option == "--time" ||
                       option == "--timeout") {
                error = spec == nullptr ? option + " belongs after a command"
                                        : option + " is not an option of '" + out.command + "'";
            } else {
                error = ApplyPortOption(option, value, out);
            }
            if (!error.empty()) {
                return error;
            }
            continue;
        }
        if (spec == nullptr) {
            spec = FindCommand(arg);
            if (spec == nullptr) {
                return "unknown command '" + arg + "' (try 'norvactl --help')";
            }
            out.command = arg;
            continue;
        }
        out.args.push_back(arg);
    }
    if (spec == nullptr) {
        if (out.help) {
            return {};
        }
        return "no command given (try 'norvactl --help')";
    }
    if (out.command == "help") {
        out.help = true;
        if (out.args.size() > 1) {
            return "help takes at most one command name";
        }
        if (!out.args.empty()) {
            out.command = out.args[0];
            out.args.clear();
            if (FindCommand(out.command) == nullptr) {
                return "unknown command '" + out.command + "'";
            }
        } else {
            out.command.clear();
        }
        return {};
    }
    if (out.help) {
        return {};
    }
    if (static_cast<int>(out.args.size()) != spec->args) {
        return "'" + out.command + "' takes " +
               (spec->args == 0 ? std::string("no arguments")
                                : std::string("the arguments ") + spec->argNames) +
               " (try 'norvactl " + out.command + " --help')";
    }
    return CheckArguments(out);
}

std::string GeneralUsage() {
    std::string s = "Usage: norvactl [PORT OPTIONS] COMMAND [ARGUMENTS] [OPTIONS]\n"
                    "\n"
                    "Drives a Norva-BX module on a serial port through the device-job worker.\n"
                    "\n"
                    "Commands:\n";
    for (const CommandSpec& c : kCommands) {
        std::string head = std::string("  ") + c.name;
        if (c.argNames[0] != '\0') {
            head += std::string(" ") + c.argNames;
        }
        head.resize(std::max<size_t>(head.size() + 1, 30), ' ');
        s += head + c.summary + "\n";
    }
    s += "\n"
         "Port options (every command but ports):\n"
         "  --port COMn          the port by its COM number (see 'norvactl ports')\n"
         "  --device PATH        the port by its device path\n"
         "  --baud RATE          line speed the computer uses (default 9600)\n"
         "  --parity none|even|odd  (default none)\n"
         "  --stop 1|2           stop bits (default 1)\n"
         "  --port-baud, --port-parity, --port-stop  the same, anywhere on the line\n"
         "\n"
         "Other options:\n"
         "  --json               print the result as one JSON object\n"
         "  -h, --help           show help (after a command: that command's help)\n"
         "\n"
         "Exit status: 0 success, 1 the module refused or the job failed, 2 bad\n"
         "command line, 3 the serial port did not open, 4 the module did not answer,\n"
         "130 interrupted.\n";
    return s;
}

std::string CommandUsage(const std::string& command) {
    const CommandSpec* c = FindCommand(command);
    if (c == nullptr || command == "help") {
        return GeneralUsage();
    }
    std::string s = std::string("Usage: norvactl ") + c->name;
    if (command == "apply") {
        s += " (--port COMn | --device PATH) [--port-baud RATE] [--port-parity P] "
             "[--port-stop S]";
    } else if (IsModuleCommand(command)) {
        s += " (--port COMn | --device PATH) [--baud RATE] [--parity P] [--stop S]";
    }
    if (c->argNames[0] != '\0') {
        s += std::string(" ") + c->argNames;
    }
    if (command == "scan") {
        s += " [--mode M] [--time S]";
    } else if (command == "inquiry") {
        s += " [--timeout MS]";
    } else if (command == "set-uart") {
        s += " [--no-flow]";
    } else if (command == "apply") {
        s += " --mode N --baud RATE --parity P --stop S [--no-flow]";
    }
    std::string summary = c->summary;
    summary[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(summary[0])));
    s += "\n\n" + summary + ".\n";
    if (command == "apply") {
        s += "\nAfter 'apply', --baud, --parity and --stop are the module's new UART setting;\n"
             "the port's own settings go before the command or as --port-baud,\n"
             "--port-parity and --port-stop.\n";
    } else if (command == "scan") {
        s += "\n--mode M is the scan mode (default 3), --time S the seconds the module stays\n"
             "discoverable (default 3000, 0 = no limit), as the wizard sends them.\n";
    } else if (command == "inquiry") {
        s += "\n--timeout ends the search after MS milliseconds the way the wizard's\n"
             "Cancel Search does (abort, then \"AT+BTCANCEL\").\n";
    } else if (command == "set-uart") {
        s += "\nPARITY is none, even or odd; STOP is 1 or 2. The module uses hardware\n"
             "flow control unless --no-flow is given.\n";
    }
    return s;
}

} // namespace norva::tools
