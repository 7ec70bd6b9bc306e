// The control requests a running simulator answers, on its socket or its standard input.
#pragma once

#include "sim/Simulator.h"

#include <string>
#include <vector>

namespace norva::sim {

// What is wrong with a request's words; "" when well formed. The pair's number is checked against
// the running pairs by the simulator, which alone knows them.
std::string RequestError(std::vector<std::string> words);

// One control request ("verdict", "power-cycle", "attach N", "status", "quit", "help"; with
// several pairs also "pair P <request>"). The answer's first line is "ok", "paired",
// "not-paired" or "error: <why>"; the rest is text for a person.
std::string HandleControlRequest(const std::vector<Simulator*>& pairs, const std::string& request,
                                 bool* quit);

// Exit status a client reports for an answer: 0 ok or paired, 3 not paired, 1 error.
int ExitStatusOfAnswer(const std::string& answer);

} // namespace norva::sim
