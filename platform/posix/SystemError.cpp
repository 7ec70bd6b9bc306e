#include "platform/SystemError.h"

#include <cerrno>
#include <cstring>

namespace norva {

std::string SystemErrorText(int code) {
    return std::strerror(code);
}

bool IsDeviceGoneError(int code) {
    return code == EIO || code == ENXIO || code == ENODEV || code == EPIPE || code == ENOENT ||
           code == EBADF;
}

int LastSystemError() {
    return errno;
}

} // namespace norva
