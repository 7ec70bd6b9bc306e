#pragma once
// What `norvactl pair` is to do: the pairs, each unit's line and the UART to
// store in it, and how the run goes on at the cable moves and after failures.

#include "flow/PairingView.h"

#include <string>
#include <vector>

namespace norva::tools {

struct PairSetup {
    // Unit 1 and unit 2; one port when both name the same port.
    flow::UnitLine line[2];
    flow::UartChoice uart[2];
    // "COM33+COM34", "COM33" or the device paths: the pair's name in reports.
    std::string name;

    bool OnePort() const;
};

struct PairPlan {
    std::vector<PairSetup> pairs;
    bool batch = false;
    // One port: wait for the other module to answer instead of for Enter.
    bool waitUnit = false;
    int waitUnitSeconds = 300;
    bool verify = false;
    // After a failure the run presses Next again this often, as a user would.
    int retries = 0;
};

// The option texts of `norvactl pair`, before they are checked.
struct PairArgs {
    std::string unit[2];     // --unit1, --unit2: COMn, n or a device path
    std::string port;        // --port / --device: one port for both units
    std::string line;        // --line, for both units
    std::string unitLine[2]; // --unit1-line, --unit2-line
    std::string uart;        // --uart, for both units
    std::string unitUart[2]; // --unit1-uart, --unit2-uart
    std::string batchFile;
    bool waitUnit = false;
    int waitUnitSeconds = 300;
    bool verify = false;
    int retries = 0;
};

// "9600,none,1": baud, parity (none|even|odd|n|e|o) and stop bits (1|2).
bool ParseLine(const std::string& text, flow::UnitLine& line, std::string& error);
// "115200,even,2[,noflow]": the UART a unit stores; odd parity is refused
// (the module cannot store it), and flow control is on unless "noflow".
bool ParseUart(const std::string& text, flow::UartChoice& uart, std::string& error);
// COMn, n or an absolute device path.
bool ParsePortName(const std::string& text, flow::UnitLine& line, std::string& error);
std::string PortName(const flow::UnitLine& line);
// The register, labels and reports write a stored UART one way.
using flow::UartText;

// Checks the options and builds the plan; a batch file is read here. On
// failure `error` is one line a user can act on.
bool BuildPairPlan(const PairArgs& args, PairPlan& plan, std::string& error);
// One pair of ports per line ("COM33 COM34", or a single port for a one-port
// pair); blank lines and text after '#' are skipped.
bool ParseBatch(const std::string& text, const PairSetup& defaults, std::vector<PairSetup>& pairs,
                std::string& error);

} // namespace norva::tools
