#include "tools/JsonReport.h"

#include "module/Protocol.h"
#include "module/SettingsDetect.h"

#include <nlohmann/json.hpp>

#include <utility>

namespace norva::tools {

namespace {

using Json = nlohmann::ordered_json;

} // namespace

Json TextOrNull(const std::string& text) {
    return text.empty() ? Json(nullptr) : Json(text);
}

const char* LinkName(int state) {
    switch (state) {
    case LINK_STANDBY:
        return "standby";
    case LINK_PENDING:
        return "pending";
    case LINK_CONNECTED:
        return "connected";
    case LINK_DISCONNECTING:
        return "disconnecting";
    default:
        return "unknown";
    }
}

JsonReport::JsonReport(const std::string& command) : m_json(std::make_unique<Json>()) {
    (*m_json)["command"] = TextOrNull(command);
    for (const char* key : {"ok", "exit", "error", "job", "result", "result_name", "status",
                            "devices", "value", "ports"}) {
        (*m_json)[key] = nullptr;
    }
    (*m_json)["time_limit_reached"] = false;
    (*m_json)["setting"] = nullptr;
    (*m_json)["pairs"] = nullptr;
    (*m_json)["traits"] = nullptr;
}

JsonReport::~JsonReport() = default;
JsonReport::JsonReport(JsonReport&& other) noexcept = default;
JsonReport& JsonReport::operator=(JsonReport&& other) noexcept = default;

void JsonReport::SetTimeLimitReached() {
    (*m_json)["time_limit_reached"] = true;
}

void JsonReport::SetPairs(Json pairs) {
    (*m_json)["pairs"] = std::move(pairs);
}

void JsonReport::SetTraits(Json traits) {
    (*m_json)["traits"] = std::move(traits);
}

void JsonReport::SetSetting(const LineSettings& s, int tried) {
    (*m_json)["setting"] = {
        {"baud", s.BaudRate},
        {"parity", s.Parity == kEvenParity ? "even" : (s.Parity == kOddParity ? "odd" : "none")},
        {"stop", s.StopBits == kTwoStopBits ? 2 : 1},
        {"tried", tried},
        {"line", DetectLineText(s)},
    };
}

void JsonReport::SetResult(int jobId, int code, const std::string& name) {
    (*m_json)["job"] = jobId > 0 ? Json(jobId) : Json(nullptr);
    (*m_json)["result"] = code;
    (*m_json)["result_name"] = name;
}

void JsonReport::SetStatus(const ModuleInfoData& s) {
    (*m_json)["status"] = {
        {"address", s.m_szAddress},     {"name", s.m_szName},
        {"mode", s.m_nOpMode},          {"link", LinkName(s.m_nLinkState)},
        {"link_state", s.m_nLinkState}, {"flag5", s.m_nInfoFlag5},
        {"flag6", s.m_nInfoFlag6},      {"flow_control", s.m_nFlowControl == 1 ? "HWFC" : "NoFC"},
    };
}

void JsonReport::SetDevices(const std::vector<DeviceRow>& rows) {
    Json list = Json::array();
    for (const DeviceRow& row : rows) {
        list.push_back(
            {{"address", row.address}, {"name", row.name}, {"class", row.classOfDevice}});
    }
    (*m_json)["devices"] = std::move(list);
}

void JsonReport::SetValue(const std::string& value) {
    (*m_json)["value"] = value;
}

void JsonReport::SetPorts(const std::vector<SerialPortEntry>& ports) {
    Json list = Json::array();
    for (const SerialPortEntry& e : ports) {
        list.push_back({{"port", e.port},
                        {"device", e.device},
                        {"by_id", TextOrNull(e.byId)},
                        {"vendor", TextOrNull(e.vendor)},
                        {"model", TextOrNull(e.model)},
                        {"serial", TextOrNull(e.serial)}});
    }
    (*m_json)["ports"] = std::move(list);
}

std::string JsonReport::Dump(int exitCode, const std::string& error) const {
    // The ending goes into a copy: the report stays as the command left it.
    Json out = *m_json;
    out["ok"] = exitCode == 0;
    out["exit"] = exitCode;
    out["error"] = TextOrNull(error);
    return out.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

} // namespace norva::tools
