#include "tools/RecordsCommand.h"

#include "station/Export.h"
#include "station/Register.h"
#include "tools/ExitCodes.h"
#include "tools/JsonReport.h"

#include <cstdio>

namespace norva::tools {
namespace {

int Fail(const CliOptions& opt, int exitCode, const std::string& error) {
    std::fprintf(stderr, "norvactl: %s\n", error.c_str());
    if (opt.json) {
        std::printf("%s\n", JsonReport("records").Dump(exitCode, error).c_str());
    }
    return exitCode;
}

// What the list was narrowed by, for the line that says nothing matched.
std::string Narrowed(const StationArgs& a) {
    std::string by;
    if (!a.unit.empty()) {
        by += " with unit " + a.unit;
    }
    if (!a.since.empty()) {
        by += " since " + a.since;
    }
    return by;
}

} // namespace

int RunRecordsCommand(const CliOptions& opt) {
    const StationArgs& a = opt.station;
    station::RegisterError error;
    station::RegisterTarget target;
    std::unique_ptr<station::Register> reg;
    if (station::ParseTarget(a.record, target, error.reason)) {
        reg = station::Register::Open(target, error, station::kSchemaVersion, false);
    }
    if (!reg) {
        return Fail(opt, kExitRegister,
                    station::Describe(target, "cannot be used", error, opt.verbose));
    }
    station::ListFilter filter;
    filter.since = a.since;
    filter.address = a.unit;
    std::vector<station::AttemptRecord> records;
    if (!reg->List(filter, records, error)) {
        return Fail(opt, kExitRegister,
                    station::Describe(target, "cannot be read", error, opt.verbose));
    }
    if (a.csv) {
        std::fputs(station::ToCsv(records).c_str(), stdout);
    } else if (opt.json) {
        nlohmann::ordered_json pairs = nlohmann::ordered_json::array();
        for (const station::AttemptRecord& r : records) {
            pairs.push_back(station::ToJson(r));
        }
        JsonReport report("records");
        report.SetPairs(std::move(pairs));
        std::printf("%s\n", report.Dump(kExitOk, {}).c_str());
    } else if (records.empty()) {
        std::printf("No pairing attempts in %s%s.\n", target.Shown().c_str(), Narrowed(a).c_str());
    } else {
        for (const station::AttemptRecord& r : records) {
            std::fputs(station::ToText(r).c_str(), stdout);
        }
    }
    std::fflush(stdout);
    return kExitOk;
}

} // namespace norva::tools
