#pragma once
// norvactl's exit status (docs/norvactl.md); a signal ends it with 128 + its number.
//
// How tools/ reports errors: a command ends with one ExitCode and, when it
// failed, one line "norvactl: <why>" on standard error (and in the JSON
// report's "error"). The why is the lower layer's reason passed on as it
// came (OsError::reason, the gone reason, the flow's text), never reworded
// into a guess.

namespace norva::tools {

enum ExitCode : int {
    kExitOk = 0,
    kExitFailed = 1,
    kExitUsage = 2,
    kExitPortFailed = 3, // did not open, or the device went away
    kExitNoAnswer = 4,
    kExitRegister = 5, // the register cannot be opened or written
    kExitRefused = 6,  // a unit is in another pair and --repair was not given
    kExitInterrupted = 130,
};

} // namespace norva::tools
