// records and label read a register the same way, and say its trouble the same way.

#include "station/Register.h"
#include "tools/StationCommands.h"

namespace norva::tools {

std::unique_ptr<station::Register> OpenToRead(const StationArgs& args, const CommonOptions& common,
                                              station::RegisterTarget& target,
                                              std::optional<CommandResult>& failure) {
    station::RegisterError error;
    std::unique_ptr<station::Register> reg;
    if (station::ParseTarget(args.record, target, error.reason)) {
        reg = station::Register::Open(target, error, station::kSchemaVersion, false);
    }
    if (!reg) {
        failure.emplace(common.command, kExitRegister,
                        station::Describe(target, "cannot be used", error, common.verbose));
    }
    return reg;
}

CommandResult ReadFailed(const station::RegisterTarget& target, const station::RegisterError& error,
                         const CommonOptions& common) {
    return {common.command, kExitRegister,
            station::Describe(target, "cannot be read", error, common.verbose)};
}

} // namespace norva::tools
