#include "platform/ComMap.h"

#include <cstdlib>

namespace norva {
namespace {

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
    return NativeComPath(n);
}

} // namespace norva
