#include "module/Protocol.h"

namespace norva {

const char* ResultCodeName(int code) {
    switch (code) {
    case RC_STOPPED:
        return "RC_STOPPED";
    case RC_OK:
        return "RC_OK";
    case RC_ERROR:
        return "RC_ERROR";
    case RC_CONNECTED:
        return "RC_CONNECTED";
    case RC_DISCONNECTED:
        return "RC_DISCONNECTED";
    case RC_TIMEOUT:
        return "RC_TIMEOUT";
    case RC_ABORTED:
        return "RC_ABORTED";
    case RC_DONE:
        return "RC_DONE";
    case RC_OVERFLOW:
        return "RC_OVERFLOW";
    case RC_ERROR_AFTER_OK:
        return "RC_ERROR_AFTER_OK";
    case RC_NO_VALUE:
        return "RC_NO_VALUE";
    case RC_DEVICE_GONE:
        return "RC_DEVICE_GONE";
    case RC_NOT_STORED:
        return "RC_NOT_STORED";
    default:
        return "RC_UNKNOWN";
    }
}

} // namespace norva
