#pragma once
// The one object through which the program talks to the attached module:
// AT transactions, the last known module state, the job events and the
// device-job worker. Upward calls go only through IModuleHost.

#include "module/Job.h"
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
#include <string_view>
#include <thread>
#include <vector>

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
namespace test {
struct ControlProbe; // tests look at the events and the buffer
} // namespace test

// What one wait on several units' lines saw (WaitOnUnits).
struct UnitLineEvent {
    enum class Kind { Data, Gone, Stopped, Timeout, Failed };
    Kind kind = Kind::Timeout;
    size_t unit = 0; // for Data and Gone
};

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

    // --- The port ---------------------------------------------------------
    // 1 = port open and worker running, 0 = failure (LastOpenError()).
    int OpenPort(int nPort, uint32_t baud, uint8_t stopBits, uint8_t parity);
    // The same for a device path (command-line tools and tests).
    int OpenPortPath(const std::string& path, uint32_t baud, uint8_t stopBits, uint8_t parity);
    void ClosePort();
    bool PortOpen() const;
    int PortNumber() const;
    std::string DevicePath() const;
    // Why the last open failed (errno and a line a user can act on).
    OsError LastOpenError() const;
    // The device went away: from then until the close, and why.
    bool HungUp() const;
    std::string GoneReason() const;
    // Sleeps `ms`, or less when the device goes; touches no job event, so
    // it may run beside the worker.
    void SleepUnlessGone(int ms) const;
    // Records every byte and line event of the port; null turns it off.
    void SetTranscript(ITranscript* transcript);
    // Other line settings on the open port, for a caller that talks directly
    // (the settings search): false with the OS's reason when refused.
    bool SetLine(const LineSettings& settings, OsError* error) {
        return m_port.SetLine(settings, error);
    }
    // Output not sent yet is dropped: a search that was stopped closes at once.
    void DiscardOutput() { m_port.DiscardOutput(); }

    // --- Jobs on the worker -----------------------------------------------
    // Starts `request` on the worker; its result goes to the host.
    void Start(const JobRequest& request);
    // Ends the job under way (its waits return RC_ABORTED); an abort that
    // finds no job is used up by the idle worker.
    void Abort();
    // Takes back an abort that no job has used up yet.
    void ClearAbort();
    // Ends every wait and the worker, from any thread, without waiting.
    void Stop();
    // Stops the worker and waits for it to end.
    void StopWorker();
    // For a caller that runs transactions on its own thread: the worker is
    // stopped (it would take their replies and aborts) and the stop cleared
    // again for the transactions' own waits.
    void TalkDirectly();
    bool WorkerRunning() const { return m_bWorkerRunning.load() != 0; }
    // True from the moment the worker took a job's event until the job ended.
    bool JobRunning() const { return m_bJobRunning.load(); }
    // Counts the successful opens: a result posted by a worker of an earlier
    // open carries an older number and must not act on this one.
    int Generation() const { return m_nGeneration.load(); }
    // How the last job ended; set before its result is posted.
    JobOutcome LastOutcome() const { return m_outcome.Get(); }
    // What the last apply job did besides its code.
    ApplyReport LastApply() const { return m_applyReport.Get(); }
    ApplyConfirmation LastConfirmation() const { return m_confirmation.Get(); }
    // The value the last read-register job read (an OK without one keeps it).
    std::string RegisterValue() const { return m_strSRegValue.Get(); }
    // A command came back before its reply (an echo) in a reply read since
    // the port was opened.
    bool EchoSeen() const { return m_bEchoSeen.load(); }

    // --- The module's state -----------------------------------------------
    // The status as last read.
    ModuleInfoData LastStatus() const { return m_info.Snapshot(); }
    void SetLinkState(int state) { m_info.m_nLinkState.store(state); }
    // For a caller that stores settings without reading the status first:
    // the module's flow control as it is taken to be (1 = RTS/CTS).
    void AssumeFlowControl(int flow) { m_info.m_nFlowControl.store(flow); }
    // The step under way (OpCode), as the transactions set it; a job's
    // outcome carries it as it was when the job ended.
    int CurOp() const { return m_nCurOp.load(); }
    // What an apply stores; the restart command compares its baud with the
    // port's to know whether its answer can be read.
    StoredSettings ApplySettings() const { return m_apply.Get(); }
    void SetApplySettings(const StoredSettings& settings) { m_apply.Set(settings); }
    void SetScanSettings(const ScanSettings& scan) { m_scan.Set(scan); }
    // The S24 value the inquiry writes first.
    void SetInquiryS24(int value) { m_nS24Value.store(value); }
    // False: the restart command returns once it is sent (its answer is read
    // by the caller, with what follows it).
    void SetAwaitResetReply(bool await) { m_bAwaitResetReply.store(await ? 1 : 0); }
    // The next status query escapes before it asks: the caller knows the unit is (or may well
    // be) linked, in data mode.
    void AssumeDataMode() { m_bAssumeDataMode.store(true); }
    // The next status job is a read of the caller's own (a station's triage), shown nowhere: it
    // skips the job's pause and the checking banner, and asks as soon as the unit answered its
    // probe, since nothing follows an OK to "AT".
    void ReadBriefly() { m_bReadBriefly.store(true); }

    // --- Direct talk (worker stopped, see TalkDirectly) ---------------------
    // Bytes taken (>= 1), 0 = nothing (time-out), -1 = stop, -2 = abort,
    // -3 = the device is gone (bytes that came before it are taken first).
    int WaitForData(uint8_t* dest, int maxCount, int timeoutMs);
    // A pause between commands: RC_OK once it has passed, or RC_STOPPED,
    // RC_ABORTED or RC_DEVICE_GONE when that cut it short (the abort is used
    // up), so that nothing more is sent.
    int Pause(int ms);
    // A linked unit's line carries its partner's data: everything received
    // so far, taken.
    std::string TakeReceived();
    // Writes `bytes` as they are; true when all went out.
    bool SendRaw(std::string_view bytes);
    // Waits until one of `units` has received bytes or lost its device, or
    // `stop` (may be null) is set, or `timeoutMs` passed.
    static UnitLineEvent WaitOnUnits(const std::vector<CModuleControl*>& units, const Event* stop,
                                     int timeoutMs);

    // Transactions: each blocks its thread and returns a result code.
    int Probe(int timeoutMs);
    int CancelCommand(int timeoutMs);
    // kStatusRead when a status was read (into `info`), anything else when
    // not: 0, or the code that cut it short. The overload reads into the
    // controller's own status (LastStatus()).
    int QueryStatus(ModuleInfo& info);
    int QueryStatus() { return QueryStatus(m_info); }
    // "AT+BTINFO?" alone, for a caller that wants the status line's own
    // words: RC_OK with the line as it came (framed) in `line` once its OK
    // came (or the wait ended after the line: result codes off), RC_ERROR,
    // or how the wait ended. Nothing is repaired on the way (no escape, no
    // S10 write), and LastStatus() stays as it was.
    int QueryStatusLine(int timeoutMs, std::string& line);
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
    // is and notes in LastConfirmation() what it shows of the settings
    // asked. RC_DONE, or how the read was cut short (stopped, aborted,
    // device gone); a status that shows other settings is no failure.
    int ReadBackApplied();
    // Why the last QueryStatus did not read a status (StatusFailure).
    int LastStatusFailure() const { return m_nStatusFailure.load(); }

private:
    friend struct detail::PortAccess;
    friend struct test::ControlProbe;
    friend void DeviceJobThread(CModuleControl* module);
    friend class JobRunner;

    bool CreateJobEvents();
    IModuleHost* Host() const { return m_hWndNotify; }
    void SignalJob(int slot);
    Event* JobEvent(int slot) const { return m_hJobEvents.at(slot).get(); }
    int StartWorker();
    int AfterOpen();
    void ApplyLineSettings(uint32_t baud, uint8_t stopBits, uint8_t parity);
    // Records how the job ended and posts its result to the host.
    void PostOutcome(Job job, int code);
    void ShowCheckingBanner();
    void HideCheckingBanner();
    void ShowApplyingBanner();
    void HideApplyingBanner();

    CSerialPort m_port;
    IModuleHost* m_hWndNotify;
    std::array<std::unique_ptr<Event>, kJobEventCount> m_hJobEvents;
    std::mutex m_waitLock;
    std::thread m_pWorkerThread;
    std::atomic<int> m_bWorkerRunning{0};
    std::atomic<bool> m_bJobRunning{false};
    std::atomic<bool> m_bApplyingShown{false};
    std::atomic<bool> m_bCheckingShown{false};
    std::atomic<uint64_t> m_nBytesTaken{0};
    std::atomic<int> m_nStatusFailure{0};
    std::atomic<int> m_nGeneration{0};
    std::atomic<bool> m_bEchoSeen{false};

    // Job arguments: the caller's thread writes them before it sets the
    // job's event, the worker reads them.
    GuardedText m_strTargetAddr;
    std::atomic<int> m_nSRegNo{0};
    GuardedText m_strSRegValue;
    Guarded<ScanSettings> m_scan;
    Guarded<StoredSettings> m_apply;
    std::atomic<int> m_nS24Value{10};
    std::atomic<int> m_bAwaitResetReply{1};
    std::atomic<bool> m_bAssumeDataMode{false};
    std::atomic<bool> m_bReadBriefly{false};
    std::atomic<int> m_nModeToSet{0};

    ModuleInfo m_info;
    std::atomic<int> m_nCurOp{0};
    // The last Disconnect request chains the apply (JobRequest::thenApply).
    std::atomic<bool> m_bApplyAfterHangUp{false};
    Guarded<JobOutcome> m_outcome;
    Guarded<ApplyReport> m_applyReport;
    Guarded<ApplyConfirmation> m_confirmation;
};

// The device-job worker's thread procedure; returns when EV_STOP is set.
void DeviceJobThread(CModuleControl* module);

} // namespace norva
