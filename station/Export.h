#pragma once
// The register's attempts for other programs as CSV (RFC 4180, a header row,
// the register's column names), and for a terminal; JSON is AttemptJson's.

#include "station/Attempt.h"

#include <string>
#include <vector>

namespace norva::station {

std::string ToCsv(const std::vector<AttemptRecord>& records);
// One line per attempt for a terminal.
std::string ToText(const AttemptRecord& record);

} // namespace norva::station
