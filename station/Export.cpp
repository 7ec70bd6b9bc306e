#include "station/Export.h"

#include "station/Schema.h"

#include <sstream>
#include <string_view>

namespace norva::station {
namespace {

using Json = nlohmann::ordered_json;

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

Json TextOrNull(const std::string& text) {
    return text.empty() ? Json(nullptr) : Json(text);
}

Json UnitJson(const UnitRecord& u) {
    return {{"port", u.port},
            {"address", TextOrNull(u.address)},
            {"name", TextOrNull(u.name)},
            {"stored", StoredJson(u.uart, u.mode)},
            {"device", TextOrNull(u.device)},
            {"firmware", TextOrNull(u.firmware)},
            {"verified", u.verified ? Json(*u.verified) : Json(nullptr)},
            {"echo", TextOrNull(u.echo)},
            {"status_fields", u.statusFields > 0 ? Json(u.statusFields) : Json(nullptr)},
            {"uart_args", u.uartArgs > 0 ? Json(u.uartArgs) : Json(nullptr)},
            {"restart_ms", u.restartMs >= 0 ? Json(u.restartMs) : Json(nullptr)}};
}

} // namespace

Json StoredJson(const std::string& uart, int mode) {
    std::vector<std::string> parts;
    std::istringstream in(uart);
    for (std::string part; std::getline(in, part, ',');) {
        parts.push_back(part);
    }
    if (parts.size() != 4 || mode < 0) {
        return nullptr;
    }
    int baud = 0;
    try {
        baud = std::stoi(parts[0]);
    } catch (const std::exception&) {
        return nullptr;
    }
    return {{"baud", baud},
            {"parity", parts[1]},
            {"stop_bits", parts[2] == "2" ? 2 : 1},
            {"flow_control", parts[3] == "flow"},
            {"mode", mode}};
}

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

Json ToJson(const AttemptRecord& r) {
    const bool ok = SetUp(r.outcome);
    Json verified = nullptr;
    if (r.unit[0].verified || r.unit[1].verified) {
        verified = r.unit[0].verified.value_or(true) && r.unit[1].verified.value_or(true);
    }
    return {{"name", r.pairName},
            {"ok", ok},
            {"exit", r.exitCode >= 0 ? Json(r.exitCode) : Json(nullptr)},
            {"error", TextOrNull(ok ? std::string() : r.reason)},
            {"step", r.step > 0 ? Json(r.step) : Json(nullptr)},
            {"unit1", UnitJson(r.unit[0])},
            {"unit2", UnitJson(r.unit[1])},
            {"verified", verified},
            {"verify_detail", TextOrNull(r.verifyDetail)},
            {"id", r.id},
            {"started_at", r.startedAt},
            {"ended_at", TextOrNull(r.endedAt)},
            {"station", r.station},
            {"tool", r.tool},
            {"tool_version", r.toolVersion},
            {"operator", TextOrNull(r.operatorName)},
            {"outcome", OutcomeName(r.outcome)},
            {"reason", TextOrNull(r.reason)},
            {"replaces", r.replaces > 0 ? Json(r.replaces) : Json(nullptr)},
            {"transcript", TextOrNull(r.transcript)}};
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
        if (!u.uart.empty()) {
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
