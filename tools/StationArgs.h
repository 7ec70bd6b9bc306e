#pragma once
// norvactl's options for the pairing station: the register, the operator,
// triage, and the label.

#include "tools/Command.h"

#include <string>

namespace norva::tools {

struct StationArgs {
    std::string record;       // --record TARGET: a SQLite file or a postgresql:// database
    std::string operatorName; // --operator NAME
    bool repair = false;      // --repair: a unit of another pair may be paired anew
    bool skipDone = false;    // --skip-done: leave out pairs the register holds as done
    std::string labelPath;    // pair --label FILE
    bool noVerify = false;    // pair --no-verify: record and label without proving the link
    // records
    bool csv = false;
    std::string since;
    std::string unit; // records --unit, label --unit: 12 hex digits
    std::string out;  // label --out FILE
};

// The station options of `pair`, checked together (`verify`: --verify was
// given); false with a one-line reason.
bool CheckStationPairArgs(const StationArgs& args, bool verify, std::string& error);
// --record or --label without --no-verify: the pairing is verified.
bool StationVerifies(const StationArgs& args);
// The options of `records` (`json`: --json was given) and of `label`.
bool CheckRecordsArgs(const StationArgs& args, bool json, std::string& error);
bool CheckLabelArgs(const StationArgs& args, std::string& error);

void AddRecordOption(Subcommand& sub, StationArgs& args);
// records and label: -v adds the database's own message to a register's
// trouble, said in plain words without it.
void AddRegisterVerbose(Subcommand& sub, CommonOptions& common);

} // namespace norva::tools
