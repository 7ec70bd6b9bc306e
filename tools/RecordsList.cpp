// `records`: the attempts a register holds, as text, CSV or JSON.

#include "tools/StationCommands.h"

#include "station/AttemptJson.h"
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
    station::RegisterTarget target;
    std::optional<CommandResult> failure;
    const std::unique_ptr<station::Register> reg = OpenToRead(a, opt, target, failure);
    if (!reg) {
        return std::move(*failure);
    }
    station::RegisterError error;
    station::ListFilter filter;
    filter.since = a.since;
    filter.address = a.unit;
    std::vector<station::AttemptRecord> records;
    if (!reg->List(filter, records, error)) {
        return ReadFailed(target, error, opt);
    }
    CommandResult result(opt.command);
    nlohmann::ordered_json pairs = nlohmann::ordered_json::array();
    for (const station::AttemptRecord& r : records) {
        pairs.push_back(station::AttemptJson(r, station::AttemptView::Register));
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
