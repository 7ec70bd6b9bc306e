// The unit options of norva-sim's command line: each applies to both units as written, or to one
// unit with the prefix --unit1- or --unit2-.
#pragma once

#include "sim/Simulator.h"

#include <functional>
#include <string>
#include <vector>

namespace norva::sim {

// Sets a unit's option from its value ("" for a switch); returns why the value is wrong, or "".
using UnitSetter = std::function<std::string(UnitOptions&, const std::string&)>;

struct UnitOption {
    const char* name; // without "--"
    bool takesValue;
    UnitSetter set;
    // Applied before all other options, wherever it stands, so that they can override it.
    bool first = false;
    // A choice: its word for the unit's value, as `set` takes it.
    std::function<std::string(const UnitOptions&)> word = nullptr;
};

const std::vector<UnitOption>& UnitOptionTable();
// The word the choice option `name` (e.g. "connect-reply") has for the unit's value.
std::string ChoiceWord(const std::string& name, const UnitOptions& unit);

// "B,P,S[,F]", e.g. "115200,E,2,0"; on success it replaces what *uart held.
bool ParseUart(const std::string& text, UartSetting* uart);

} // namespace norva::sim
