#include "platform/SystemError.h"

#include <cerrno>
#include <cstring>

namespace norva {

std::string SystemErrorText(int code) {
    // strerror's buffer is shared by all threads; the GNU strerror_r returns
    // either its own static text or `text`.
    char text[256];
    return strerror_r(code, text, sizeof text);
}

bool IsDeviceGoneError(int code) {
    return code == EIO || code == ENXIO || code == ENODEV || code == EPIPE || code == ENOENT ||
           code == EBADF;
}

int LastSystemError() {
    return errno;
}

} // namespace norva
