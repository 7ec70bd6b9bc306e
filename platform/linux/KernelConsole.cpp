#include "platform/KernelConsole.h"

#include <fstream>

namespace norva {

bool IsKernelConsole(const std::string& name, const std::string& sysRoot) {
    const std::string tty = sysRoot + "/class/tty/";
    // Serial drivers that know it mark their own console; "active" covers
    // every console the kernel was booted with, including older drivers.
    std::ifstream mark(tty + name + "/console");
    char flag = 0;
    if (mark >> flag && flag == 'Y') {
        return true;
    }
    std::ifstream active(tty + "console/active");
    std::string listed;
    while (active >> listed) {
        if (listed == name) {
            return true;
        }
    }
    return false;
}

} // namespace norva
