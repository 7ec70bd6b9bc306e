#pragma once
// What the POSIX serial code asks of the system it runs on about device
// nodes; platform/linux/ answers for Linux.

#include <string>

namespace norva {

// A pseudo-terminal has no wire, so no parity bit: its refusal of one is no fault.
bool IsPseudoTerminal(int fd);
// Appended to "in use" for the device node `kernelName` (e.g. "ttyACM0"):
// who on this system is known to hold such ports, and how to stop it; "" when nobody.
std::string BusyDeviceHint(const std::string& kernelName);

} // namespace norva
