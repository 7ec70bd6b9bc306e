#include "platform/SerialDevice.h"

#include "platform/DeviceTexts.h"

#include <algorithm>
#include <iterator>

namespace norva {
namespace {

// The rates termios names; Windows would take any, but a script must mean
// the same on both.
constexpr uint32_t kRates[] = {50,    75,    110,    134,    150,    200,   300,
                               600,   1200,  1800,   2400,   4800,   9600,  19200,
                               38400, 57600, 115200, 230400, 460800, 921600};

} // namespace

bool BaudSupported(uint32_t baud) {
    return std::find(std::begin(kRates), std::end(kRates), baud) != std::end(kRates);
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
