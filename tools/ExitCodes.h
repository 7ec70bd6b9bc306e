#pragma once
// norvactl's exit status (docs/norvactl.md); a signal ends it with 128 + its number.

namespace norva::tools {

enum ExitCode : int {
    kExitOk = 0,
    kExitFailed = 1,
    kExitUsage = 2,
    kExitPortFailed = 3, // did not open, or the device went away
    kExitNoAnswer = 4,
    kExitInterrupted = 130,
};

} // namespace norva::tools
