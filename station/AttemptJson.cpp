#include "station/AttemptJson.h"

#include <sstream>
#include <vector>

namespace norva::station {
namespace {

using Json = nlohmann::ordered_json;

Json TextOrNull(const std::string& text) {
    return text.empty() ? Json(nullptr) : Json(text);
}

Json FlagOrNull(const std::optional<bool>& flag) {
    return flag ? Json(*flag) : Json(nullptr);
}

Json CountOrNull(int value, int none) {
    return value > none ? Json(value) : Json(nullptr);
}

Json UnitJson(const UnitRecord& u, AttemptView view) {
    Json unit = {{"port", u.port},
                 {"address", TextOrNull(u.address)},
                 {"name", TextOrNull(u.name)},
                 {"stored", u.configured ? StoredJson(u.uart, u.mode) : Json(nullptr)}};
    if (view == AttemptView::Run) {
        // Also after a failure: a set that does not auto-connect shows which
        // half is missing.
        unit["state"] = {{"discoverable", u.discoverable},
                         {"mode_stored", u.mode >= 0},
                         {"uart_stored", !u.uart.empty()}};
        return unit;
    }
    unit["device"] = TextOrNull(u.device);
    unit["firmware"] = TextOrNull(u.firmware);
    unit["verified"] = FlagOrNull(u.verified);
    unit["echo"] = TextOrNull(u.echo);
    unit["status_fields"] = CountOrNull(u.statusFields, 0);
    unit["uart_args"] = CountOrNull(u.uartArgs, 0);
    unit["restart_ms"] = CountOrNull(u.restartMs, -1);
    return unit;
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

Json AttemptJson(const AttemptRecord& r, AttemptView view) {
    const bool ok = r.Ok();
    // A run always reached a step (0: left out before the first).
    const bool stepKnown = r.step > 0 || view == AttemptView::Run;
    Json json = {{"name", r.pairName},
                 {"ok", ok},
                 {"exit", CountOrNull(r.exitCode, -1)},
                 {"error", TextOrNull(ok ? std::string() : r.reason)},
                 {"step", stepKnown ? Json(r.step) : Json(nullptr)},
                 {"unit1", UnitJson(r.unit[0], view)},
                 {"unit2", UnitJson(r.unit[1], view)},
                 {"verified", FlagOrNull(r.Verified())},
                 {"verify_detail", TextOrNull(r.verifyDetail)}};
    if (view == AttemptView::Run) {
        if (!r.skipped.empty()) {
            json["skipped"] = r.skipped;
        }
        return json;
    }
    json["id"] = r.id;
    json["started_at"] = r.startedAt;
    json["ended_at"] = TextOrNull(r.endedAt);
    json["station"] = r.station;
    json["tool"] = r.tool;
    json["tool_version"] = r.toolVersion;
    json["operator"] = TextOrNull(r.operatorName);
    json["outcome"] = OutcomeName(r.outcome);
    json["reason"] = TextOrNull(r.reason);
    json["replaces"] = r.replaces > 0 ? Json(r.replaces) : Json(nullptr);
    json["transcript"] = TextOrNull(r.transcript);
    return json;
}

} // namespace norva::station
