// The control socket: the simulator's side that answers one request per connection, and the
// client's side that sends one (norva-sim verdict --control SOCKET).
#pragma once

#include "sim/Simulator.h"

#include <string>
#include <vector>

namespace norva::sim {

// A listening socket at path; a socket left there by a simulator that no longer answers is
// replaced. -1 with *error saying why.
int ListenOn(const std::string& path, std::string* error);

// Takes one waiting connection, reads its request and answers it.
void AnswerClient(int listenFd, const std::vector<Simulator*>& pairs, bool* quit);

// Sends one request and prints the answer; returns the client's exit status.
int RunClient(const std::string& socketPath, const std::string& request);

// An answer for a person: its text on standard output, an error's reason on standard error.
void PrintAnswer(const std::string& answer);

} // namespace norva::sim
