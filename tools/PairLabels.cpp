// The labels of pairs: from a pair just paired, and from the register.

#include "tools/StationCommands.h"

#include "station/Label.h"
#include "station/Register.h"
#include "tools/ExitCodes.h"

#include <cstdio>

namespace norva::tools {

std::string PairLabelPath(const std::string& path, const station::AttemptRecord& attempt,
                          bool batch) {
    if (!batch) {
        return path;
    }
    const size_t dot = path.rfind('.');
    const size_t slash = path.rfind('/');
    const size_t cut =
        dot == std::string::npos || (slash != std::string::npos && dot < slash) ? path.size() : dot;
    return path.substr(0, cut) + "-" + attempt.unit[0].address + path.substr(cut);
}

bool WritePairLabel(const station::AttemptRecord& attempt, const std::string& path,
                    std::string& error) {
    station::LabelLayout layout;
    return station::LayOutLabel(station::LabelFromRecord(attempt), layout, error) &&
           station::WriteLabel(layout, path, error);
}

CommandResult LabelFromRegister(const StationArgs& a, const CommonOptions& opt) {
    station::RegisterTarget target;
    std::optional<CommandResult> unusable;
    const std::unique_ptr<station::Register> reg = OpenToRead(a, opt, target, unusable);
    if (!reg) {
        return std::move(*unusable);
    }
    station::RegisterError failure;
    const std::optional<station::PairHolding> held = reg->HoldingOf(a.unit, failure);
    std::optional<station::AttemptRecord> record;
    if (held) {
        record = reg->Find(held->attemptId, failure);
    }
    if (!failure.Empty()) {
        return ReadFailed(target, failure, opt);
    }
    if (!record) {
        return {opt.command, kExitFailed, a.unit + " is in no completed pair in " + target.Shown()};
    }
    station::LabelLayout layout;
    std::string error;
    if (!station::LayOutLabel(station::LabelFromRecord(*record), layout, error) ||
        !station::WriteLabel(layout, a.out, error)) {
        return {opt.command, kExitFailed, error};
    }
    CommandResult result(opt.command);
    result.text = "label of " + record->unit[0].address + " + " + record->unit[1].address +
                  " written to " + a.out + "\n";
    return result;
}

} // namespace norva::tools
