#pragma once
// What the system knows of a port's hardware beyond its device node.

#include <string>

namespace norva {

struct PortDetails {
    std::string byId; // the stable /dev/serial/by-id link to the device
    std::string vendor;
    std::string model;
    std::string serial;
};

// The link in `byIdDir` that resolves to the same node as `device`; empty
// when there is none (or no such directory).
std::string FindByIdLink(const std::string& device, const std::string& byIdDir);

// The udev vendor, model and serial of the device's tty; all empty when udev
// has no record of it, as in a container or for a pseudo-terminal.
PortDetails UdevPortDetails(const std::string& device);

} // namespace norva
