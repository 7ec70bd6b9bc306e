// Named sets of the choices a real module may make differently (UnitOptions), so that a test can
// run the same pairing against each kind of module by name; and random ones drawn from a seed.
#pragma once

#include "sim/Simulator.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace norva::sim {

struct ModuleProfile {
    const char* name;
    const char* summary; // one line for --help and the manual page
    void (*apply)(UnitOptions& unit);
};

// "default" (the simulator's own choices), "strict", "at-once" and "real-slow".
const std::vector<ModuleProfile>& ModuleProfiles();

// Sets the profile's choices in `unit`, leaving everything else as it was; false for an unknown
// name.
bool ApplyModuleProfile(std::string_view name, UnitOptions* unit);

// "default|strict|at-once|real-slow"
std::string ModuleProfileNames();

// Sets every module choice of unit 1 or 2 as drawn from `seed`: the same seed and unit give the
// same choices, and the two units of one seed draw independently. Only choices a pairing has to
// cope with, never a fault; S10 = 0 at power-up is rare, and then hides every result code.
// Everything else in `unit` stays as it was.
void ApplyRandomProfile(std::uint64_t seed, int unitNumber, UnitOptions* unit);

// The unit options that differ from a fresh unit's, as command-line switches that recreate them,
// each starting with `prefix` instead of "--" (say "--unit2-"), separated by spaces; "" when all
// are defaults.
std::string DescribeUnitOptions(const UnitOptions& unit, std::string_view prefix = "--");

} // namespace norva::sim
