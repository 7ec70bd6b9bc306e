#pragma once
// The one JSON object norvactl prints under --json. Every command fills in
// what it has and leaves the rest null, so that a script always finds the
// same keys (docs/norvactl.md lists them).

#include "module/ModuleInfo.h"
#include "platform/SerialDevice.h"
#include "serial/SerialPortList.h"
#include "tools/ToolHost.h"

#include <nlohmann/json_fwd.hpp>

#include <memory>
#include <string>
#include <vector>

namespace norva::tools {

class JsonReport {
public:
    // `command` empty: the command line named none.
    explicit JsonReport(const std::string& command);
    ~JsonReport();
    JsonReport(JsonReport&& other) noexcept;
    JsonReport& operator=(JsonReport&& other) noexcept;
    JsonReport(const JsonReport&) = delete;
    JsonReport& operator=(const JsonReport&) = delete;

    void SetResult(int jobId, int code, const std::string& name);
    void SetStatus(const ModuleInfoData& status);
    void SetDevices(const std::vector<DeviceRow>& rows);
    void SetValue(const std::string& value);
    void SetPorts(const std::vector<SerialPortEntry>& ports);
    void SetTimeLimitReached();
    // `norvactl pair`: one object per pair.
    void SetPairs(nlohmann::ordered_json pairs);
    // `detect`: the setting that answered, and how many were tried.
    void SetSetting(const LineSettings& setting, int tried);
    // `traits`: what was measured (docs/norvactl.md lists its keys).
    void SetTraits(nlohmann::ordered_json traits);

    // One line of valid UTF-8: bytes a module sent that are not UTF-8 become
    // U+FFFD.
    std::string Dump(int exitCode, const std::string& error) const;

private:
    // Held apart: the JSON library's header costs seconds in every file that
    // includes it, and nearly every command file includes this one.
    std::unique_ptr<nlohmann::ordered_json> m_json;
};

// `text`, or null when it is empty.
nlohmann::ordered_json TextOrNull(const std::string& text);

// The name the link state has in status output.
const char* LinkName(int state);

} // namespace norva::tools
