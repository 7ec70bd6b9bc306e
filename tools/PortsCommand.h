#pragma once
// `norvactl ports`: the COM ports present, with their by-id link and USB details.

#include "tools/CliOptions.h"

namespace norva::tools {

int ListPorts(const CliOptions& opt);

} // namespace norva::tools
