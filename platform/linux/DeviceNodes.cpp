#include "platform/posix/DeviceNodes.h"

#include "platform/KernelConsole.h"
#include "platform/SerialDevice.h"
#include "platform/SystemDirs.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace norva {
namespace {

bool StartsWith(const std::string& s, const char* prefix) {
    return s.rfind(prefix, 0) == 0;
}

std::string BaseName(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Unix98 pseudo-terminal slaves: a pty has no wire, so no parity bit.
constexpr unsigned kPtySlaveMajorFirst = 136;
constexpr unsigned kPtySlaveMajorLast = 143;

bool IsPseudoTerminalNode(int fd) {
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) {
        return false;
    }
    const unsigned m = major(st.st_rdev);
    return m >= kPtySlaveMajorFirst && m <= kPtySlaveMajorLast;
}

} // namespace

bool IsPseudoTerminal(int fd) {
    return IsPseudoTerminalNode(fd);
}

std::string BusyDeviceHint(const std::string& kernelName) {
    if (StartsWith(kernelName, "ttyACM")) {
        return " (ModemManager probes ttyACM devices: exclude it with a udev rule "
               "setting ENV{ID_MM_DEVICE_IGNORE}=\"1\")";
    }
    return {};
}

bool SerialDevicePresent(const std::string& path, bool overridden) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISCHR(st.st_mode)) {
        return false;
    }
    if (overridden) {
        return true;
    }
    const std::string name = BaseName(path);
    const std::string root = SysfsRoot();
    if (IsKernelConsole(name, root)) {
        return false;
    }
    const std::string sys = root + "/class/tty/" + name;
    if (StartsWith(name, "rfcomm")) {
        // Bound rfcomm ports are virtual ttys; opening one would start a
        // Bluetooth connection, so its sysfs entry is all we look at.
        return access(sys.c_str(), F_OK) == 0;
    }
    char real[PATH_MAX];
    if (access((sys + "/device").c_str(), F_OK) != 0 || realpath(sys.c_str(), real) == nullptr ||
        std::strstr(real, "/virtual/") != nullptr) {
        return false;
    }
    if (!StartsWith(name, "ttyS")) {
        return true;
    }
    // The 8250 driver registers ports that have no UART behind them.
    std::ifstream typeFile(sys + "/type");
    int type = -1;
    if (typeFile >> type) {
        return type != PORT_UNKNOWN;
    }
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    serial_struct info{};
    const bool known = ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type != PORT_UNKNOWN;
    ::close(fd);
    return known;
}

} // namespace norva
