// The device-job worker: waits on the twelve job events and runs one module
// job at a time, reporting each result to the host without waiting for it.

#include "module/Catalogue.h"
#include "module/ModuleControl.h"

#include <array>
#include <cerrno>
#include <string>
#include <system_error>

namespace norva {

namespace cat = catalogue;

namespace {

constexpr int kIdleWaitMs = cat::kWorkerIdleWaitMs;
constexpr int kJobPauseMs = cat::kJobPauseMs;
constexpr int kFailedWaitPauseMs = cat::kWorkerFailedWaitPauseMs;

} // namespace

class JobRunner {
public:
    explicit JobRunner(CModuleControl* module)
        : m(*module), m_host(module->Host()), m_stop(module->JobEvent(EV_STOP)) {}

    void Run(Job job) {
        switch (job) {
        case Job::Status:
            StatusJob();
            break;
        case Job::CancelCommand:
            Post(m.CancelCommand(cat::kCancelJobTimeoutMs), job);
            break;
        case Job::Connect:
            Post(m.Connect(cat::kConnectJobTimeoutMs, m.m_strTargetAddr.Get()), job);
            break;
        case Job::Disconnect:
            DisconnectJob();
            break;
        case Job::Escape:
            Post(m.Escape(cat::kEscapeJobTimeoutMs), job);
            break;
        case Job::Scan:
            Post(m.Scan(), job);
            break;
        case Job::Inquiry:
            Post(m.Inquiry(cat::kInquiryJobTimeoutMs), job);
            break;
        case Job::ReadRegister: {
            // An OK without a value line leaves the last value in place.
            std::string value = m.m_strSRegValue.Get();
            int r = m.ReadSRegister(cat::kReadSRegJobTimeoutMs, m.m_nSRegNo.load(), value);
            m.m_strSRegValue.Set(value);
            Post(r, job);
            break;
        }
        case Job::Apply:
            ApplyJob();
            break;
        case Job::Reset:
            Post(m.Reset(cat::kResetJobTimeoutMs), job);
            break;
        case Job::SetMode:
            Post(m.SetOpMode(cat::kSheetSetModeTimeoutMs, m.m_nModeToSet.load()), job);
            break;
        case Job::ReturnOnline:
            // "ATO" has no reply: the pause tells a line that went away.
            m.ReturnOnline();
            Post(m.Pause(cat::kReturnOnlineSettleMs), job);
            break;
        }
    }

private:
    void Post(int code, Job job) { m.PostOutcome(job, code); }

    void StatusJob() {
        if (!m.m_bReadBriefly.load()) {
            m.ShowCheckingBanner();
        }
        int r = m.QueryStatus(m.m_info);
        m.HideCheckingBanner();
        Post(r, Job::Status);
    }

    void DisconnectJob() {
        const bool chainedApply = m.m_bApplyAfterHangUp.load();
        if (m.m_info.m_nLinkState.load() == LINK_CONNECTED) {
            m.m_info.m_nLinkState.store(LINK_DISCONNECTING);
            // A stop during the pause must not send "+++" to a module that is
            // being left alone.
            int r = m.Pause(kJobPauseMs);
            if (r == RC_OK) {
                r = m.Escape(cat::kDisconnectEscapeTimeoutMs);
            }
            if (r != RC_OK) {
                m.m_info.m_nLinkState.store(LINK_DISCONNECTING);
                Post(r, Job::Escape);
                return;
            }
        }
        int r = m.Disconnect(cat::kDisconnectTimeoutMs);
        if (r == RC_DISCONNECTED && chainedApply) {
            m.m_info.m_nLinkState.store(LINK_STANDBY);
            m.SignalJob(EV_APPLY);
            return;
        }
        Post(r, Job::Disconnect);
    }

    template <class Change> void Note(Change&& change) {
        ApplyReport report = m.m_applyReport.Get();
        change(report);
        m.m_applyReport.Set(report);
    }

    // Results after which nothing more is sent: stopped, aborted, or the
    // device is gone.
    static bool Ends(int code) {
        return code == RC_STOPPED || code == RC_ABORTED || code == RC_DEVICE_GONE;
    }

    void ApplyFailed(int code) {
        m.HideApplyingBanner();
        Post(code, Job::Apply);
    }

    void ApplyJob() {
        const StoredSettings asked = m.m_apply.Get();
        m.m_applyReport.Set({});
        m.ShowApplyingBanner();
        int mode = m.SetOpMode(cat::kApplyModeTimeoutMs, asked.mode);
        if (Ends(mode)) {
            ApplyFailed(mode);
            return;
        }
        if (mode == RC_OK) {
            Note([](ApplyReport& r) { r.modeAcked = true; });
        }
        if (mode == RC_ERROR) {
            // A pending link refuses the mode; cancel it and go on with the
            // UART setting without sending the mode again.
            if (const int q = m.QueryStatus(m.m_info); !StatusWasRead(q)) {
                ApplyFailed(Ends(q) ? q : RC_ERROR);
                return;
            }
            if (m.m_info.m_nLinkState.load() != LINK_PENDING) {
                ApplyFailed(RC_ERROR);
                return;
            }
            int c = m.CancelCommand(cat::kApplyCancelTimeoutMs);
            if (c != RC_OK) {
                ApplyFailed(c);
                return;
            }
        } else if (mode != RC_OK) {
            // The module may still be connected: the host re-checks the link
            // and has the disconnect job start this job again.
            m.HideApplyingBanner();
            Post(mode, Job::Apply);
            return;
        }

        const int baud = asked.baud;
        const int parity = asked.parity;
        const int stopBits = asked.stopBits;
        int u = m.SetUartConfig(cat::kApplyUartTimeoutMs, baud, parity, stopBits, asked.flow);
        if (Ends(u)) {
            // Stopped or aborted: no further setting is sent to the module.
            ApplyFailed(u);
            return;
        }
        if (u != RC_OK) {
            // Older firmware knows only the form without flow control.
            int v = m.SetUartConfigNoFlow(cat::kApplyUartTimeoutMs, baud, parity, stopBits);
            if (v != RC_OK) {
                ApplyFailed(v);
                return;
            }
            if (m.m_info.m_nFlowControl.load() != 1 && m_host != nullptr) {
                m_host->ShowNotice(Notice::FirmwareMismatch, m_stop);
                Note([](ApplyReport& r) { r.firmwareBoxShown = true; });
            }
            // The short form has no flow-control argument: "off" was not
            // stored, whatever the status said about the firmware.
            const bool flowNotStored = asked.flow == 0;
            Note([&](ApplyReport& r) { r.flowNotStored = flowNotStored; });
        }
        const int uartArgs = u == RC_OK ? 4 : 3;
        Note([&](ApplyReport& r) {
            r.uartAcked = true;
            r.uartArgs = uartArgs;
        });
        // What the status shows now is news for the user; a unit that shows
        // new settings only after a restart is proved by the restart check.
        if (const int checked = m.ReadBackApplied(); checked != RC_DONE) {
            ApplyFailed(checked);
            return;
        }
        Post(RC_DONE, Job::Apply);
        m.HideApplyingBanner();
    }

    CModuleControl& m;
    IModuleHost* m_host;
    const Event* m_stop;
};

void DeviceJobThread(CModuleControl* module) {
    std::array<Event*, kJobEventCount> events{};
    for (int i = 0; i < kJobEventCount; ++i) {
        events[i] = module->m_hJobEvents[i].get();
    }
    const Event* stop = events[EV_STOP];
    IModuleHost* host = module->m_hWndNotify;
    JobRunner runner(module);

    for (;;) {
        int slot = WaitAny(events, kIdleWaitMs);
        if (slot == kWaitTimeout) {
            continue;
        }
        if (slot == EV_STOP) {
            return;
        }
        if (slot == EV_ABORT) {
            continue; // an abort with no transaction under way is used up
        }
        if (slot > EV_ABORT && slot < kJobEventCount) {
            module->m_bJobRunning.store(true);
            // A brief read of the caller's own has no banner to paint, nor a
            // job before it to let settle.
            const int paused = module->Pause(module->m_bReadBriefly.load() ? 0 : kJobPauseMs);
            if (paused == RC_STOPPED) {
                module->m_bJobRunning.store(false);
                return; // stopped before the job began: leave the module alone
            }
            const Job job = JobOfSlot(slot).value_or(Job::Reset);
            if (paused == RC_ABORTED) {
                // Cancelled before anything was sent: report it as the job's
                // own abort.
                module->PostOutcome(job, RC_ABORTED);
                module->m_bJobRunning.store(false);
                continue;
            }
            runner.Run(job);
            module->m_bJobRunning.store(false);
            continue;
        }

        const int err = errno;
        if (host != nullptr) {
            host->ShowMessageBox(std::system_category().message(err), stop);
        }
        // Without a stop event (its creation failed) StopWorker can only be
        // seen through the running flag.
        if (module->m_bWorkerRunning.load() == 0 || (stop != nullptr && stop->IsSet())) {
            return;
        }
        SleepUnlessSet(stop, kFailedWaitPauseMs);
    }
}

} // namespace norva
