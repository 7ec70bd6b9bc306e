#pragma once
// One COM port: exclusive open with chosen line settings, a reader thread that
// fills m_rxBuffer and signals m_hDataEvent, and blocking writes.
//
// How serial/ reports errors: an open that fails returns false and keeps an
// OsError (LastOpenError()); a device that goes away sets the gone event once
// and keeps its reason (GoneReason()); a short write returns how much went.

#include "platform/Event.h"
#include "platform/SerialDevice.h"
#include "serial/RxBuffer.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace norva {

class ITranscript;

class CSerialPort {
public:
    static constexpr int kReadChunk = 256;
    // A write may take the wire time of its bytes plus this margin.
    static constexpr int kWriteMarginMs = 1000;
    static constexpr int kReaderJoinMs = 10000;
    // Close lets output still queued go out for at most this long before it
    // is discarded (a line held by flow control never drains).
    static constexpr int kCloseDrainMs = 500;

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
    // Returns once the bytes are on the line: the count sent; 0 when closed,
    // gone or on an immediate error; a partial count when the device went
    // away, the time the bytes need at the baud rate (plus a margin) passed,
    // or `stop` (may be null) became set.
    uint32_t Write(const void* pData, int nLength, const Event* stop = nullptr);
    void Close();
    // Puts other line settings into effect on the open port; input not read
    // yet is dropped. False, with the OS's reason, when the device did not
    // take them (the port stays open). Not while another thread closes it.
    bool SetLine(const LineSettings& settings, OsError* error);
    // Drops output not sent yet, so that a close does not wait for it.
    void DiscardOutput();

    // Why the last Open failed (errno and a line a user can act on).
    OsError LastOpenError() const;
    // True from the moment the device went away (the reader saw a hang-up,
    // or a write found the device gone) until Close; writes fail at once.
    bool HungUp() const { return m_bHungUp.load(); }
    // Set (manual reset) once the device went away, until Close: every wait
    // that watches it ends, also one that starts later.
    Event* GoneEvent() const { return m_hGoneEvent.get(); }
    // "/dev/ttyUSB0 was disconnected (Input/output error)"; empty while the
    // device is there, kept after Close until the next open.
    std::string GoneReason() const;
    // The device path of the open port (or the last one opened).
    std::string DevicePath() const;
    // Internal error reports (no visible effect); counted for tests.
    int ReportedErrors() const { return m_nReportedErrors.load(); }
    // Records every byte and line event from now on; null turns it off. The
    // recorder must outlive its use by the port.
    void SetTranscript(ITranscript* transcript) { m_pTranscript.store(transcript); }

    // Read directly by the owner.
    std::atomic<int> m_bOpen{0};
    CRxBuffer m_rxBuffer;
    // Auto-reset; null until the first Open attempt and again after Close.
    std::unique_ptr<Event> m_hDataEvent;
    int m_nPort = 1;

private:
    bool CreateEvents();
    void ReaderThreadProc();
    bool StartReader(OsError* error);
    void StopReader();
    void ReportError(const char* text);
    void CloseEvents();
    // Notes the device as gone, once, with the OS reason.
    void MarkGone(int err);
    int WriteBoundMs(int nLength) const;

    LineSettings m_dcb;
    SerialDevice m_device;
    std::unique_ptr<Event> m_hStopEvent;
    std::unique_ptr<Event> m_hGoneEvent;
    std::thread m_readerThread;
    std::mutex m_writeLock;
    std::atomic<bool> m_bHungUp{false};
    std::atomic<int> m_nReportedErrors{0};
    std::atomic<ITranscript*> m_pTranscript{nullptr};
    mutable std::mutex m_textLock;
    OsError m_lastOpenError;
    std::string m_goneReason;
    std::string m_path;
};

} // namespace norva
