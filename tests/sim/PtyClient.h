// The computer's side of a simulated serial line, opened the way the wizard opens a port.
#pragma once

#include <string>

namespace norva::sim::test {

class PtyClient {
public:
    PtyClient() = default;
    ~PtyClient() { Close(); }
    PtyClient(const PtyClient&) = delete;
    PtyClient& operator=(const PtyClient&) = delete;

    // O_NOCTTY|O_NONBLOCK, flock, TIOCEXCL, raw, then baud rate and stop bits.
    bool Open(const std::string& path, int baud = 9600, int stopBits = 1);
    // TIOCNXCL, unlock, close.
    void Close();
    bool IsOpen() const { return m_fd >= 0; }
    bool SetLine(int baud, int stopBits);

    // The far end is gone: poll reports a hang-up.
    bool HungUp() const;
    bool Send(const std::string& bytes);
    // Reads until what came in contains `needle`, or `ms` passed; returns everything read.
    std::string ReadUntil(const std::string& needle, int ms = 5000);
    // Everything that arrives within `ms`.
    std::string ReadFor(int ms);
    // Sends `command` (CR added) and reads until `until` arrived.
    std::string Command(const std::string& command, const std::string& until = "\r\nOK\r\n",
                        int ms = 5000);

private:
    int m_fd = -1;
};

} // namespace norva::sim::test
