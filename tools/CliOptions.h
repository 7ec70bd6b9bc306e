#pragma once
// norvactl's command line: port options, the subcommand, its arguments.

#include <cstdint>
#include <string>
#include <vector>

namespace norva::tools {

struct CliOptions {
    std::string command;
    std::vector<std::string> args;

    // The port and the line settings the computer uses (platform codes).
    int comPort = 0;
    std::string device;
    uint32_t baud = 9600;
    uint8_t parity = 0;
    uint8_t stopBits = 0;

    bool json = false;
    bool help = false;

    // Subcommand options.
    int scanMode = 3;
    int scanTime = 3000;
    int inquiryTimeoutMs = -1; // -1: until the module ends the list
    int applyMode = -1;
    int applyBaud = -1;
    int applyParity = -1;
    int applyStopBits = -1;
    bool noFlow = false;
};

// Fills `out`; returns an empty string or the reason the line is not valid.
std::string ParseCommandLine(int argc, char** argv, CliOptions& out);

// True for a command that talks to a module through a port.
bool IsModuleCommand(const std::string& command);

std::string GeneralUsage();
// Usage of one command; the general usage for an unknown one.
std::string CommandUsage(const std::string& command);

} // namespace norva::tools
