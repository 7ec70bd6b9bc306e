#pragma once
// The one object through which the program talks to the attached module:
// AT transactions, the last known module state, the job events and the
// device-job worker. Upward calls go only through IModuleHost.

#include "module/ModuleHost.h"
#include "module/ModuleInfo.h"
#include "module/Protocol.h"
#include "module/ReadBack.h"
#include "platform/Event.h"
#include "serial/SerialPort.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace norva {

// A value shared between the UI thread and the worker.
template <typename T> class Guarded {
public:
    Guarded() = default;
    explicit Guarded(T initial) : m_value(std::move(initial)) {}
    void Set(T value) {
        std::lock_guard<std::mutex> lock(m_lock);
        m_value = std::move(value);
    }
    T Get() const {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_value;
    }

private:
    mutable std::mutex m_lock;
    T m_value{};
};
using GuardedText = Guarded<std::string>;

namespace detail {
struct PortAccess;
} // namespace detail

class CModuleControl {
public:
    // `host` receives job results, device rows, message boxes and banners; it
    // must outlive the controller.
    explicit CModuleControl(IModuleHost* host);
    virtual ~CModuleControl();
    CModuleControl(const CModuleControl&) = delete;
    CModuleControl& operator=(const CModuleControl&) = delete;

    // One inquiry reply token (a framed line); adds a device row when it has
    // address, name and class of device. Runs on the worker: a subclass that
    // overrides it must ClosePort() in its own destructor.
    virtual void OnInquiryResult(const std::string& line);

    bool CreateJobEvents();
    // 1 = port open and worker running, 0 = failure (LastOpenError()).
    int OpenPort(int nPort, uint32_t baud, uint8_t stopBits, uint8_t parity);
    // The same for a device path (command-line tools and tests).
    int OpenPortPath(const std::string& path, uint32_t baud, uint8_t stopBits, uint8_t parity);
    void ClosePort();
    void StopWorker();
    // For a caller that runs transactions on its own thread: the worker is
    // stopped (it would take their replies and aborts) and the stop event
    // cleared again for the transactions' own waits.
    void TalkDirectly();
    void SetLinkState(int state) { m_info.m_nLinkState.store(state); }
    // Starts a job (or aborts/stops) by setting the slot's event; no-op for a
    // slot whose event could not be created.
    void SignalJob(int slot);

    // Bytes taken (>= 1), 0 = nothing (time-out), -1 = stop, -2 = abort,
    // -3 = the device is gone (bytes that came before it are taken first).
    int WaitForData(uint8_t* dest, int maxCount, int timeoutMs);
    // A pause between commands: RC_OK once it has passed, or RC_STOPPED,
    // RC_ABORTED or RC_DEVICE_GONE when that cut it short (the abort is used
    // up), so that nothing more is sent.
    int Pause(int ms);

    // Transactions: each blocks its thread and returns a result code.
    int Probe(int timeoutMs);
    int CancelCommand(int timeoutMs);
    int QueryStatus(ModuleInfo& info);
    int Connect(int timeoutMs, const std::string& address);
    int Disconnect(int timeoutMs);
    int Escape(int timeoutMs);
    int Scan();
    int Inquiry(int timeoutMs);
    int ReturnOnline();
    int SetOpMode(int timeoutMs, int mode);
    int SetUartConfig(int timeoutMs, int baud, int parity, int stopBits, int flow);
    int SetUartConfigNoFlow(int timeoutMs, int baud, int parity, int stopBits);
    int WriteSRegister(int timeoutMs, int reg, int value);
    int ReadSRegister(int timeoutMs, int reg, std::string& value);
    int Reset(int timeoutMs);
    // After the apply job's commands: reads the status over the line as it
    // is and notes in LastConfirmation() what it shows of m_nApplyMode and
    // m_nApplyFlow. RC_DONE, or how the read was cut short (stopped, aborted,
    // device gone); a status that shows other settings is no failure.
    int ReadBackApplied();
    ApplyConfirmation LastConfirmation() const { return m_confirmation.Get(); }

    void ShowCheckingBanner();
    void HideCheckingBanner();
    void ShowApplyingBanner();
    void HideApplyingBanner();

    // Why the last QueryStatus did not read a status (StatusFailure).
    int LastStatusFailure() const { return m_nStatusFailure.load(); }

    bool WorkerRunning() const { return m_bWorkerRunning.load() != 0; }
    // True from the moment the worker took a job's event until the job ended.
    bool JobRunning() const { return m_bJobRunning.load(); }
    // Counts the successful opens: a result posted by a worker of an earlier
    // open carries an older number and must not act on this one.
    int Generation() const { return m_nGeneration.load(); }
    // Reply bytes taken by all waits so far (tests pin chunk boundaries to it).
    uint64_t BytesTaken() const { return m_nBytesTaken.load(); }
    IModuleHost* Host() const { return m_hWndNotify; }
    Event* JobEvent(int slot) const { return m_hJobEvents.at(slot).get(); }

    // Job arguments and state; the UI thread writes a job's arguments before
    // it signals the job's event.
    std::atomic<int> m_nSRegNo{0};
    GuardedText m_strSRegValue;
    GuardedText m_strTargetAddr;
    std::atomic<int> m_nS24Value{10};
    std::atomic<int> m_nScanTime{300};
    std::atomic<int> m_nScanMode{3};
    std::atomic<int> m_nApplyMode{0};
    std::atomic<int> m_nApplyBaud{9600};
    std::atomic<int> m_nApplyParity{0};
    std::atomic<int> m_nApplyStopBits{0};
    std::atomic<int> m_nApplyFlow{1};
    std::atomic<int> m_bAwaitResetReply{1};
    // Set by an apply job that had to use the short UART form while the
    // caller asked for no flow control: the module keeps RTS/CTS.
    std::atomic<bool> m_bFlowNotStored{false};
    // Set by an apply job that showed the firmware-mismatch box: the user has
    // been told about the flow control already.
    std::atomic<bool> m_bFirmwareBoxShown{false};
    // What the module acknowledged during the last apply job (kAckedMode,
    // kAckedUart): after a failure part of it may be stored already.
    static constexpr int kAckedMode = 1;
    static constexpr int kAckedUart = 2;
    std::atomic<int> m_nApplyAcked{0};
    ModuleInfo m_info;
    std::atomic<int> m_nCurOp{0};
    std::array<std::unique_ptr<Event>, kJobEventCount> m_hJobEvents;
    std::mutex m_waitLock;

    // The port, as far as callers need it.
    bool PortOpen() const { return m_port.m_bOpen.load() != 0; }
    int PortNumber() const { return m_port.m_nPort; }
    // Why the last open failed (errno and a line a user can act on).
    OsError LastOpenError() const { return m_port.LastOpenError(); }
    // The device went away: from then until the close, and why.
    bool HungUp() const { return m_port.HungUp(); }
    Event* GoneEvent() const { return m_port.GoneEvent(); }
    std::string GoneReason() const { return m_port.GoneReason(); }
    std::string DevicePath() const { return m_port.DevicePath(); }
    // Records every byte and line event of the port; null turns it off.
    void SetTranscript(ITranscript* transcript) { m_port.SetTranscript(transcript); }
    // A linked unit's line carries its partner's data; a caller that has
    // stopped the worker reads and writes it directly (the restart check).
    Event* DataEvent() const { return m_port.m_hDataEvent.get(); }
    CRxBuffer& Received() { return m_port.m_rxBuffer; }
    uint32_t WriteData(const void* data, int length) { return m_port.Write(data, length); }

private:
    friend struct detail::PortAccess;
    CSerialPort m_port;

    friend void DeviceJobThread(CModuleControl* module);
    int StartWorker();
    int AfterOpen();
    void ApplyLineSettings(uint32_t baud, uint8_t stopBits, uint8_t parity);

    std::atomic<bool> m_bApplyingShown{false};
    std::atomic<bool> m_bCheckingShown{false};
    IModuleHost* m_hWndNotify;
    std::thread m_pWorkerThread;
    std::atomic<int> m_bWorkerRunning{0};
    std::atomic<bool> m_bJobRunning{false};
    std::atomic<uint64_t> m_nBytesTaken{0};
    std::atomic<int> m_nStatusFailure{0};
    std::atomic<int> m_nGeneration{0};
    Guarded<ApplyConfirmation> m_confirmation;
};

// The device-job worker's thread procedure; returns when EV_STOP is set.
void DeviceJobThread(CModuleControl* module);

} // namespace norva
