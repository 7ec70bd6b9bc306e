// The command norva-sim runs after "--", and the signals it waits for meanwhile.
#pragma once

#include <string>
#include <vector>

#include <sys/types.h>

namespace norva::sim {

// Blocks SIGINT, SIGTERM, SIGHUP and SIGCHLD in the calling thread and every thread it starts
// later, and returns a signalfd that reads them; -1 on failure.
int BlockSignals();

// Starts command with the assignments ("NAME=value") added to the environment; -1 with *error
// saying why when it cannot be started.
pid_t StartChild(const std::vector<std::string>& command,
                 const std::vector<std::string>& assignments, std::string* error);

} // namespace norva::sim
