#include "platform/SystemDirs.h"

#include <cstdlib>

namespace norva {
namespace {

std::string DirFromEnv(const char* var, const char* fallback) {
    const char* value = std::getenv(var);
    return value != nullptr && *value != '\0' ? value : fallback;
}

} // namespace

std::string SysfsRoot() {
    return DirFromEnv("NORVAWIZARD_SYSFS_ROOT", "/sys");
}

std::string LockDir() {
    return DirFromEnv("NORVAWIZARD_LOCK_DIR", "/run/lock");
}

std::string ByIdDir() {
    return DirFromEnv("NORVAWIZARD_BY_ID_DIR", "/dev/serial/by-id");
}

} // namespace norva
