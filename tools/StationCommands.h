#pragma once
// What norvactl does with the pairing station's register and labels; a build
// without them answers each with "not part of this build" (NoStation.cpp).

#include "tools/Command.h"
#include "tools/StationArgs.h"

#include <memory>
#include <optional>
#include <string>

namespace norva::station {
struct AttemptRecord;
class Register;
struct RegisterError;
struct RegisterTarget;
} // namespace norva::station

namespace norva::tools {

// The register `args` names, opened to read; null with `failure` set when it
// cannot be used.
std::unique_ptr<station::Register> OpenToRead(const StationArgs& args, const CommonOptions& common,
                                              station::RegisterTarget& target,
                                              std::optional<CommandResult>& failure);
// A register that opened but could not be read.
CommandResult ReadFailed(const station::RegisterTarget& target, const station::RegisterError& error,
                         const CommonOptions& common);

// `records`: the attempts a register holds, as text, CSV or JSON.
CommandResult ListRecords(const StationArgs& args, const CommonOptions& common);
// `label`: a unit's pair's label from the register.
CommandResult LabelFromRegister(const StationArgs& args, const CommonOptions& common);

// The label file of one pair: `path` itself for a single pair, and for a
// batch "<path without extension>-<unit 1's address><extension>".
std::string PairLabelPath(const std::string& path, const station::AttemptRecord& attempt,
                          bool batch);
bool WritePairLabel(const station::AttemptRecord& attempt, const std::string& path,
                    std::string& error);

} // namespace norva::tools
