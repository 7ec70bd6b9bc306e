#pragma once
// `norvactl label`: a pair's label from the register; and the labels that
// `norvactl pair --label` writes after a pair was paired.

#include "tools/CliOptions.h"

#include <string>

namespace norva::tools {

struct PairOutcome;

int RunLabelCommand(const CliOptions& opt);

// The label file of one pair: `path` itself for a single pair, and for a
// batch "<path without extension>-<unit 1's address><extension>".
std::string PairLabelPath(const std::string& path, const PairOutcome& outcome, bool batch);
bool WritePairLabel(const PairOutcome& outcome, const std::string& path, std::string& error);

} // namespace norva::tools
