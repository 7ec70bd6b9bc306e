#include "platform/PermissionAdvice.h"

#include <sys/stat.h>

namespace norva {
namespace {

bool ReadWrite(mode_t mode, mode_t read, mode_t write) {
    return (mode & read) != 0 && (mode & write) != 0;
}

// ttyUSB0 -> ttyUSB[0-9]*: the rule then also holds for the next plug-in,
// which may get another number.
std::string KernelPattern(const std::string& kernel) {
    std::string::size_type end = kernel.size();
    while (end > 0 && kernel[end - 1] >= '0' && kernel[end - 1] <= '9') {
        --end;
    }
    return end == kernel.size() || end == 0 ? kernel : kernel.substr(0, end) + "[0-9]*";
}

} // namespace

std::string ModeString(mode_t mode) {
    std::string s = S_ISCHR(mode) ? "c" : S_ISBLK(mode) ? "b" : S_ISDIR(mode) ? "d" : "-";
    const char* const letters = "rwxrwxrwx";
    for (int bit = 0; bit < 9; ++bit) {
        s += (mode & (0400 >> bit)) != 0 ? letters[bit] : '-';
    }
    return s;
}

std::string PermissionAdvice(const DeviceAccess& d) {
    std::string text = d.path + ": permission denied (owner " + d.ownerName + ", group " +
                       d.groupName + ", mode " + ModeString(d.mode) + "): ";
    // Joining root's group is no fix anyone should take.
    if (d.group != 0 && ReadWrite(d.mode, S_IRGRP, S_IWGRP)) {
        return text + "add your user to the group " + d.groupName + " (sudo usermod -aG " +
               d.groupName + " $USER) and log in again";
    }
    if (ReadWrite(d.mode, S_IROTH, S_IWOTH)) {
        return text + "the mode lets everyone in, so a security policy (AppArmor, SELinux) or "
                      "a container forbids it: ask whoever set that up";
    }
    if (d.owner != 0) {
        // A node owned by a user (a pseudo-terminal, say) is that user's to share.
        return text + "it belongs to " + d.ownerName + ": run the wizard as " + d.ownerName +
               ", or have them run chmod o+rw " + d.path;
    }
    const std::string group = d.group != 0 ? d.groupName : "dialout";
    return text + "give a group read and write with a udev rule, e.g. a line KERNEL==\"" +
           KernelPattern(d.kernel) + "\", GROUP=\"" + group +
           "\", MODE=\"0660\" in /etc/udev/rules.d/50-norva.rules, then sudo udevadm control "
           "--reload and re-plug the device, add your user to " +
           group + " (sudo usermod -aG " + group +
           " $USER) and log in again; until the device is re-plugged, sudo chmod o+rw " + d.path +
           " also works";
}

} // namespace norva
