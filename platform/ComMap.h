#pragma once
// COM numbers to devices: on Linux a fixed table of device paths, on Windows
// the port's own name; either overridable per number by
// NORVAWIZARD_COM<n>=<path>.

#include <string>

namespace norva {

inline constexpr int kMaxComPort = 255;

// Device path for COM<n>; empty when n is outside 1..255 or maps to nothing.
std::string ComDevicePath(int n);
// True when NORVAWIZARD_COM<n> names the device.
bool ComOverridden(int n);
// True when COM<n> exists as a real serial device. Opens nothing.
bool ComPresent(int n);
// Why COM<n> is not to be opened by its number although it may exist: on Linux the kernel
// console (the system writes its messages there and may run a login on it), unless
// NORVAWIZARD_COM<n> names it on purpose. Empty when it may be opened. Opens nothing.
std::string ComRefusal(int n);

// What the system knows of a port's hardware beyond its name; every field
// empty when it says nothing.
struct PortDetails {
    std::string byId; // Linux: the stable /dev/serial/by-id link to the device
    std::string vendor;
    std::string model; // Windows: the port's friendly name
    std::string serial;
};
PortDetails ComPortDetails(int n);

// The platform's own device for COM<n> (1..255), without the override.
std::string NativeComPath(int n);

// When the device behind COM<n> appeared (seconds since the epoch); 0 when
// the system does not say.
long long ComAppearedAt(int n);

// True where COM numbers follow a fixed table of device names (Linux), false
// where the system gives them (Windows): the hint for a missing port differs.
bool ComNumbersFromDeviceTable();

} // namespace norva
