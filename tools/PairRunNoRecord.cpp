// A norvactl built without the pairing station: a run never has a recording.

#include "tools/PairRun.h"

namespace norva::tools {

std::optional<PairOutcome> PairRun::BeginRecord() {
    return std::nullopt;
}

bool PairRun::Recorded(int /*from*/) {
    return true;
}

void PairRun::EndRecord() {}

void PairRun::StartRecord() {}

void PairRun::ReadUnits() {}

} // namespace norva::tools
