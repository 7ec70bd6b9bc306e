#pragma once
// The words both platforms use for the same serial device failures, so that
// a user reads the same message on Linux and Windows.

#include "platform/SerialDevice.h"

#include <string>

namespace norva {

// "unsupported line settings (baud rate 12345)"
std::string UnsupportedSettingsText(const LineSettings& settings);
// "<name> does not support Even parity (<why>)"
std::string RefusedSettingText(const std::string& name, const std::string& setting,
                               const std::string& why);
// What a driver that accepted a setting but kept another is told with.
inline constexpr const char* kKeptAnotherSetting =
    "the driver accepted it but kept another setting";
// "<name> is in use by another program" and "<name>: device not present".
std::string InUseText(const std::string& name);
std::string NotPresentText(const std::string& name);

} // namespace norva
