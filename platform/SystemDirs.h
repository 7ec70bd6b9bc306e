#pragma once
// Where the system keeps what the port code looks at. Tests point each one at
// a temporary tree through the environment; users have no reason to.

#include <string>

namespace norva {

std::string SysfsRoot(); // NORVAWIZARD_SYSFS_ROOT, else /sys
std::string LockDir();   // NORVAWIZARD_LOCK_DIR, else /run/lock
std::string ByIdDir();   // NORVAWIZARD_BY_ID_DIR, else /dev/serial/by-id

} // namespace norva
