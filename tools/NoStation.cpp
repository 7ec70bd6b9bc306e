// A norvactl built without the pairing station: a run never has a recording,
// and the register's commands say that it is not there.

#include "tools/PairRun.h"
#include "tools/StationCommands.h"

namespace norva::tools {

std::optional<station::AttemptRecord> PairRun::BeginRecord() {
    return std::nullopt;
}

bool PairRun::Recorded(int /*from*/) {
    return true;
}

void PairRun::EndRecord() {}

void PairRun::StartRecord() {}

void PairRun::ReadUnits() {}

namespace {

CommandResult NotInThisBuild(const CommonOptions& common) {
    return {common.command, kExitRegister, "the pair register is not part of this build"};
}

} // namespace

CommandResult ListRecords(const StationArgs& /*args*/, const CommonOptions& common) {
    return NotInThisBuild(common);
}

CommandResult LabelFromRegister(const StationArgs& /*args*/, const CommonOptions& common) {
    return NotInThisBuild(common);
}

} // namespace norva::tools
