#include "platform/ComMap.h"

#include "platform/PortDetails.h"
#include "platform/SerialDevice.h"
#include "platform/SystemDirs.h"

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

} // namespace

std::string NativeComPath(int n) {
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

PortDetails ComPortDetails(int n) {
    const std::string device = ComDevicePath(n);
    PortDetails details = UdevPortDetails(device);
    details.byId = FindByIdLink(device, ByIdDir());
    return details;
}

} // namespace norva
