#pragma once
// norvactl's exit status (docs/norvactl.md); a signal ends it with 128 + its number.
//
// How tools/ reports errors: a command ends with one ExitCode and, when it
// failed, one line "norvactl: <why>" on standard error (and in the JSON
// report's "error"). The why is the lower layer's reason passed on as it
// came (OsError::reason, the gone reason, the flow's text), never reworded
// into a guess.

#include <string>

namespace norva::flow {
enum class Failure;
}

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

struct ExitMeaning {
    int code;
    const char* meaning; // as the help's footer says it
};

// Every status, in the order the help lists them.
inline constexpr ExitMeaning kExitMeanings[] = {
    {kExitOk, "success"},
    {kExitFailed, "the module refused or the job failed"},
    {kExitUsage, "bad command line"},
    {kExitPortFailed, "the serial port did not open or the device went away"},
    {kExitNoAnswer, "the module did not answer"},
    {kExitRegister, "the register cannot be opened or written"},
    {kExitRefused, "a unit is in another pair (pair --record without --repair)"},
    {129, "SIGHUP"},
    {kExitInterrupted, "SIGINT (Ctrl-C)"},
    {143, "SIGTERM"},
};

// The one mapping from what went wrong to the status that says it.
int ExitFor(flow::Failure failure);

// The help's "Exit status: …" paragraph, wrapped for a terminal.
std::string ExitStatusHelp();

} // namespace norva::tools
