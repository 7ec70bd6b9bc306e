#include "platform/SerialDevice.h"

#include "platform/DeviceTexts.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <windows.h>

namespace norva {

struct SerialDevice::State {
    // The reader's ReadFile may stay pending between two waits; its record
    // and buffer live here until it completes or Close cancels it.
    OVERLAPPED readOv{};
    OVERLAPPED writeOv{};
    HANDLE readEvent = nullptr;  // manual reset
    HANDLE writeEvent = nullptr; // manual reset
    bool readPending = false;
    uint8_t readBuf[256];
    // Bytes a read brought beyond what the caller had room for.
    uint8_t carry[256];
    int carryPos = 0;
    int carryLen = 0;
    // The line as it was found: handed back at the close.
    DCB found{};
    bool restore = false;
};

namespace {

using Clock = std::chrono::steady_clock;

// The line settings table: 8 data bits, no flow control, DTR off, RTS on.
constexpr DWORD kInQueue = 2048, kOutQueue = 1024;
constexpr COMMTIMEOUTS kTimeouts = {1, 0, 0, 1, 1000};
// A read that fails for a reason that is not the device's absence is retried
// this often before the wait gives up on it.
constexpr int kReadRetries = 3;

HANDLE H(intptr_t native) {
    return reinterpret_cast<HANDLE>(native);
}

bool StartsWithNoCase(const std::string& s, const char* prefix) {
    const size_t n = std::strlen(prefix);
    return s.size() >= n && _strnicmp(s.c_str(), prefix, n) == 0;
}

// "COM12" opens as "\\.\COM12": the device namespace reaches ports above 9.
std::string DeviceName(const std::string& path) {
    return StartsWithNoCase(path, "COM") ? "\\\\.\\" + path : path;
}

std::string DisplayName(const std::string& path) {
    return StartsWithNoCase(path, "\\\\.\\") ? path.substr(4) : path;
}

IoStop Stop(IoStop::Kind kind, DWORD code = 0) {
    return {kind, static_cast<int>(code)};
}

IoStop Broken(DWORD code) {
    return Stop(IsDeviceGoneError(static_cast<int>(code)) ? IoStop::Kind::Gone
                                                          : IoStop::Kind::Failed,
                code);
}

int MsLeft(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

bool SettingsValid(const LineSettings& s) {
    return BaudSupported(s.BaudRate) && s.Parity <= kEvenParity &&
           (s.StopBits == kOneStopBit || s.StopBits == kTwoStopBits) && s.ByteSize >= 5 &&
           s.ByteSize <= 8;
}

DCB BuildDcb(const LineSettings& s) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = s.BaudRate;
    dcb.fBinary = 1;
    dcb.fParity = s.fParity ? 1 : 0;
    dcb.fOutxCtsFlow = s.fOutxCtsFlow ? 1 : 0;
    dcb.fDtrControl = s.fDtrDisable ? DTR_CONTROL_DISABLE : DTR_CONTROL_ENABLE;
    dcb.fOutX = s.fOutX ? 1 : 0;
    dcb.fInX = s.fInX ? 1 : 0;
    dcb.fRtsControl = s.fOutxCtsFlow ? RTS_CONTROL_HANDSHAKE
                                     : (s.fRtsEnable ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE);
    dcb.ByteSize = s.ByteSize;
    dcb.Parity = s.Parity;
    dcb.StopBits = s.StopBits;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    return dcb;
}

// Which of the asked settings the driver refused, tried one at a time;
// empty when none alone is to blame.
std::string RefusedSetting(HANDLE h, DCB dcb, const LineSettings& s) {
    if (dcb.Parity != NOPARITY) {
        dcb.Parity = NOPARITY;
        if (SetCommState(h, &dcb)) {
            return std::string(ParityName(s.Parity)) + " parity";
        }
    }
    if (dcb.StopBits != ONESTOPBIT) {
        dcb.StopBits = ONESTOPBIT;
        if (SetCommState(h, &dcb)) {
            return "2 stop bits";
        }
    }
    dcb.BaudRate = CBR_9600;
    if (s.BaudRate != 9600 && SetCommState(h, &dcb)) {
        return std::to_string(s.BaudRate) + " baud";
    }
    return {};
}

} // namespace

SerialDevice::SerialDevice() : m_state(std::make_unique<State>()) {}

SerialDevice::~SerialDevice() {
    Close();
    for (HANDLE e : {m_state->readEvent, m_state->writeEvent}) {
        if (e != nullptr) {
            CloseHandle(e);
        }
    }
}

bool SerialDevice::IsOpen() const {
    return H(m_native) != INVALID_HANDLE_VALUE;
}

OsError DescribeOpenError(int err, const std::string& path) {
    OsError e;
    e.code = err;
    const std::string name = DisplayName(path);
    switch (static_cast<DWORD>(err)) {
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        e.reason = InUseText(name);
        break;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DEV_NOT_EXIST:
        e.reason = NotPresentText(name);
        break;
    default:
        e.reason = name + ": " + SystemErrorText(err);
        break;
    }
    return e;
}

bool SerialDevice::Open(const std::string& path, const LineSettings& settings, OsError* error) {
    Close();
    OsError dummy;
    OsError& err = error != nullptr ? *error : dummy;
    err = OsError{};
    if (!SettingsValid(settings)) {
        err = {ERROR_INVALID_PARAMETER, UnsupportedSettingsText(settings)};
        return false;
    }
    State& st = *m_state;
    for (HANDLE* e : {&st.readEvent, &st.writeEvent}) {
        if (*e == nullptr) {
            *e = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        }
        if (*e == nullptr) {
            const DWORD code = GetLastError();
            err = {static_cast<int>(code), "cannot create events: " + SystemErrorText(code)};
            return false;
        }
    }
    // No sharing: Windows itself then refuses the port to every other program.
    const HANDLE h =
        CreateFileA(DeviceName(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        err = DescribeOpenError(static_cast<int>(GetLastError()), path);
        return false;
    }
    m_native = reinterpret_cast<intptr_t>(h);
    m_path = path;
    st.readPending = false;
    st.carryPos = st.carryLen = 0;
    st.found.DCBlength = sizeof(DCB);
    st.restore = GetCommState(h, &st.found) != 0;
    COMMTIMEOUTS previous{};
    if (!GetCommTimeouts(h, &previous)) {
        err = DescribeOpenError(static_cast<int>(GetLastError()), path);
    } else {
        err = Apply(settings);
    }
    if (err) {
        Close();
        return false;
    }
    SetupComm(h, kInQueue, kOutQueue); // a driver with fixed queues may refuse: no matter
    DWORD errors = 0;
    ClearCommError(h, &errors, nullptr);
    return true;
}

OsError SerialDevice::Apply(const LineSettings& settings) {
    m_note.clear();
    if (!SettingsValid(settings)) {
        return {ERROR_INVALID_PARAMETER, UnsupportedSettingsText(settings)};
    }
    const HANDLE h = H(m_native);
    const std::string name = DisplayName(m_path);
    // Purging aborts a pending read: collect it first, so that its record is
    // free for the next one.
    FlushInput();
    if (!PurgeComm(h, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR)) {
        return DescribeOpenError(static_cast<int>(GetLastError()), m_path);
    }
    DCB before{};
    before.DCBlength = sizeof before;
    const bool restorable = GetCommState(h, &before) != 0;
    DCB wanted = BuildDcb(settings);
    if (!SetCommState(h, &wanted)) {
        const DWORD code = GetLastError();
        OsError e = DescribeOpenError(static_cast<int>(code), m_path);
        if (code == ERROR_INVALID_PARAMETER) {
            const std::string refused = RefusedSetting(h, wanted, settings);
            if (!refused.empty()) {
                e.reason = RefusedSettingText(name, refused, SystemErrorText(code));
            }
        }
        if (restorable) {
            SetCommState(h, &before);
        }
        return e;
    }
    // A driver may accept a setting and quietly keep another.
    DCB actual{};
    actual.DCBlength = sizeof actual;
    if (!GetCommState(h, &actual)) {
        return DescribeOpenError(static_cast<int>(GetLastError()), m_path);
    }
    std::string refused;
    if (actual.BaudRate != wanted.BaudRate) {
        refused = std::to_string(settings.BaudRate) + " baud";
    } else if (actual.StopBits != wanted.StopBits) {
        refused = "2 stop bits";
    } else if (actual.ByteSize != wanted.ByteSize) {
        refused = std::to_string(settings.ByteSize) + " data bits";
    }
    if (!refused.empty()) {
        if (restorable) {
            SetCommState(h, &before);
        }
        return {ERROR_INVALID_PARAMETER, RefusedSettingText(name, refused, kKeptAnotherSetting)};
    }
    if (actual.Parity != wanted.Parity) {
        // A port with no wire behind it (a Bluetooth or other virtual port,
        // a pseudo-terminal under Wine) takes the parity and keeps none: the
        // line works without, as a Linux pseudo-terminal does.
        m_note = std::string(ParityName(settings.Parity)) + " parity not applied: the driver of " +
                 name + " kept no parity";
    }
    COMMTIMEOUTS timeouts = kTimeouts;
    if (!SetCommTimeouts(h, &timeouts) || !SetCommMask(h, EV_RXCHAR)) {
        return DescribeOpenError(static_cast<int>(GetLastError()), m_path);
    }
    return {};
}

bool SerialDevice::SetLine(const LineSettings& settings, OsError* error) {
    OsError dummy;
    OsError& err = error != nullptr ? *error : dummy;
    if (!IsOpen()) {
        err = {ERROR_INVALID_HANDLE, "the port is not open"};
        return false;
    }
    err = Apply(settings);
    return !err;
}

void SerialDevice::Close() {
    if (!IsOpen()) {
        return;
    }
    const HANDLE h = H(m_native);
    if (m_state->restore) {
        SetCommState(h, &m_state->found);
        m_state->restore = false;
    }
    SetCommMask(h, 0);
    // The reader's read was issued on its own thread: CancelIoEx reaches it
    // from here, CancelIo would not.
    FlushInput();
    CancelIoEx(h, nullptr);
    PurgeComm(h, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    CloseHandle(h);
    m_native = -1;
}

void SerialDevice::ReleaseLockFile() {}

int SerialDevice::WaitRead(std::span<Event* const> events, int timeoutMs, void* dest, int max,
                           int* got, IoStop* why) {
    *got = 0;
    State& st = *m_state;
    const int deviceIndex = static_cast<int>(events.size());
    if (!IsOpen()) {
        *got = -1;
        *why = Stop(IoStop::Kind::Failed, ERROR_INVALID_HANDLE);
        return deviceIndex;
    }
    if (events.size() > kMaxWaitObjects) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return kWaitFailed;
    }
    HANDLE handles[kMaxWaitObjects + 1];
    for (size_t i = 0; i < events.size(); ++i) {
        if (events[i] == nullptr || !events[i]->Valid()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return kWaitFailed;
        }
        handles[i] = reinterpret_cast<HANDLE>(events[i]->Native());
    }
    handles[events.size()] = st.readEvent;
    const HANDLE h = H(m_native);
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    int failures = 0;
    const auto take = [&st](DWORD n) {
        st.carryPos = 0;
        st.carryLen = static_cast<int>(n);
        std::memcpy(st.carry, st.readBuf, n);
    };
    for (;;) {
        if (st.carryLen > 0) {
            // The events outrank bytes already here, as they do in the wait.
            const int r = WaitAny(events, 0);
            if (r != kWaitTimeout) {
                return r;
            }
            const int n = std::min(max, st.carryLen);
            std::memcpy(dest, st.carry + st.carryPos, static_cast<size_t>(n));
            st.carryPos += n;
            st.carryLen -= n;
            *got = n;
            return deviceIndex;
        }
        DWORD n = 0;
        DWORD failed = 0;
        if (!st.readPending) {
            ResetEvent(st.readEvent);
            st.readOv = OVERLAPPED{};
            st.readOv.hEvent = st.readEvent;
            if (ReadFile(h, st.readBuf, sizeof st.readBuf, &n, &st.readOv)) {
                take(n);
                continue;
            }
            failed = GetLastError();
            if (failed == ERROR_IO_PENDING) {
                st.readPending = true;
                failed = 0;
            }
        }
        if (st.readPending) {
            const DWORD wait = timeoutMs < 0 ? INFINITE : static_cast<DWORD>(MsLeft(deadline));
            const DWORD w =
                WaitForMultipleObjects(static_cast<DWORD>(events.size() + 1), handles, FALSE, wait);
            if (w < WAIT_OBJECT_0 + events.size()) {
                return static_cast<int>(w - WAIT_OBJECT_0);
            }
            if (w == WAIT_TIMEOUT) {
                return kWaitTimeout;
            }
            if (w != WAIT_OBJECT_0 + events.size()) {
                return kWaitFailed;
            }
            if (GetOverlappedResult(h, &st.readOv, &n, FALSE)) {
                st.readPending = false;
                failures = 0;
                take(n);
                continue;
            }
            failed = GetLastError();
            if (failed == ERROR_IO_INCOMPLETE) {
                continue;
            }
            st.readPending = false;
            take(n); // a read cut short may still have brought bytes: keep them
        }
        if (failed == 0) {
            continue;
        }
        // Line errors (framing, overrun) are cleared and the next read
        // issued; a device that is gone, or an error that will not clear,
        // ends the wait once the bytes that came before it are handed over.
        const bool gone = IsDeviceGoneError(static_cast<int>(failed));
        DWORD errors = 0;
        if (!gone && ++failures <= kReadRetries && ClearCommError(h, &errors, nullptr)) {
            continue;
        }
        if (st.carryLen > 0) {
            continue;
        }
        *got = -1;
        *why = Broken(failed);
        return deviceIndex;
    }
}

int SerialDevice::Write(const void* data, int length, int timeoutMs, const Event* stop,
                        IoStop* why) {
    *why = {};
    if (!IsOpen() || length <= 0) {
        *why = Stop(IoStop::Kind::Failed, ERROR_INVALID_HANDLE);
        return 0;
    }
    State& st = *m_state;
    const HANDLE h = H(m_native);
    ResetEvent(st.writeEvent);
    st.writeOv = OVERLAPPED{};
    st.writeOv.hEvent = st.writeEvent;
    DWORD n = 0;
    if (WriteFile(h, data, static_cast<DWORD>(length), &n, &st.writeOv)) {
        if (static_cast<int>(n) < length) {
            *why = Stop(IoStop::Kind::TimedOut); // the driver's own write time-out
        }
        return static_cast<int>(n);
    }
    DWORD code = GetLastError();
    if (code != ERROR_IO_PENDING) {
        *why = Broken(code);
        DWORD errors = 0;
        ClearCommError(h, &errors, nullptr);
        return 0;
    }
    HANDLE waitOn[2] = {st.writeEvent,
                        stop != nullptr ? reinterpret_cast<HANDLE>(stop->Native()) : nullptr};
    const DWORD w =
        WaitForMultipleObjects(stop != nullptr ? 2 : 1, waitOn, FALSE,
                               timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs));
    if (w != WAIT_OBJECT_0) {
        CancelIoEx(h, &st.writeOv);
        *why = Stop(w == WAIT_OBJECT_0 + 1 ? IoStop::Kind::Stopped : IoStop::Kind::TimedOut);
    }
    if (!GetOverlappedResult(h, &st.writeOv, &n, TRUE)) {
        code = GetLastError();
        if (code != ERROR_OPERATION_ABORTED || why->kind == IoStop::Kind::None) {
            *why = Broken(code);
        }
        DWORD errors = 0;
        ClearCommError(h, &errors, nullptr);
    }
    if (static_cast<int>(n) < length && why->kind == IoStop::Kind::None) {
        *why = Stop(IoStop::Kind::TimedOut);
    }
    return static_cast<int>(n);
}

int SerialDevice::OutputQueued() const {
    COMSTAT status{};
    DWORD errors = 0;
    if (!IsOpen() || !ClearCommError(H(m_native), &errors, &status)) {
        return 0;
    }
    return static_cast<int>(status.cbOutQue);
}

bool SerialDevice::Drain(int timeoutMs, const Event* stop, IoStop* why) {
    *why = {};
    if (!IsOpen()) {
        *why = Stop(IoStop::Kind::Failed, ERROR_INVALID_HANDLE);
        return false;
    }
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        COMSTAT status{};
        DWORD errors = 0;
        if (!ClearCommError(H(m_native), &errors, &status)) {
            *why = Broken(GetLastError());
            return false;
        }
        if (status.cbOutQue == 0) {
            return true;
        }
        const int left = MsLeft(deadline);
        if (left <= 0) {
            *why = Stop(IoStop::Kind::TimedOut);
            return false;
        }
        // The queue is looked at about as often as a few characters take.
        if (SleepUnlessSet(stop, left < 2 ? left : 2)) {
            *why = Stop(IoStop::Kind::Stopped);
            return false;
        }
    }
}

void SerialDevice::FlushInput() {
    if (!IsOpen()) {
        return;
    }
    State& st = *m_state;
    const HANDLE h = H(m_native);
    if (st.readPending) {
        CancelIoEx(h, &st.readOv);
        DWORD n = 0;
        GetOverlappedResult(h, &st.readOv, &n, TRUE);
        st.readPending = false;
    }
    st.carryPos = st.carryLen = 0;
    PurgeComm(h, PURGE_RXABORT | PURGE_RXCLEAR);
}

void SerialDevice::DiscardOutput() {
    if (IsOpen()) {
        PurgeComm(H(m_native), PURGE_TXABORT | PURGE_TXCLEAR);
    }
}

} // namespace norva
