#pragma once
// norvactl's exit status (docs/norvactl.md); a signal ends it with 128 + its number.

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
