#pragma once
// COM numbers to Linux device paths: a fixed table, overridable per number by
// NORVAWIZARD_COM<n>=<path>.

#include <string>

namespace norva {

inline constexpr int kMaxComPort = 255;

// Device path for COM<n>; empty when n is outside 1..255 or maps to nothing.
std::string ComDevicePath(int n);
// True when NORVAWIZARD_COM<n> names the device.
bool ComOverridden(int n);
// True when COM<n> exists as a real serial device.
bool ComPresent(int n);

} // namespace norva
