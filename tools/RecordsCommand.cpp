#include "tools/RecordsCommand.h"

#include "station/Export.h"
#include "station/Register.h"
#include "tools/ExitCodes.h"

#include <cstdio>

namespace norva::tools {
namespace {

int Fail(const CliOptions& opt, int exitCode, const std::string& error) {
    std::fprintf(stderr, "norvactl: %s\n", error.c_str());
    if (opt.json) {
        const nlohmann::ordered_json report = {{"command", "records"},
                                               {"ok", false},
                                               {"exit", exitCode},
                                               {"error", error},
                                               {"pairs", nullptr}};
        std::printf(
            "%s\n",
            report.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace).c_str());
    }
    return exitCode;
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
        const nlohmann::ordered_json report = {{"command", "records"},
                                               {"ok", true},
                                               {"exit", 0},
                                               {"error", nullptr},
                                               {"pairs", std::move(pairs)}};
        std::printf(
            "%s\n",
            report.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace).c_str());
    } else {
        for (const station::AttemptRecord& r : records) {
            std::fputs(station::ToText(r).c_str(), stdout);
        }
    }
    std::fflush(stdout);
    return kExitOk;
}

} // namespace norva::tools
