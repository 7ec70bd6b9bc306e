#pragma once
// Linux only: what udev and /dev/serial/by-id know of a port's hardware.

#include "platform/ComMap.h"

#include <string>

namespace norva {

// The link in `byIdDir` that resolves to the same node as `device`; empty
// when there is none (or no such directory).
std::string FindByIdLink(const std::string& device, const std::string& byIdDir);

// The udev vendor, model and serial of the device's tty; all empty when udev
// has no record of it, as in a container or for a pseudo-terminal.
PortDetails UdevPortDetails(const std::string& device);

} // namespace norva
