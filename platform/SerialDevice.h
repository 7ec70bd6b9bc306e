#pragma once
// The only place that talks to serial devices (termios on Linux, the Win32
// comm API on Windows). Everything above it sees byte counts, waits that also
// watch events, and errors with their OS reason.

#include "platform/Event.h"
#include "platform/SystemError.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>

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

// The rates every platform opens a port at: the ones termios names. Windows
// would take any, but a script must mean the same on both.
inline constexpr uint32_t kPortRates[] = {50,    75,    110,    134,    150,    200,   300,
                                          600,   1200,  1800,   2400,   4800,   9600,  19200,
                                          38400, 57600, 115200, 230400, 460800, 921600};
// True for a rate of kPortRates.
bool BaudSupported(uint32_t baud);
// "Even", "Odd" or "None".
const char* ParityName(uint8_t parity);

// A user-actionable explanation of an open failure of `path`.
OsError DescribeOpenError(int err, const std::string& path);

// How a device call ended when it did not do all it was asked.
struct IoStop {
    enum class Kind { None, TimedOut, Stopped, Gone, Failed };
    Kind kind = Kind::None;
    int code = 0; // the OS error for Gone and Failed
};

class SerialDevice {
public:
    SerialDevice();
    ~SerialDevice();
    SerialDevice(const SerialDevice&) = delete;
    SerialDevice& operator=(const SerialDevice&) = delete;

    // Opens exclusively and raw with the given line settings; reads the
    // settings back and fails, naming the setting, when one did not take.
    // Linux also takes a UUCP lock, so terminal programs see the port taken.
    bool Open(const std::string& path, const LineSettings& settings, OsError* error);
    void Close();
    // Puts other line settings into effect on the open device, with the same
    // read-back check as Open; the port stays open whatever the outcome.
    bool SetLine(const LineSettings& settings, OsError* error);
    bool IsOpen() const;
    // What the last Open or SetLine left out of the settings and why (a
    // pseudo-terminal carries no parity); empty when all of them took.
    const std::string& LineNote() const { return m_note; }

    // Waits for received bytes, for one of `events` (they outrank the device)
    // or for the time-out (ms, -1 = no limit). Returns the index of the event,
    // kWaitTimeout, kWaitFailed, or events.size() when the device spoke: then
    // *got is the count read into `dest` (> 0), or -1 when the device is gone
    // (`why` says why). One thread reads at a time.
    int WaitRead(std::span<Event* const> events, int timeoutMs, void* dest, int max, int* got,
                 IoStop* why);
    // Hands all bytes to the driver or stops at the deadline, when `stop`
    // (may be null) becomes set, or when the device is gone; returns the count
    // handed over and, when short, why.
    int Write(const void* data, int length, int timeoutMs, const Event* stop, IoStop* why);
    // Waits until the driver has sent everything queued: true once it has,
    // false at the deadline, on `stop` or when the device is gone (`why`).
    bool Drain(int timeoutMs, const Event* stop, IoStop* why);
    // Bytes still queued for sending (0 when the driver cannot tell).
    int OutputQueued() const;
    // Discards unread input only: output already written must still go out.
    void FlushInput();
    // Discards unsent output (a flow-controlled line that never drains must
    // not block the close).
    void DiscardOutput();

private:
    struct State; // what only one platform needs (overlapped records …)

    void ReleaseLockFile();
    OsError Apply(const LineSettings& settings);

    intptr_t m_native = -1; // descriptor or handle; -1 while closed
    std::unique_ptr<State> m_state;
    std::string m_path;
    std::string m_lockFile; // Linux: our UUCP lock, empty when the directory took none
    std::string m_note;
};

// Presence test used by port enumeration on Linux; never opens a device
// except a legacy ttyS node whose sysfs type is unreadable. The kernel console
// is never present unless `overridden`.
bool SerialDevicePresent(const std::string& path, bool overridden);

} // namespace norva
