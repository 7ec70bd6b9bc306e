#include "platform/ComMap.h"

#include "platform/KernelConsole.h"
#include "platform/PortDetails.h"
#include "platform/SerialDevice.h"
#include "platform/SystemDirs.h"

#include <sys/stat.h>

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

std::string ComRefusal(int n) {
    const std::string path = NativeComPath(n);
    if (path.empty() || ComOverridden(n) ||
        !IsKernelConsole(path.substr(path.rfind('/') + 1), SysfsRoot())) {
        return {};
    }
    const std::string com = "COM" + std::to_string(n);
    return com + " is " + path +
           ", the system console: it is not opened unless named on purpose (--device " + path +
           " or NORVAWIZARD_" + com + "=" + path +
           "). 'norvactl ports' lists the serial ports; a USB-serial cable is usually COM33 "
           "(/dev/ttyUSB0)";
}

long long ComAppearedAt(int n) {
    struct stat st {};
    const std::string device = ComDevicePath(n);
    return !device.empty() && stat(device.c_str(), &st) == 0 ? static_cast<long long>(st.st_ctime)
                                                             : 0;
}

bool ComNumbersFromDeviceTable() {
    return true;
}

PortDetails ComPortDetails(int n) {
    const std::string device = ComDevicePath(n);
    PortDetails details = UdevPortDetails(device);
    details.byId = FindByIdLink(device, ByIdDir());
    return details;
}

} // namespace norva
