#pragma once
// `norvactl pair`: one pair, or a batch of pairs in parallel, each on its own
// controller and worker; progress on standard error, the report on standard
// output.

#include "tools/CliOptions.h"

namespace norva::tools {

int RunPairCommand(const CliOptions& opt);

} // namespace norva::tools
