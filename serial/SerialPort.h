#pragma once
// One COM port: exclusive open with chosen line settings, a reader thread that
// fills m_rxBuffer and signals m_hDataEvent, and blocking writes.

#include "platform/Event.h"
#include "platform/SerialDevice.h"
#include "serial/RxBuffer.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace norva {

class CSerialPort {
public:
    static constexpr int kReadChunk = 256;
    static constexpr int kWriteExtraMs = 1000; // a write of n bytes gets n + 1000 ms
    static constexpr int kReaderJoinMs = 10000;

    CSerialPort();
    virtual ~CSerialPort();
    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    // Changes take effect at the next Open.
    LineSettings* GetDCB() { return &m_dcb; }
    // Opens COM<nPort> through the COM map. Never reopens an open port.
    bool Open(int nPort);
    // Opens a device by path (command-line tools, tests).
    bool OpenPath(const std::string& path);
    // Bytes written; 0 when closed or on an immediate error; a partial count
    // when the device went away or the write time-out passed.
    uint32_t Write(const void* pData, int nLength);
    void Close();

    // Why the last Open failed (errno and a line a user can act on).
    OsError LastOpenError() const;
    // True once the reader saw the device go away; later writes fail at once.
    bool HungUp() const { return m_bHungUp.load(); }
    // Internal error reports (no visible effect); counted for tests.
    int ReportedErrors() const { return m_nReportedErrors.load(); }

    // Read directly by the owner.
    std::atomic<int> m_bOpen{0};
    CRxBuffer m_rxBuffer;
    // Auto-reset; null until the first Open attempt and again after Close.
    std::unique_ptr<Event> m_hDataEvent;
    int m_nPort = 1;

private:
    bool CreateEvents();
    void ReaderThreadProc();
    void ReportError(const char* text);
    void CloseEvents();

    LineSettings m_dcb;
    SerialDevice m_device;
    std::unique_ptr<Event> m_hStopEvent;
    std::thread m_readerThread;
    std::mutex m_writeLock;
    std::atomic<bool> m_bHungUp{false};
    std::atomic<int> m_nReportedErrors{0};
    mutable std::mutex m_errorLock;
    OsError m_lastOpenError;
};

} // namespace norva
