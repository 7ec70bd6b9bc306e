#include "tools/LabelCommand.h"

#include "station/Label.h"
#include "station/Register.h"
#include "tools/ExitCodes.h"
#include "tools/PairRun.h"

#include <cstdio>

namespace norva::tools {

std::string PairLabelPath(const std::string& path, const PairOutcome& outcome, bool batch) {
    if (!batch) {
        return path;
    }
    const size_t dot = path.rfind('.');
    const size_t slash = path.rfind('/');
    const size_t cut =
        dot == std::string::npos || (slash != std::string::npos && dot < slash) ? path.size() : dot;
    return path.substr(0, cut) + "-" + outcome.unit[0].address + path.substr(cut);
}

bool WritePairLabel(const PairOutcome& o, const std::string& path, std::string& error) {
    station::LabelContent content;
    for (int i = 0; i < 2; ++i) {
        content.address[i] = o.unit[i].address;
        content.name[i] = o.unit[i].name;
        content.uart[i] = o.unit[i].stored ? UartText(o.unit[i].uart) : std::string();
    }
    content.date = station::UtcNow().substr(0, 10);
    station::LabelLayout layout;
    return station::LayOutLabel(content, layout, error) && station::WriteLabel(layout, path, error);
}

int RunLabelCommand(const CliOptions& opt) {
    const StationArgs& a = opt.station;
    station::RegisterError failure;
    station::RegisterTarget target;
    std::unique_ptr<station::Register> reg;
    if (station::ParseTarget(a.record, target, failure.reason)) {
        reg = station::Register::Open(target, failure, station::kSchemaVersion, false);
    }
    if (!reg) {
        std::fprintf(stderr, "norvactl: %s\n",
                     station::Describe(target, "cannot be used", failure, opt.verbose).c_str());
        return kExitRegister;
    }
    const std::optional<station::PairHolding> held = reg->HoldingOf(a.unit, failure);
    std::optional<station::AttemptRecord> record;
    if (held) {
        record = reg->Find(held->attemptId, failure);
    }
    if (!failure.Empty()) {
        std::fprintf(stderr, "norvactl: %s\n",
                     station::Describe(target, "cannot be read", failure, opt.verbose).c_str());
        return kExitRegister;
    }
    if (!record) {
        std::fprintf(stderr, "norvactl: %s is in no completed pair in %s\n", a.unit.c_str(),
                     target.Shown().c_str());
        return kExitFailed;
    }
    station::LabelLayout layout;
    std::string error;
    if (!station::LayOutLabel(station::LabelFromRecord(*record), layout, error) ||
        !station::WriteLabel(layout, a.out, error)) {
        std::fprintf(stderr, "norvactl: %s\n", error.c_str());
        return kExitFailed;
    }
    std::printf("label of %s + %s written to %s\n", record->unit[0].address.c_str(),
                record->unit[1].address.c_str(), a.out.c_str());
    return kExitOk;
}

} // namespace norva::tools
