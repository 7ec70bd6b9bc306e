#pragma once
// What to tell a user who may not open a device, from its owner, group and
// mode alone, so that every case can be checked without root.

#include <string>
#include <sys/types.h>

namespace norva {

struct DeviceAccess {
    std::string path;   // as the user named it
    std::string kernel; // the node behind it, e.g. "ttyUSB0"
    uid_t owner = 0;
    std::string ownerName; // or the number when it has no name
    gid_t group = 0;
    std::string groupName;
    mode_t mode = 0; // st_mode, type bits included
};

// "crw-rw----" for a character device readable and writable by its group.
std::string ModeString(mode_t mode);

// "<path>: permission denied (owner …, group …, mode …): <a fix that works>".
std::string PermissionAdvice(const DeviceAccess& device);

} // namespace norva
