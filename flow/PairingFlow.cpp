// The user's actions: which job each Next, Search and Connect starts.

#include "flow/PairingFlow.h"

#include "flow/Address.h"
#include "module/Catalogue.h"
#include "module/Protocol.h"
#include "platform/SerialDevice.h"
#include "res/strings/StringTable.h"

namespace norva::flow {

void CPairingFlow::Start(Job job) {
    ++m_nJobsStarted;
    m_lastJob = job;
    JobRequest request = JobRequest::Of(job);
    request.address = m_target;
    request.scan = {catalogue::kPairScanMode, catalogue::kPairScanTime};
    if (job == Job::Apply) {
        m_applyAfterHangUp = false;
    }
    if (job == Job::Apply || job == Job::Disconnect) {
        // A hang-up on a storing step makes way for the apply it chains.
        request.apply = m_apply;
        request.thenApply = job == Job::Disconnect && m_applyAfterHangUp;
    }
    m_jobs->Start(request);
}

void CPairingFlow::StartCancel(Job ended) {
    m_cancelledJob = ended;
    Start(Job::CancelCommand);
}

void CPairingFlow::UserActs() {
    m_failure = Failure::None;
    m_nHangups = 0;
    m_applyAfterHangUp = false;
}

bool CPairingFlow::Fail(Failure failure, const std::string& text) {
    m_failure = failure;
    return m_view.Say(text);
}

bool CPairingFlow::Open(int unit, bool closeFirst) {
    if (closeFirst) {
        m_jobs->Close();
    }
    std::string reason;
    if (m_jobs->Open(m_view.LineOf(unit), reason)) {
        return true;
    }
    m_failure = Failure::PortFailed;
    m_view.ReportOpenFailure(reason);
    return false;
}

bool CPairingFlow::EnsureOpen(int unit) {
    return m_jobs->PortOpen() || Open(unit, false);
}

void CPairingFlow::Next(int step) {
    if (m_jobs == nullptr || m_bCancelled) {
        return;
    }
    UserActs();
    switch (step) {
    case STEP_FIRST:
        if (Open(UNIT_1, true)) {
            Start(Job::Status);
        }
        break;
    case STEP_SCAN:
        // After a failed check the port is closed: unit 1 is still attached.
        if (!EnsureOpen(UNIT_1)) {
            m_view.SetButtons(BUTTON_NEXT);
            return;
        }
        Start(Job::Scan);
        break;
    case STEP_SCAN_WAIT:
        if (Open(UNIT_2, true)) {
            Start(Job::Status);
        }
        break;
    case STEP_SEARCH:
        m_view.BeginSearchDisplay();
        m_view.ShowStep(STEP_CONNECTION);
        Start(Job::Inquiry);
        break;
    case STEP_CONNECTION:
        m_view.ShowStep(STEP_SUCCESS);
        break;
    case STEP_MODE:
    case STEP_MODE1:
        NextOnStoringStep(step);
        break;
    default:
        break;
    }
}

void CPairingFlow::NextOnStoringStep(int step) {
    IPairingController& module = *m_jobs;
    const UartChoice uart = m_view.UartOf(step);
    if (!catalogue::IsModuleParity(uart.parity)) {
        // The module's command has no letter for odd parity: say so before
        // anything is stored, and let the user choose again.
        Fail(Failure::Refused, LoadString(IDS_ODD_PARITY));
        m_view.SetButtons(BUTTON_NEXT);
        return;
    }
    const bool unit1 = step == STEP_MODE1;
    const int unit = unit1 ? UNIT_1 : UNIT_2;
    // Unit 2 has been on the line since step 3: reopen only when the port was
    // closed meanwhile (a failed check). Unit 1 comes back at step 8.
    const bool reopen = unit1 || !module.PortOpen();
    if (reopen && !Open(unit, unit1)) {
        // A renumbered USB adapter is the usual cause: offer the unit's
        // settings at once, and Next to try again.
        m_view.OfferLineSettings(unit);
        m_view.SetButtons(BUTTON_NEXT);
        return;
    }
    m_apply = {unit1 ? 2 : 1, uart.baud, uart.parity, uart.stopBits, uart.flowControl};
    m_nApplyReruns = 0;
    if (unit1) {
        // Unit 1 comes back on the cable: check it is unit 1, and idle,
        // before anything is stored (the status result starts the apply).
        Start(Job::Status);
    } else if (!reopen && module.LinkState() == LINK_CONNECTED) {
        // Still linked from step 5 and in data mode: the mode command would go
        // to the other unit. Escape and hang up first; the disconnect job runs
        // the apply after it.
        m_applyAfterHangUp = true;
        Start(Job::Disconnect);
    } else {
        Start(Job::Apply);
    }
}

void CPairingFlow::SearchControl(bool start) {
    if (m_bCancelled) {
        return;
    }
    if (m_view.ActiveStep() == STEP_CONNECTION) {
        if (start) {
            UserActs();
            // After a failed check or a lost device the port is closed: unit 2
            // is still attached.
            if (m_jobs != nullptr && !EnsureOpen(UNIT_2)) {
                m_view.EnableSearchButton(true);
                m_view.SetButtons(BUTTON_BACK);
                return;
            }
            m_view.BeginSearchDisplay();
            if (m_jobs != nullptr) {
                Start(Job::Inquiry);
            }
        } else {
            m_view.EndSearchDisplay();
            if (m_jobs != nullptr) {
                m_jobs->Abort();
            }
        }
    }
    m_view.EnableSearchButton(true);
}

void CPairingFlow::ConnectControl(bool connect) {
    if (m_bCancelled) {
        return;
    }
    if (m_view.ActiveStep() == STEP_CONNECTION && m_jobs != nullptr) {
        if (connect) {
            UserActs();
            const std::string& target = m_target;
            if (SameAddress(target, m_jobs->Address())) {
                // Dialling its own address could only fail, or worse.
                m_view.EndConnecting(3);
                Fail(Failure::Refused, FormatString(IDS_CONNECT_SELF, {target}));
                m_view.EnableConnectButtons();
                return;
            }
            if (!DialableAddress(target)) {
                // "ATD" with anything else could only fail, after a wait.
                m_view.EndConnecting(3);
                Fail(Failure::Refused, LoadString(IDS_PICK_UNIT1));
                m_view.EnableConnectButtons();
                return;
            }
            if (!EnsureOpen(UNIT_2)) {
                m_view.EndConnecting(3);
                m_view.EnableConnectButtons();
                return;
            }
            Start(Job::Connect);
        } else {
            m_jobs->Abort();
        }
    }
    m_view.EnableSearchButton(false);
}

void CPairingFlow::Cancel(int timeoutMs) {
    if (m_jobs == nullptr || m_bCancelled) {
        return;
    }
    m_bCancelled = true;
    m_failure = Failure::Cancelled;
    // Whether its event was taken yet or not, a dial, search or scan whose
    // result has not come in may go on in the module after the port closes;
    // so may one whose cancel job has not reported yet.
    const bool linkJob = m_lastJob == Job::Connect || m_lastJob == Job::Inquiry ||
                         m_lastJob == Job::Scan || m_lastJob == Job::CancelCommand;
    if (linkJob && m_nResults < m_nJobsStarted) {
        m_jobs->StopAndCancel(timeoutMs);
    }
}

} // namespace norva::flow
