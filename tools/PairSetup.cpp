#include "tools/PairSetup.h"

#include "module/Catalogue.h"
#include "platform/SerialDevice.h"
#include "tools/CliValues.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>

namespace norva::tools {
namespace {

std::vector<std::string> SplitCommas(const std::string& text) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, ',')) {
        std::transform(part.begin(), part.end(), part.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        parts.push_back(part);
    }
    if (!text.empty() && text.back() == ',') {
        parts.emplace_back();
    }
    return parts;
}

bool ParseNumber(const std::string& text, int& value) {
    if (text.empty() || text.size() > 9 ||
        !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); })) {
        return false;
    }
    value = std::stoi(text);
    return true;
}

// Baud, parity and stop bits as the platform codes; `what` names the value.
bool ParseTriple(const std::vector<std::string>& p, const std::string& text, int& baud, int& parity,
                 int& stopBits, std::string& error) {
    if (p.size() < 3) {
        error = "'" + text + "' is not BAUD,PARITY,STOP (for example 9600,none,1)";
        return false;
    }
    if (!ParseNumber(p[0], baud) || !catalogue::IsModuleBaud(baud)) {
        error = "'" + p[0] + "' is not a baud rate the module uses (" +
                catalogue::ModuleBaudList() + ")";
        return false;
    }
    if (p[1] == "none" || p[1] == "n") {
        parity = kNoParity;
    } else if (p[1] == "even" || p[1] == "e") {
        parity = kEvenParity;
    } else if (p[1] == "odd" || p[1] == "o") {
        parity = kOddParity;
    } else {
        error = "'" + p[1] + "' is not a parity (none, even or odd)";
        return false;
    }
    if (p[2] == "1") {
        stopBits = kOneStopBit;
    } else if (p[2] == "2") {
        stopBits = kTwoStopBits;
    } else {
        error = "'" + p[2] + "' is not a number of stop bits (1 or 2)";
        return false;
    }
    return true;
}

} // namespace

bool PairSetup::OnePort() const {
    return line[0].port == line[1].port && line[0].device == line[1].device;
}

bool ParseLine(const std::string& text, flow::UnitLine& line, std::string& error) {
    const std::vector<std::string> p = SplitCommas(text);
    int baud = 0, parity = 0, stop = 0;
    if (p.size() > 3) {
        error = "'" + text + "' is not BAUD,PARITY,STOP (for example 9600,none,1)";
        return false;
    }
    if (!ParseTriple(p, text, baud, parity, stop, error)) {
        return false;
    }
    line.baud = static_cast<uint32_t>(baud);
    line.parity = static_cast<uint8_t>(parity);
    line.stopBits = static_cast<uint8_t>(stop);
    return true;
}

bool ParseUart(const std::string& text, flow::UartChoice& uart, std::string& error) {
    const std::vector<std::string> p = SplitCommas(text);
    if (p.size() > 4) {
        error = "'" + text + "' is not BAUD,PARITY,STOP[,noflow] (for example 115200,even,2)";
        return false;
    }
    flow::UartChoice out;
    if (!ParseTriple(p, text, out.baud, out.parity, out.stopBits, error)) {
        return false;
    }
    if (!catalogue::IsModuleParity(out.parity)) {
        error = kOddParityRefused;
        return false;
    }
    if (p.size() == 4) {
        if (p[3] == "noflow") {
            out.flowControl = 0;
        } else if (p[3] != "flow") {
            error = "'" + p[3] + "' is neither flow nor noflow";
            return false;
        }
    }
    uart = out;
    return true;
}

bool ParsePortName(const std::string& text, flow::UnitLine& line, std::string& error) {
    if (!text.empty() && text[0] == '/') {
        line.device = text;
        line.port = 0;
        return true;
    }
    std::string digits = text;
    if (digits.size() > 3 &&
        (digits.compare(0, 3, "COM") == 0 || digits.compare(0, 3, "com") == 0)) {
        digits = digits.substr(3);
    }
    int n = 0;
    if (!ParseNumber(digits, n) || n < 1 || n > 255) {
        error = "'" + text + "' is not a port: give COMn (1..255) or a device path";
        return false;
    }
    line.port = n;
    line.device.clear();
    return true;
}

std::string PortName(const flow::UnitLine& line) {
    return line.device.empty() ? "COM" + std::to_string(line.port) : line.device;
}

namespace {

void Name(PairSetup& setup) {
    setup.name = setup.OnePort() ? PortName(setup.line[0])
                                 : PortName(setup.line[0]) + "+" + PortName(setup.line[1]);
}

bool SetPorts(PairSetup& setup, const std::string& unit1, const std::string& unit2,
              std::string& error) {
    for (int i = 0; i < 2; ++i) {
        if (!ParsePortName(i == 0 ? unit1 : unit2, setup.line[i], error)) {
            return false;
        }
    }
    Name(setup);
    return true;
}

} // namespace

bool ParseBatch(const std::string& text, const PairSetup& defaults, std::vector<PairSetup>& pairs,
                std::string& error) {
    std::istringstream in(text);
    std::string raw;
    int number = 0;
    while (std::getline(in, raw)) {
        ++number;
        const std::string line = raw.substr(0, raw.find('#'));
        std::istringstream words(line);
        std::vector<std::string> ports;
        for (std::string w; words >> w;) {
            ports.push_back(w);
        }
        if (ports.empty()) {
            continue;
        }
        PairSetup setup = defaults;
        std::string why;
        if (ports.size() > 2) {
            why = "give one pair of ports (or one port) per line";
        } else if (SetPorts(setup, ports[0], ports.back(), why)) {
            for (const PairSetup& other : pairs) {
                for (const flow::UnitLine& a : other.line) {
                    for (const flow::UnitLine& b : setup.line) {
                        if (PortName(a) == PortName(b) && why.empty()) {
                            why = PortName(b) + " is already in the pair " + other.name;
                        }
                    }
                }
            }
        }
        if (!why.empty()) {
            error = "line " + std::to_string(number) + ": " + why;
            return false;
        }
        pairs.push_back(setup);
    }
    if (pairs.empty()) {
        error = "no pair of ports in it";
        return false;
    }
    return true;
}

bool BuildPairPlan(const PairArgs& args, PairPlan& plan, std::string& error) {
    PairSetup defaults;
    for (int i = 0; i < 2; ++i) {
        const std::string& line = !args.unitLine[i].empty() ? args.unitLine[i] : args.line;
        if (!line.empty() && !ParseLine(line, defaults.line[i], error)) {
            return false;
        }
        const std::string& uart = !args.unitUart[i].empty() ? args.unitUart[i] : args.uart;
        if (!uart.empty() && !ParseUart(uart, defaults.uart[i], error)) {
            return false;
        }
    }
    const bool twoPorts = !args.unit[0].empty() || !args.unit[1].empty();
    const int ways =
        (twoPorts ? 1 : 0) + (!args.port.empty() ? 1 : 0) + (!args.batchFile.empty() ? 1 : 0);
    if (ways != 1) {
        error = ways == 0 ? "no ports given: use --unit1 and --unit2, --port (one port) or --batch"
                          : "give one of --unit1/--unit2, --port or --batch";
        return false;
    }
    plan = PairPlan{};
    plan.waitUnit = args.waitUnit;
    plan.waitUnitSeconds = args.waitUnitSeconds;
    plan.verify = args.verify;
    plan.retries = args.retries;
    if (twoPorts) {
        if (args.unit[0].empty() || args.unit[1].empty()) {
            error = "give both --unit1 and --unit2 (or --port for one port)";
            return false;
        }
        PairSetup setup = defaults;
        if (!SetPorts(setup, args.unit[0], args.unit[1], error)) {
            return false;
        }
        if (setup.OnePort()) {
            error = "--unit1 and --unit2 name the same port: use --port for one port";
            return false;
        }
        plan.pairs.push_back(setup);
    } else if (!args.port.empty()) {
        PairSetup setup = defaults;
        if (!SetPorts(setup, args.port, args.port, error)) {
            return false;
        }
        plan.pairs.push_back(setup);
    } else {
        std::ifstream file(args.batchFile);
        if (!file.is_open()) {
            error = "cannot read the batch file " + args.batchFile;
            return false;
        }
        std::stringstream text;
        text << file.rdbuf();
        if (!ParseBatch(text.str(), defaults, plan.pairs, error)) {
            error = args.batchFile + ": " + error;
            return false;
        }
        plan.batch = true;
        const bool onePort = std::any_of(plan.pairs.begin(), plan.pairs.end(),
                                         [](const PairSetup& p) { return p.OnePort(); });
        if (onePort && !plan.waitUnit) {
            error = "a batch with one-port pairs needs --wait-unit: nobody can answer Enter "
                    "for several pairs";
            return false;
        }
    }
    return true;
}

} // namespace norva::tools
