#pragma once
// UUCP lock files, /run/lock/LCK..<name>, as terminal programs keep them:
// the holder's pid as "%10d\n" (old writers: the pid as a binary int).

#include <string>
#include <sys/types.h>

namespace norva {

// The lock file name for a device: LCK.. and the name of the node behind
// the path, so that a by-id link and its ttyUSB share one lock.
std::string UucpLockName(const std::string& devicePath);

// The pid a lock file names; 0 when it holds none (empty, garbage).
pid_t ReadUucpLockPid(const std::string& lockFile);

struct UucpLockResult {
    bool busy = false;    // a live process holds the lock
    pid_t holder = 0;     // that process, when known
    std::string lockFile; // the lock file we now hold; empty when none
};

// Takes the lock for `devicePath` in `lockDir`. A lock of a dead process is
// removed; when the directory is missing or not writable we go on without
// one, since flock still guards the port.
UucpLockResult AcquireUucpLock(const std::string& lockDir, const std::string& devicePath);
// Removes our lock file, unless someone else has replaced it meanwhile.
void ReleaseUucpLock(const std::string& lockFile);

} // namespace norva
