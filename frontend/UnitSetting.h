#pragma once
// What a setting dialog stores for one unit: the COM port and the line
// settings the wizard talks to it with. Lives as long as the wizard; only the
// dialog's own OK changes it.

#include "flow/PairingView.h"

#include <string_view>

namespace norva {

struct UnitSetting {
    int port = 1;
    int baud = 9600;
    int parity = 0;   // the tables' codes: 0 none, 1 odd, 2 even
    int stopBits = 0; // 0 one, 2 two
};

// "COM%d": the capital letters, then a decimal number (sign and leading blanks
// allowed, as the C reading takes them); what follows is ignored. 0 for a text
// of another form or a number no port can have.
int ReadComNumber(std::string_view text);

// How the flow opens a unit's line with it.
flow::UnitLine LineOf(const UnitSetting& setting);

} // namespace norva
