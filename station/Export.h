#pragma once
// The register's attempts for other programs: CSV (RFC 4180, a header row,
// the register's column names) and JSON (the keys of norvactl pair's report,
// and the register's own).

#include "station/Attempt.h"

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace norva::station {

std::string ToCsv(const std::vector<AttemptRecord>& records);
// One object per attempt: name, ok, exit, error, step, unit1, unit2,
// verified, verify_detail as in the pair report, then id, started_at,
// ended_at, station, tool, tool_version, operator, outcome, replaces,
// transcript.
nlohmann::ordered_json ToJson(const AttemptRecord& record);
// One line per attempt for a terminal.
std::string ToText(const AttemptRecord& record);

// "115200,even,1,flow" as the pair report's `stored` object (with `mode`);
// null when nothing was stored.
nlohmann::ordered_json StoredJson(const std::string& uart, int mode);

} // namespace norva::station
