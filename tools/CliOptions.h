#pragma once
// norvactl's command line: port options, the command, its arguments.

#include "tools/PairSetup.h"
#include "tools/StationArgs.h"

#include <cstdint>
#include <string>

namespace norva::tools {

struct CliOptions {
    std::string command;

    // The port and the line settings the computer uses (platform codes).
    int comPort = 0;
    std::string device;
    uint32_t baud = 9600;
    int parity = 0;
    int stopBits = 0;

    bool json = false;
    std::string logPath;
    bool verbose = false;

    // Command options and arguments.
    int scanMode = 3;
    int scanTime = 3000;
    int inquiryTimeoutMs = -1; // -1: until the module ends the list
    int applyMode = -1;
    int applyBaud = -1;
    int applyParity = -1;
    int applyStopBits = -1;
    bool noFlow = false;
    bool applyVerify = false; // apply: restart the unit and read its status back
    std::string address;      // connect: 12 digits
    int mode = 0;             // set-mode
    int uartBaud = 0;         // set-uart
    int uartParity = 0;
    int uartStopBits = 0;
    int reg = 0; // read-sreg, write-sreg
    int regValue = 0;
    bool probeSettings = false; // traits: also store another mode for a moment

    // pair: the options as given, and the checked plan built from them.
    PairArgs pairArgs;
    PairPlan pairPlan;

    // The pairing station: pair (--record, --operator, --repair,
    // --skip-done, --label), records and label.
    StationArgs station;
};

struct ParseOutcome {
    enum class Kind {
        Run,        // options filled in
        Print,      // help or version: print `text`, exit 0
        UsageError, // `text` is the one-line reason
    };
    Kind kind = Kind::Run;
    std::string text;
};

ParseOutcome ParseCommandLine(int argc, char** argv, CliOptions& out);

// True for a command that talks to a module through a port.
bool IsModuleCommand(const std::string& command);
// records and label: they read a register, not a module.
bool IsStationCommand(const std::string& command);

} // namespace norva::tools
