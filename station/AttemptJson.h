#pragma once
// The one JSON form of a pairing attempt. `norvactl pair --json` writes it as
// the run saw it; `records --json` as the register keeps it. Both start with
// the same keys (docs/norvactl.md, docs/records.md).

#include "station/Attempt.h"

#include <nlohmann/json.hpp>

#include <string>

namespace norva::station {

enum class AttemptView {
    // name, ok, exit, error, step, unit1, unit2, verified, verify_detail; each
    // unit port, address, name, stored and what the run left it with
    // (state); "skipped" when --skip-done left the pair out.
    Run,
    // The same keys, each unit with the register's facts about it in place of
    // state, then id, started_at, ended_at, station, tool, tool_version,
    // operator, outcome, reason, replaces, transcript.
    Register,
};

nlohmann::ordered_json AttemptJson(const AttemptRecord& record, AttemptView view);

// "115200,even,1,flow" and a mode as the `stored` object; null for a text
// that is no UART setting or no mode.
nlohmann::ordered_json StoredJson(const std::string& uart, int mode);

} // namespace norva::station
