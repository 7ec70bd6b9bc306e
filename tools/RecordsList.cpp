// `records`: the attempts a register holds, as text, CSV or JSON.

#include "tools/StationCommands.h"

#include "station/Export.h"
#include "station/Register.h"

namespace norva::tools {
namespace {

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

CommandResult ListRecords(const StationArgs& a, const CommonOptions& opt) {
    station::RegisterError error;
    station::RegisterTarget target;
    std::unique_ptr<station::Register> reg;
    if (station::ParseTarget(a.record, target, error.reason)) {
        reg = station::Register::Open(target, error, station::kSchemaVersion, false);
    }
    if (!reg) {
        return {opt.command, kExitRegister,
                station::Describe(target, "cannot be used", error, opt.verbose)};
    }
    station::ListFilter filter;
    filter.since = a.since;
    filter.address = a.unit;
    std::vector<station::AttemptRecord> records;
    if (!reg->List(filter, records, error)) {
        return {opt.command, kExitRegister,
                station::Describe(target, "cannot be read", error, opt.verbose)};
    }
    CommandResult result(opt.command);
    nlohmann::ordered_json pairs = nlohmann::ordered_json::array();
    for (const station::AttemptRecord& r : records) {
        pairs.push_back(station::ToJson(r));
    }
    result.report.SetPairs(std::move(pairs));
    if (a.csv) {
        result.text = station::ToCsv(records);
    } else if (records.empty()) {
        result.text = "No pairing attempts in " + target.Shown() + Narrowed(a) + ".\n";
    } else {
        for (const station::AttemptRecord& r : records) {
            result.text += station::ToText(r);
        }
    }
    return result;
}

} // namespace norva::tools
