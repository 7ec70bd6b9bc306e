// The command line of the norva-sim program.
#pragma once

#include "sim/Simulator.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace norva::sim {

struct CommandLine {
    enum class Mode { Run, Client, Help, Version };
    Mode mode = Mode::Run;
    SimOptions sim;                   // every pair's, before PairOptions
    int pairs = 1;                    // --pairs K
    std::string controlPath;          // --control SOCKET
    std::vector<std::string> command; // after "--": run with the NORVAWIZARD_COM<n> variables
    std::string request;              // client mode: the control request, e.g. "attach 2"
    std::optional<std::uint64_t> randomProfile; // --random-profile SEED, already applied to sim
};

// False with *error saying why for a bad command line.
bool ParseCommandLine(const std::vector<std::string>& args, CommandLine* out, std::string* error);
// The --help text.
std::string UsageText();

} // namespace norva::sim
