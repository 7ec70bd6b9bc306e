// Named sets of the choices a real module may make differently (UnitOptions), so that a test can
// run the same pairing against each kind of module by name.
#pragma once

#include "sim/Simulator.h"

#include <string>
#include <string_view>
#include <vector>

namespace norva::sim {

struct ModuleProfile {
    const char* name;
    const char* summary; // one line for --help and the manual page
    void (*apply)(UnitOptions& unit);
};

// "default" (the simulator's own choices), "strict" and "at-once".
const std::vector<ModuleProfile>& ModuleProfiles();

// Sets the profile's choices in `unit`, leaving everything else as it was; false for an unknown
// name.
bool ApplyModuleProfile(std::string_view name, UnitOptions* unit);

// "default|strict|at-once"
std::string ModuleProfileNames();

} // namespace norva::sim
