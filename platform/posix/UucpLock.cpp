#include "platform/UucpLock.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace norva {
namespace {

std::string BaseName(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool Alive(pid_t pid) {
    // EPERM: alive, only owned by another user.
    return kill(pid, 0) == 0 || errno != ESRCH;
}

// Written under a private name and linked into place, so that no reader
// ever sees a lock file without its pid.
bool CreateLock(const std::string& lockDir, const std::string& lockFile) {
    static std::atomic<unsigned> serial{0};
    const std::string temp = lockDir + "/.norva-lock." + std::to_string(getpid()) + "." +
                             std::to_string(serial.fetch_add(1));
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    char text[16];
    const int n = std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(getpid()));
    const bool written = ::write(fd, text, static_cast<size_t>(n)) == n;
    ::close(fd);
    const bool linked = written && ::link(temp.c_str(), lockFile.c_str()) == 0;
    ::unlink(temp.c_str());
    return linked;
}

} // namespace

std::string UucpLockName(const std::string& devicePath) {
    char real[PATH_MAX];
    const bool resolved = realpath(devicePath.c_str(), real) != nullptr;
    return "LCK.." + BaseName(resolved ? std::string(real) : devicePath);
}

pid_t ReadUucpLockPid(const std::string& lockFile) {
    const int fd = ::open(lockFile.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return 0;
    }
    char buf[64] = {};
    const ssize_t n = ::read(fd, buf, sizeof buf - 1);
    ::close(fd);
    if (n == static_cast<ssize_t>(sizeof(int))) {
        int binary = 0;
        std::memcpy(&binary, buf, sizeof binary);
        return binary > 0 ? static_cast<pid_t>(binary) : 0;
    }
    if (n <= 0) {
        return 0;
    }
    // The ASCII form: a decimal number padded with spaces, then a line end.
    char* end = nullptr;
    errno = 0;
    const long pid = std::strtol(buf, &end, 10);
    if (end == buf || errno == ERANGE || pid <= 0 || pid > INT_MAX) {
        return 0;
    }
    return static_cast<pid_t>(pid);
}

UucpLockResult AcquireUucpLock(const std::string& lockDir, const std::string& devicePath) {
    UucpLockResult result;
    const std::string lockFile = lockDir + "/" + UucpLockName(devicePath);
    // Twice at most: a stale lock removed once makes room for ours.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (CreateLock(lockDir, lockFile)) {
            result.lockFile = lockFile;
            return result;
        }
        if (access(lockFile.c_str(), F_OK) != 0) {
            return result; // the directory takes no lock of ours: flock alone guards
        }
        const pid_t pid = ReadUucpLockPid(lockFile);
        // A lock naming nobody may be one being written right now: honour it.
        if (pid == 0 || Alive(pid)) {
            result.busy = true;
            result.holder = pid;
            return result;
        }
        if (::unlink(lockFile.c_str()) != 0) {
            return result; // stale, and not ours to remove: ignore it
        }
    }
    return result;
}

void ReleaseUucpLock(const std::string& lockFile) {
    if (!lockFile.empty() && ReadUucpLockPid(lockFile) == getpid()) {
        ::unlink(lockFile.c_str());
    }
}

} // namespace norva
