#pragma once
// The one place norvactl prints how a command ended.

#include "tools/Command.h"

namespace norva::tools {

// Prints `result` (text or, with `json`, the JSON report) and returns its
// exit status.
int PrintResult(const CommandResult& result, bool json);

} // namespace norva::tools
