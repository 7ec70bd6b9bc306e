#pragma once
// How one pair's run ended, unit by unit: what `pair` reports and the
// register records.

#include "flow/PairingView.h"

#include <optional>
#include <string>

namespace norva::tools {

struct UnitReport {
    std::string port;
    std::string address;
    std::string name;
    // Both settings stored (the steps 7 and 8 ended well).
    bool stored = false;
    // What the run left in the unit when it ended: unit 1 made discoverable
    // and not taken out of it, and the settings the unit acknowledged.
    bool discoverable = false;
    bool modeStored = false;
    bool uartStored = false;
    // Why unit 1 was left discoverable, or that the run took it out of it.
    std::string discoverableNote;
    flow::UartChoice uart;
    int mode = 0;
    // "flow-field" or "no-flow-field": whether its status line reports flow
    // control (old firmware does not); empty until read.
    std::string firmware;
    // "seen" when a command came back before its reply on the unit's line,
    // "none" when replies were read without one; empty until then.
    std::string echo;
    // The UART command form the unit took: 4 or 3 arguments; 0 until stored.
    int uartArgs = 0;
    // --verify: whether this unit announced its link to the other.
    std::optional<bool> verified;
    // --verify: from its ATZ to its first answer after the restart; -1 unknown.
    int restartMs = -1;
};

struct PairOutcome {
    std::string name;
    bool ok = false;
    int exitCode = 0;
    // The last step reached (1..9).
    int step = 1;
    std::string error;
    UnitReport unit[2];
    std::optional<bool> verified;
    std::string verifyDetail;
    // The run ended because a device went away.
    bool deviceGone = false;
    // --skip-done: why the pair was left out (it is ok then).
    std::string skipped;
};

} // namespace norva::tools
