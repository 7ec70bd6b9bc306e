#include "serial/SerialPort.h"

#include "platform/ComMap.h"
#include "serial/Transcript.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <system_error>

namespace norva {

namespace {

std::string SettingsText(const LineSettings& s) {
    const char parity = s.Parity == kEvenParity ? 'E' : (s.Parity == kOddParity ? 'O' : 'N');
    return std::to_string(s.BaudRate) + " " + std::to_string(s.ByteSize) + parity +
           (s.StopBits == kTwoStopBits ? "2" : "1");
}

} // namespace

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
        std::lock_guard<std::mutex> lock(m_textLock);
        m_lastOpenError = {ENOENT, "COM" + std::to_string(nPort) + " is not a known serial port"};
        return false;
    }
    if (std::string refusal = ComRefusal(nPort); !refusal.empty()) {
        std::lock_guard<std::mutex> lock(m_textLock);
        m_lastOpenError = {EPERM, std::move(refusal)};
        return false;
    }
    if (!OpenPath(path)) {
        return false;
    }
    m_nPort = nPort;
    return true;
}

bool CSerialPort::CreateEvents() {
    // Only a valid event is kept: one that failed is made again at the next
    // attempt instead of failing every later open.
    int err = 0;
    auto make = [&err](std::unique_ptr<Event>& slot, Event::Mode mode) {
        if (!slot) {
            auto event = std::make_unique<Event>(mode);
            if (event->Valid()) {
                slot = std::move(event);
            } else if (err == 0) {
                err = LastSystemError();
            }
        }
        return slot != nullptr;
    };
    const bool data = make(m_hDataEvent, Event::Mode::Auto);
    const bool stop = make(m_hStopEvent, Event::Mode::Manual);
    const bool gone = make(m_hGoneEvent, Event::Mode::Manual);
    return data && stop && gone;
}

bool CSerialPort::OpenPath(const std::string& path) {
    // Never reopens: the open port stays as it is.
    if (m_bOpen.load() != 0) {
        return false;
    }
    OsError error;
    if (!CreateEvents()) {
        const int err = LastSystemError();
        error = {err, "cannot create events: " + SystemErrorText(err)};
    } else {
        m_hGoneEvent->Reset();
        {
            std::lock_guard<std::mutex> lock(m_textLock);
            m_path = path;
            m_goneReason.clear();
        }
        if (m_device.Open(path, m_dcb, &error)) {
            m_bHungUp.store(false);
            // The reader starts only once the port counts as open, so it
            // never sees a half-opened port.
            m_bOpen.store(1);
            // The open is recorded before the reader can record a byte.
            if (ITranscript* t = m_pTranscript.load()) {
                const std::string& note = m_device.LineNote();
                t->OnOpen(path, note.empty() ? SettingsText(m_dcb)
                                             : SettingsText(m_dcb) + " (" + note + ")");
            }
            if (StartReader(&error)) {
                std::lock_guard<std::mutex> lock(m_textLock);
                m_lastOpenError = {};
                return true;
            }
            m_bOpen.store(0);
            m_device.Close();
        }
    }
    if (ITranscript* t = m_pTranscript.load()) {
        t->OnOpenFailed(path, error.reason);
    }
    std::lock_guard<std::mutex> lock(m_textLock);
    m_lastOpenError = error;
    return false;
}

OsError CSerialPort::LastOpenError() const {
    std::lock_guard<std::mutex> lock(m_textLock);
    return m_lastOpenError;
}

std::string CSerialPort::GoneReason() const {
    std::lock_guard<std::mutex> lock(m_textLock);
    return m_goneReason;
}

std::string CSerialPort::DevicePath() const {
    std::lock_guard<std::mutex> lock(m_textLock);
    return m_path;
}

void CSerialPort::MarkGone(int err) {
    std::string reason;
    {
        std::lock_guard<std::mutex> lock(m_textLock);
        if (m_bHungUp.load()) {
            return;
        }
        m_goneReason = m_path + " was disconnected (" + SystemErrorText(err) + ")";
        reason = m_goneReason;
        m_bHungUp.store(true);
    }
    m_hGoneEvent->Set();
    if (ITranscript* t = m_pTranscript.load()) {
        t->OnHangUp(reason);
    }
}

void CSerialPort::ReaderThreadProc() {
    Event* stop = m_hStopEvent.get();
    Event* const waitOn[] = {stop};
    uint8_t chunk[kReadChunk];
    while (m_bOpen.load() != 0) {
        int n = 0;
        IoStop why;
        const int r = m_device.WaitRead(waitOn, -1, chunk, kReadChunk, &n, &why);
        if (r == 0) {
            return;
        }
        if (r != 1) {
            ReportError("WaitForMultipleObjects(Reader & Status handles)");
            // A failing wait must not turn into a busy loop.
            SleepUnlessSet(stop, 10);
            continue;
        }
        if (n < 0) {
            // The device is gone (unplugged, or the other side of a pty
            // closed): note it once and stop reading instead of spinning on
            // an error that will never clear. The gone event wakes every
            // wait on this port.
            MarkGone(why.code);
            ReportError("device hung up");
            return;
        }
        if (ITranscript* t = m_pTranscript.load()) {
            t->OnReceived(chunk, static_cast<size_t>(n));
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

int CSerialPort::WriteBoundMs(int nLength) const {
    const int bitsPerChar = 1 + m_dcb.ByteSize + (m_dcb.Parity != kNoParity ? 1 : 0) +
                            (m_dcb.StopBits == kTwoStopBits ? 2 : 1);
    const long long baud = m_dcb.BaudRate > 0 ? m_dcb.BaudRate : 1;
    const long long wireMs =
        (static_cast<long long>(nLength) * bitsPerChar * 1000 + baud - 1) / baud;
    return static_cast<int>(std::min<long long>(wireMs, 60000)) + kWriteMarginMs;
}

uint32_t CSerialPort::Write(const void* pData, int nLength, const Event* stop) {
    if (m_bOpen.load() == 0 || pData == nullptr || nLength <= 0 || m_bHungUp.load()) {
        return 0;
    }
    std::lock_guard<std::mutex> lock(m_writeLock);
    using Clock = std::chrono::steady_clock;
    const int boundMs = WriteBoundMs(nLength);
    const Clock::time_point start = Clock::now();
    IoStop why;
    // Recorded before it goes: a quick reply is recorded by the reader and
    // must not come before the command it answers.
    ITranscript* transcript = m_pTranscript.load();
    if (transcript != nullptr) {
        transcript->OnSent(static_cast<const uint8_t*>(pData), static_cast<size_t>(nLength));
    }
    int sent = m_device.Write(pData, nLength, boundMs, stop, &why);
    if (sent == nLength) {
        const int usedMs = static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
        if (!m_device.Drain(boundMs > usedMs ? boundMs - usedMs : 0, stop, &why)) {
            // What is still queued has not reached the line.
            const int queued = m_device.OutputQueued();
            sent -= queued < sent ? queued : sent;
        }
    }
    if (transcript != nullptr && sent < nLength) {
        transcript->OnSendStopped(static_cast<size_t>(sent < 0 ? 0 : sent),
                                  static_cast<size_t>(nLength));
    }
    if (sent < nLength && why.kind == IoStop::Kind::Gone) {
        MarkGone(why.code);
    }
    return static_cast<uint32_t>(sent);
}

bool CSerialPort::SetLine(const LineSettings& settings, OsError* error) {
    // A write computes its bound from the settings in force.
    std::lock_guard<std::mutex> lock(m_writeLock);
    if (m_bOpen.load() == 0) {
        *error = {EBADF, "the port is not open"};
        return false;
    }
    // Some drivers abort a read under way when the line changes (Windows
    // does, and the reader would take that for a device gone): the line
    // changes with no read pending.
    StopReader();
    const bool changed = m_device.SetLine(settings, error);
    if (changed) {
        m_dcb = settings;
        m_device.FlushInput();
    }
    if (!m_bHungUp.load()) {
        OsError startError;
        if (!StartReader(&startError)) {
            // Without a reader nothing could be heard: the port is as good as gone.
            MarkGone(startError.code);
            if (changed) {
                *error = startError;
            }
            return false;
        }
    }
    return changed;
}

bool CSerialPort::StartReader(OsError* error) {
    m_hStopEvent->Reset();
    try {
        m_readerThread = std::thread(&CSerialPort::ReaderThreadProc, this);
        return true;
    } catch (const std::system_error& e) {
        *error = {e.code().value(), std::string("cannot start the reader: ") + e.what()};
        return false;
    }
}

void CSerialPort::StopReader() {
    m_hStopEvent->Set();
    // The reader watches the stop event in every wait, so it ends at once;
    // kReaderJoinMs is the bound the tests hold it to.
    if (m_readerThread.joinable()) {
        m_readerThread.join();
    }
}

void CSerialPort::DiscardOutput() {
    if (m_bOpen.load() != 0) {
        m_device.DiscardOutput();
    }
}

void CSerialPort::Close() {
    if (m_bOpen.load() != 0) {
        m_bOpen.store(0);
        StopReader();
        // Only input is discarded: a command written just before the close
        // (a reset, say) must still reach the module.
        m_device.FlushInput();
        IoStop why;
        if (m_bHungUp.load() ||
            (m_device.OutputQueued() > 0 && !m_device.Drain(kCloseDrainMs, nullptr, &why))) {
            m_device.DiscardOutput();
        }
        m_device.Close();
        if (ITranscript* t = m_pTranscript.load()) {
            t->OnClose(DevicePath());
        }
    }
    // The reason stays readable until the next open; the state does not
    // outlive the descriptor it was about.
    m_bHungUp.store(false);
    CloseEvents();
}

void CSerialPort::CloseEvents() {
    m_hDataEvent.reset();
    m_hStopEvent.reset();
    m_hGoneEvent.reset();
}

} // namespace norva
