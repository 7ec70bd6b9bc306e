#pragma once
// The only place that talks termios/ioctl/flock. Everything above it sees a
// descriptor, byte counts and errors with their OS reason.

#include "platform/Event.h"

#include <cstdint>
#include <string>
#include <termios.h>

namespace norva {

// The line settings record. The owner edits BaudRate, Parity and StopBits
// with the platform codes: parity 0 none, 1 odd, 2 even; stop bits 0 one, 2 two.
struct LineSettings {
    uint32_t BaudRate = 9600;
    uint8_t ByteSize = 8;
    uint8_t Parity = 0;
    uint8_t StopBits = 0;
    bool fParity = false;      // no parity checking on input
    bool fOutxCtsFlow = false; // no hardware flow control
    bool fOutX = false;        // no XON/XOFF
    bool fInX = false;
    bool fDtrDisable = true; // DTR cleared after opening
    bool fRtsEnable = true;  // RTS set after opening
};

inline constexpr uint8_t kNoParity = 0, kOddParity = 1, kEvenParity = 2;
inline constexpr uint8_t kOneStopBit = 0, kTwoStopBits = 2;

// Why an open failed: errno plus a line a user can act on.
struct OsError {
    int code = 0;
    std::string reason;
    explicit operator bool() const { return code != 0; }
};

// Pure: fills a raw-mode termios from the settings. False for a baud rate,
// parity, stop-bit or byte-size code the device cannot take.
bool BuildTermios(const LineSettings& settings, termios* out);
// termios speed constant for a rate, 0 when unsupported.
speed_t BaudToSpeed(uint32_t baud);
uint32_t SpeedToBaud(speed_t speed);

// A user-actionable explanation of an open failure of `path`.
OsError DescribeOpenError(int err, const std::string& path);

class SerialDevice {
public:
    SerialDevice() = default;
    ~SerialDevice() { Close(); }
    SerialDevice(const SerialDevice&) = delete;
    SerialDevice& operator=(const SerialDevice&) = delete;

    // Opens exclusively (flock, TIOCEXCL and a UUCP lock file, so terminal
    // programs see it taken too), raw, with the given line settings; reads the
    // settings back and fails when baud rate or stop bits did not take.
    bool Open(const std::string& path, const LineSettings& settings, OsError* error);
    void Close();
    // Puts other line settings into effect on the open device, with the same
    // read-back check as Open; the port stays open whatever the outcome.
    bool SetLine(const LineSettings& settings, OsError* error);
    bool IsOpen() const { return m_fd >= 0; }
    // What the last Open or SetLine left out of the settings and why (a
    // pseudo-terminal carries no parity); empty when all of them took.
    const std::string& LineNote() const { return m_note; }
    int Fd() const { return m_fd; }

    // > 0 bytes read; 0 nothing available now; -1 the device is gone (hang-up
    // or a fatal error), with errno describing it.
    int Read(void* dest, int max);
    // Hands all bytes to the driver or stops at the deadline, when `stop`
    // (may be null) becomes set, or when the device is gone (errno then
    // says why); returns the count handed over.
    int Write(const void* data, int length, int timeoutMs, const Event* stop);
    // Waits until the driver has sent everything queued: true once it has,
    // false at the deadline, on `stop` or when the device is gone.
    bool Drain(int timeoutMs, const Event* stop);
    // Bytes still queued for sending (0 when the driver cannot tell).
    int OutputQueued() const;
    // Discards unread input only: output already written must still go out.
    void FlushInput();
    // Discards unsent output (a flow-controlled line that never drains must
    // not block the close).
    void DiscardOutput();

private:
    void ReleaseLockFile();
    OsError ApplyTermios(termios wanted, const LineSettings& settings);

    int m_fd = -1;
    std::string m_path;
    std::string m_lockFile; // our UUCP lock, empty when the directory took none
    std::string m_note;
};

// Presence test used by port enumeration; never opens a device except a
// legacy ttyS node whose sysfs type is unreadable. The kernel console is
// never present unless `overridden`.
bool SerialDevicePresent(const std::string& path, bool overridden);

} // namespace norva
