#include "platform/SerialDevice.h"

#include "platform/DeviceTexts.h"

#include <algorithm>
#include <iterator>

namespace norva {

bool BaudSupported(uint32_t baud) {
    return std::find(std::begin(kPortRates), std::end(kPortRates), baud) != std::end(kPortRates);
}

const char* ParityName(uint8_t parity) {
    switch (parity) {
    case kOddParity:
        return "Odd";
    case kEvenParity:
        return "Even";
    default:
        return "None";
    }
}

} // namespace norva

namespace norva {

std::string UnsupportedSettingsText(const LineSettings& settings) {
    return "unsupported line settings (baud rate " + std::to_string(settings.BaudRate) + ")";
}

std::string RefusedSettingText(const std::string& name, const std::string& setting,
                               const std::string& why) {
    return name + " does not support " + setting + " (" + why + ")";
}

std::string InUseText(const std::string& name) {
    return name + " is in use by another program";
}

std::string NotPresentText(const std::string& name) {
    return name + ": device not present";
}

} // namespace norva
