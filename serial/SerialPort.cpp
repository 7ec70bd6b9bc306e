#include "serial/SerialPort.h"

#include "platform/ComMap.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <system_error>

namespace norva {

CSerialPort::CSerialPort() = default;

CSerialPort::~CSerialPort() {
    if (m_bOpen.load() != 0) {
        Close();
    }
}

bool CSerialPort::Open(int nPort) {
    if (m_bOpen.load() != 0) {
        return false;
    }
    const std::string path = ComDevicePath(nPort);
    if (path.empty()) {
        std::lock_guard<std::mutex> lock(m_errorLock);
        m_lastOpenError = {ENOENT, "COM" + std::to_string(nPort) + " is not a known serial port"};
        return false;
    }
    if (!OpenPath(path)) {
        return false;
    }
    m_nPort = nPort;
    return true;
}

bool CSerialPort::CreateEvents() {
    if (!m_hDataEvent) {
        m_hDataEvent = std::make_unique<Event>(Event::Mode::Auto);
    }
    if (!m_hStopEvent) {
        m_hStopEvent = std::make_unique<Event>(Event::Mode::Manual);
    }
    return m_hDataEvent->Valid() && m_hStopEvent->Valid();
}

bool CSerialPort::OpenPath(const std::string& path) {
    // Never reopens: the open port stays as it is.
    if (m_bOpen.load() != 0) {
        return false;
    }
    if (m_hStopEvent) {
        m_hStopEvent->Reset();
    }
    OsError error;
    if (!CreateEvents()) {
        error = {errno, std::string("cannot create events: ") + std::strerror(errno)};
    } else if (m_device.Open(path, m_dcb, &error)) {
        m_bHungUp.store(false);
        // The reader starts only once the port counts as open, so it never
        // sees a half-opened port.
        m_bOpen.store(1);
        try {
            m_readerThread = std::thread(&CSerialPort::ReaderThreadProc, this);
            std::lock_guard<std::mutex> lock(m_errorLock);
            m_lastOpenError = {};
            return true;
        } catch (const std::system_error& e) {
            m_bOpen.store(0);
            m_device.Close();
            error = {e.code().value(), std::string("cannot start the reader: ") + e.what()};
        }
    }
    std::lock_guard<std::mutex> lock(m_errorLock);
    m_lastOpenError = error;
    return false;
}

OsError CSerialPort::LastOpenError() const {
    std::lock_guard<std::mutex> lock(m_errorLock);
    return m_lastOpenError;
}

void CSerialPort::ReaderThreadProc() {
    Event* stop = m_hStopEvent.get();
    Event* const waitOn[] = {stop};
    uint8_t chunk[kReadChunk];
    while (m_bOpen.load() != 0) {
        WaitFd device{m_device.Fd(), POLLIN, 0};
        const int r = WaitAny(waitOn, -1, &device);
        if (r == 0) {
            return;
        }
        if (r != 1) {
            ReportError("WaitForMultipleObjects(Reader & Status handles)");
            // A failing wait must not turn into a busy loop.
            SleepUnlessSet(stop, 10);
            continue;
        }
        const int n = m_device.Read(chunk, kReadChunk);
        if (n < 0) {
            // The device is gone (unplugged, or the other side of a pty
            // closed): note it once and stop reading instead of spinning on
            // an error that will never clear.
            m_bHungUp.store(true);
            ReportError("device hung up");
            return;
        }
        if (n == 0) {
            continue;
        }
        if (m_rxBuffer.Write(chunk, n) < 0) {
            ReportError("Read buffer fulled");
            continue;
        }
        m_hDataEvent->Set();
    }
}

void CSerialPort::ReportError(const char* /*text*/) {
    m_nReportedErrors.fetch_add(1);
}

uint32_t CSerialPort::Write(const void* pData, int nLength) {
    if (m_bOpen.load() == 0 || pData == nullptr || nLength <= 0 || m_bHungUp.load()) {
        return 0;
    }
    std::lock_guard<std::mutex> lock(m_writeLock);
    const int written = m_device.Write(pData, nLength, nLength + kWriteExtraMs);
    return static_cast<uint32_t>(written);
}

void CSerialPort::Close() {
    if (m_bOpen.load() != 0) {
        m_bOpen.store(0);
        m_hStopEvent->Set();
        // The reader watches the stop event in every wait, so it ends at once;
        // kReaderJoinMs is the bound the tests hold it to.
        if (m_readerThread.joinable()) {
            m_readerThread.join();
        }
        m_device.Flush();
        m_device.Close();
    }
    CloseEvents();
}

void CSerialPort::CloseEvents() {
    m_hDataEvent.reset();
    m_hStopEvent.reset();
}

} // namespace norva
