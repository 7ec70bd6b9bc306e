#pragma once
// `norvactl traits`: measures on one unit what modules of this family do
// differently: whether a command comes back before its reply (and in which
// form), how long a restart takes, the status line's fields and idle word,
// which UART command forms it takes and whether it sends result codes.
// Nothing stored in the unit changes: the UART commands carry the values it
// answers at now. With --probe-settings it also stores another operation
// mode for a moment, to see whether the status shows a new mode at once, and
// then the original mode again.

#include <string>

namespace norva {
class CModuleControl;
}

namespace norva::tools {

struct CliOptions;
class JsonReport;

// Runs on `module`'s open port (its worker is stopped first) and returns the
// exit status; fills `report`'s "traits" (and "status" when one was read)
// and, when it failed, `error`.
int MeasureTraits(CModuleControl& module, const CliOptions& opt, JsonReport& report,
                  std::string& error);

} // namespace norva::tools
