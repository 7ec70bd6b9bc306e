#include "station/Export.h"

#include "station/Schema.h"

#include <string_view>

namespace norva::station {
namespace {

// A cell a spreadsheet would take for a formula (a unit's name is whatever
// its owner typed) keeps a leading apostrophe, so that it stays text. The
// numbers here are written without a sign: only text cells can start so.
std::string CsvField(const std::string& value) {
    const bool formulaLike =
        !value.empty() && std::string_view("=+-@\t\r").find(value[0]) != std::string_view::npos;
    std::string text = formulaLike ? "'" + value : value;
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string out = "\"";
    for (char c : text) {
        out += c;
        if (c == '"') {
            out += '"';
        }
    }
    return out + "\"";
}

} // namespace

std::string ToCsv(const std::vector<AttemptRecord>& records) {
    std::string out = "id";
    for (const std::string& column : AttemptColumns()) {
        out += "," + column;
    }
    out += "\r\n";
    for (const AttemptRecord& r : records) {
        out += std::to_string(r.id);
        for (const std::string& value : AttemptValues(r)) {
            out += "," + CsvField(value);
        }
        out += "\r\n";
    }
    return out;
}

std::string ToText(const AttemptRecord& r) {
    std::string text = "#" + std::to_string(r.id) + " " + r.startedAt + " " + r.station + " " +
                       r.pairName + ": " + OutcomeName(r.outcome);
    if (r.step > 0 && !SetUp(r.outcome)) {
        text += " at step " + std::to_string(r.step);
    }
    for (int i = 0; i < 2; ++i) {
        const UnitRecord& u = r.unit[i];
        text += "; unit " + std::to_string(i + 1) + " " +
                (u.address.empty() ? std::string("?") : u.address);
        if (!u.name.empty()) {
            text += " (" + u.name + ")";
        }
        if (u.configured) {
            text += " " + u.uart + " mode " + std::to_string(u.mode);
        }
        if (u.verified) {
            text += *u.verified ? " verified" : " not verified";
        }
    }
    if (r.replaces > 0) {
        text += "; replaces #" + std::to_string(r.replaces);
    }
    if (!r.reason.empty()) {
        text += "; " + r.reason;
    }
    return text + "\n";
}

} // namespace norva::station
