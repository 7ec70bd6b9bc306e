#pragma once
// One vocabulary for OS errors on every platform: the code the OS gave (errno
// on Linux, GetLastError on Windows) and the OS's own words for it.
//
// How platform/ reports errors, everywhere: a call says that it failed by
// its return (false, -1, an empty optional) and leaves the why as an OsError
// (LastOpenError(), GoneReason()) or as the OS code; it never throws and
// never prints. A reason is the OS's words plus what a user can do.

#include <string>

namespace norva {

// Why an open failed: the OS code plus a line a user can act on.
struct OsError {
    int code = 0;
    std::string reason;
    explicit operator bool() const { return code != 0; }
};

// strerror on Linux, FormatMessage on Windows (without a closing period or
// line break).
std::string SystemErrorText(int code);

// True when a device call failing with `code` means the device went away
// (unplugged, hung up) and will not come back on this handle.
bool IsDeviceGoneError(int code);

// The code of the last failed OS call on this thread.
int LastSystemError();

} // namespace norva
