#pragma once
// `norvactl records`: the attempts a register holds, as text, CSV or JSON.

#include "tools/CliOptions.h"

namespace norva::tools {

int RunRecordsCommand(const CliOptions& opt);

} // namespace norva::tools
