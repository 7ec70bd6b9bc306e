#pragma once
// The kernel writes its messages to the console tty and may run a login on
// it, so a module must never be looked for there.

#include <string>

namespace norva {

// True when the tty `name` (e.g. "ttyS0") is a kernel console according to
// the sysfs tree under `sysRoot`.
bool IsKernelConsole(const std::string& name, const std::string& sysRoot);

} // namespace norva
