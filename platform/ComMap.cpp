#include "platform/ComMap.h"

#include "platform/SerialDevice.h"

#include <cstdlib>

namespace norva {
namespace {

struct Range {
    int first;
    const char* prefix;
};

// 32 numbers per device family, in this order.
constexpr Range kRanges[] = {
    {1, "/dev/ttyS"},    {33, "/dev/ttyUSB"},  {65, "/dev/ttyACM"},
    {97, "/dev/rfcomm"}, {129, "/dev/ttyAMA"},
};
constexpr int kPerFamily = 32;

const char* Override(int n) {
    const std::string var = "NORVAWIZARD_COM" + std::to_string(n);
    const char* value = std::getenv(var.c_str());
    return value != nullptr && *value != '\0' ? value : nullptr;
}

} // namespace

bool ComOverridden(int n) {
    return n >= 1 && n <= kMaxComPort && Override(n) != nullptr;
}

std::string ComDevicePath(int n) {
    if (n < 1 || n > kMaxComPort) {
        return {};
    }
    if (const char* path = Override(n)) {
        return path;
    }
    for (const Range& r : kRanges) {
        if (n >= r.first && n < r.first + kPerFamily) {
            return r.prefix + std::to_string(n - r.first);
        }
    }
    return {};
}

bool ComPresent(int n) {
    const std::string path = ComDevicePath(n);
    return !path.empty() && SerialDevicePresent(path, ComOverridden(n));
}

} // namespace norva
