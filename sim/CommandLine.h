// Command line and control requests of the norva-sim program.
#pragma once

#include "sim/Simulator.h"

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
};

bool ParseCommandLine(const std::vector<std::string>& args, CommandLine* out, std::string* error);
std::string UsageText();

// The NORVAWIZARD_COM<n>=<path> assignments for running pairs (pairs[0] is pair 1): pair P's
// units as COM(2P-1) and COM(2P), or its one port as COM P.
std::vector<std::string> ComAssignments(const std::vector<Simulator*>& pairs);

// One control request ("verdict", "power-cycle", "attach N", "status", "quit", "help"; with
// several pairs also "pair P <request>"). The answer's first line is "ok", "paired",
// "not-paired" or "error: <why>"; the rest is text for a person.
std::string HandleControlRequest(const std::vector<Simulator*>& pairs, const std::string& request,
                                 bool* quit);

// Exit status a client reports for an answer: 0 ok or paired, 3 not paired, 1 error.
int ExitStatusOfAnswer(const std::string& answer);

} // namespace norva::sim
