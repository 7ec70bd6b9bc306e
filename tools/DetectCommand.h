#pragma once
// `norvactl detect`: finds the UART setting stored in the module on a port.

#include "tools/CliOptions.h"

namespace norva::tools {

int RunDetect(const CliOptions& opt);

} // namespace norva::tools
