#include "platform/SystemError.h"

#include <windows.h>

namespace norva {
namespace {

// Not in every SDK's headers.
constexpr DWORD kNoSuchDevice = 433;  // ERROR_NO_SUCH_DEVICE
constexpr DWORD kHandlesClosed = 676; // ERROR_HANDLES_CLOSED

} // namespace

std::string SystemErrorText(int code) {
    char* text = nullptr;
    const DWORD n = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string out = n > 0 && text != nullptr ? std::string(text, n) : std::string();
    if (text != nullptr) {
        LocalFree(text);
    }
    // The system's sentences end with a period and a line break; ours are
    // put inside parentheses.
    while (!out.empty() &&
           (out.back() == '\r' || out.back() == '\n' || out.back() == ' ' || out.back() == '.')) {
        out.pop_back();
    }
    return out.empty() ? "error " + std::to_string(code) : out;
}

bool IsDeviceGoneError(int code) {
    switch (static_cast<DWORD>(code)) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_INVALID_HANDLE:
    case ERROR_ACCESS_DENIED: // a USB adapter's driver after a surprise removal
    case ERROR_BAD_UNIT:
    case ERROR_NOT_READY:
    case ERROR_BAD_COMMAND:
    case ERROR_GEN_FAILURE:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_BROKEN_PIPE:
    case kNoSuchDevice:
    case kHandlesClosed:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEVICE_REMOVED:
        return true;
    default:
        return false;
    }
}

int LastSystemError() {
    return static_cast<int>(GetLastError());
}

} // namespace norva
