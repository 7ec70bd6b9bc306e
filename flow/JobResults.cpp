// The decision table for finished module jobs: which step comes next, what
// the user is told and which job runs after.

#include "flow/Address.h"
#include "flow/PairingFlow.h"
#include "module/Catalogue.h"
#include "module/Protocol.h"
#include "res/strings/StringTable.h"

namespace norva::flow {

void CPairingFlow::AdvanceAfterJob(int jobId) {
    const int step = m_view.ActiveStep();
    IPairingController& module = *m_jobs;
    if (step == STEP_FIRST && jobId == JOB_STATUS) {
        m_strUnit1Address = module.Address();
        m_unitName[0] = module.Name();
        m_view.ShowStep(STEP_SCAN);
    } else if (step == STEP_SCAN && jobId == JOB_SCAN) {
        m_view.ShowStep(STEP_SCAN_WAIT);
    } else if (step == STEP_SCAN && jobId == JOB_STATUS) {
        // The scan was refused and the unit is idle again: its page turned
        // Next off when the scan began, so Next must come back to retry it.
        m_view.SetButtons(BUTTON_NEXT);
    } else if (step == STEP_SCAN_WAIT && jobId == JOB_STATUS) {
        m_strUnit2Address = module.Address();
        m_unitName[1] = module.Name();
        m_view.ShowStep(STEP_SEARCH);
    } else if (step == STEP_CONNECTION && jobId == JOB_STATUS) {
        // A failed attempt was followed by a check: the user may search or
        // connect again at once.
        m_view.EnableConnectButtons();
        m_view.SetButtons(BUTTON_BACK);
    } else if ((step == STEP_MODE || step == STEP_MODE1) && jobId == JOB_STATUS) {
        // The unit is idle in command mode now (checked, or its link hung up
        // or dropped): store the settings, but not for ever.
        if (m_nApplyReruns >= kMaxApplyReruns) {
            if (Fail(Failure::NotStored, LoadString(IDS_APPLY_NOT_CONFIRMED))) {
                m_view.SetButtons(BUTTON_NEXT);
            }
            return;
        }
        ++m_nApplyReruns;
        Start(Job::Apply);
    }
}

bool CPairingFlow::WrongUnitOnCable() {
    const int step = m_view.ActiveStep();
    const std::string address = m_jobs->Address();
    std::string text;
    if (step == STEP_SCAN_WAIT && SameAddress(address, m_strUnit1Address)) {
        text = FormatString(IDS_UNIT1_AGAIN, {address});
    } else if (step == STEP_MODE1 && !m_strUnit1Address.empty() &&
               !SameAddress(address, m_strUnit1Address)) {
        text = FormatString(IDS_NOT_UNIT1, {address, m_strUnit1Address});
    } else {
        return false;
    }
    if (Fail(Failure::WrongUnit, text)) {
        m_jobs->Close();
        OfferRetry();
    }
    return true;
}

void CPairingFlow::OfferRetry() {
    if (m_view.ActiveStep() == STEP_CONNECTION) {
        // Search and Connect reopen unit 2's port.
        m_view.EndConnecting(3);
        if (m_view.Searching()) {
            m_view.EndSearchDisplay();
        }
        m_view.EnableConnectButtons();
        m_view.SetButtons(BUTTON_BACK);
    } else {
        m_view.SetButtons(BUTTON_NEXT);
    }
}

void CPairingFlow::OnDeviceGone() {
    IPairingController& module = *m_jobs;
    const std::string reason = module.GoneReason();
    module.SetLinkState(LINK_DISCONNECTING);
    // Nothing is under way any more: no dialog or animation may go on as if.
    m_view.EndConnecting(3);
    if (m_view.Searching()) {
        m_view.EndSearchDisplay();
    }
    module.Close();
    if (Fail(Failure::DeviceGone, FormatString(IDS_DEVICE_GONE, {reason}))) {
        OfferRetry();
    }
}

void CPairingFlow::CheckFailed(Failure failure) {
    m_jobs->SetLinkState(LINK_DISCONNECTING);
    if (Fail(failure, LoadString(IDS_COMM_FAILED))) {
        m_jobs->Close();
        OfferRetry();
    }
}

void CPairingFlow::OnJobResult(int code, int jobId) {
    ++m_nResults;
    if (m_jobs == nullptr || m_bCancelled) {
        return;
    }
    if (code == RC_DEVICE_GONE) {
        // Reported once: the port is closed with it, so no later job can find
        // the device gone again.
        OnDeviceGone();
        return;
    }
    switch (jobId) {
    case JOB_CONNECT:
        OnConnectResult(code);
        break;
    case JOB_DISCONNECT:
        OnDisconnectResult(code);
        break;
    case JOB_RESET:
        OnResetResult(code);
        break;
    case JOB_ESCAPE:
        if (code != RC_STOPPED && code != RC_OK) {
            Start(Job::Status);
        }
        break;
    case JOB_STATUS:
        OnStatusResult(code);
        break;
    case JOB_CANCEL_CMD:
        OnCancelResult(code);
        break;
    case JOB_SCAN:
        OnScanResult(code);
        break;
    case JOB_INQUIRY:
        OnInquiryResult(code);
        break;
    case JOB_APPLY:
        OnApplyResult(code);
        break;
    case JOB_SET_MODE:
        if (code != RC_STOPPED) {
            AdvanceAfterJob(JOB_STATUS);
        }
        break;
    case JOB_RETURN_ONLINE:
        OnReturnOnlineResult(code);
        break;
    default:
        break;
    }
}

void CPairingFlow::OnConnectResult(int code) {
    if (code == RC_STOPPED) {
        return;
    }
    if (code == RC_ABORTED) {
        StartCancel(Job::Connect);
    } else if (code == RC_CONNECTED) {
        m_jobs->SetLinkState(LINK_CONNECTED);
        m_view.ShowConnected();
        Next(STEP_CONNECTION);
    } else if (code == RC_ERROR_AFTER_OK || code == RC_TIMEOUT) {
        // A time-out means nothing is under way any more: the dialog must not
        // keep spinning until the user cancels an attempt long over.
        m_view.EndConnecting(2);
        if (Fail(Failure::Refused, LoadString(IDS_CONNECT_TIMEOUT))) {
            Start(Job::Status);
        }
    } else if (code == RC_ERROR || code == RC_OVERFLOW) {
        // An overflowing reply ended the attempt just the same.
        m_view.EndConnecting(3);
        if (Fail(Failure::Refused, LoadString(IDS_CONNECT_FAILED))) {
            Start(Job::Status);
        }
    } else {
        Start(Job::Status);
    }
}

void CPairingFlow::OnDisconnectResult(int code) {
    if (code == RC_DISCONNECTED) {
        if (!m_view.Inform(LoadString(IDS_DISCONNECTED))) {
            return;
        }
        m_jobs->SetLinkState(LINK_STANDBY);
        Start(m_applyAfterHangUp ? Job::Apply : Job::Status);
    } else if (code != RC_STOPPED) {
        // No DISCONNECT came (a link that had dropped already answers the
        // hang-up with ERROR): the check tells how to go on.
        Start(Job::Status);
    }
}

void CPairingFlow::OnResetResult(int code) {
    if (code == RC_ERROR) {
        if (Fail(Failure::Refused, LoadString(IDS_RESET_FAILED))) {
            Start(Job::Status);
        }
    } else if (code == RC_OK || code == RC_DONE) {
        if (m_view.Inform(LoadString(IDS_SETTING_FINISHED))) {
            m_jobs->Close();
        }
    }
}

void CPairingFlow::OnStatusResult(int code) {
    if (code == RC_STOPPED) {
        return;
    }
    IPairingController& module = *m_jobs;
    // The query reports 1 for a status read. A time-out, abort or overflow
    // read nothing either: the fields are stale, and moving on from them could
    // leave the wrong module unchecked.
    if (code == 0 || code == RC_TIMEOUT || code == RC_ABORTED || code == RC_OVERFLOW) {
        const bool refused = code == 0 && module.StatusFailure() == STATUS_REFUSED;
        CheckFailed(refused ? Failure::Refused : Failure::NoAnswer);
        return;
    }
    if (WrongUnitOnCable()) {
        return;
    }
    const int link = module.LinkState();
    if (link == LINK_CONNECTED && m_view.ActiveStep() == STEP_SCAN_WAIT) {
        // A pair configured before: unit 2, powered at step 3 while unit 1 is
        // discoverable, has linked to it by itself. That is the connection
        // steps 4 and 5 would make; hanging it up would leave unit 1 no longer
        // connectable. Back to data mode, and on.
        m_strUnit2Address = module.Address();
        m_unitName[1] = module.Name();
        m_afterOnline = AfterOnline::Linked;
        Start(Job::ReturnOnline);
    } else if (link == LINK_CONNECTED) {
        if (m_nHangups >= kMaxHangups) {
            // The hang-up keeps failing and the link stays up: going round
            // again would never end.
            if (Fail(Failure::Refused, LoadString(IDS_HANGUP_FAILED))) {
                OfferRetry();
            }
            return;
        }
        ++m_nHangups;
        HangUpIfLinked();
    } else if (link == LINK_PENDING) {
        StartCancel(Job::Status);
    } else if (link == LINK_STANDBY) {
        if (module.OpMode() != 0) {
            // A job like any other, so that the thread that shows the
            // steps never waits on the module; its result does not
            // matter, the apply steps set the mode again.
            Start(Job::SetMode);
            return;
        }
        AdvanceAfterJob(JOB_STATUS);
    }
}

std::string CPairingFlow::UnitName(int unit) const {
    const std::string& name = m_unitName[unit == 1 ? 0 : 1];
    return name.empty() ? "Norva-BX0" + std::to_string(unit == 1 ? 1 : 2) : name;
}

std::string UartText(const UartChoice& uart) {
    const char* parity = uart.parity == kEvenParity  ? "even"
                         : uart.parity == kOddParity ? "odd"
                                                     : "none";
    return std::to_string(uart.baud) + "," + parity + "," +
           (uart.stopBits == kTwoStopBits ? "2" : "1") +
           (uart.flowControl != 0 ? ",flow" : ",noflow");
}

std::string CPairingFlow::StoredSummary() const {
    const UiLanguage lang = GetUiLanguage();
    std::string text;
    for (int i = 0; i < 2; ++i) {
        const StoredSettings& s = m_stored[i];
        if (s.mode < 0) {
            continue;
        }
        const std::string& address = i == 0 ? m_strUnit1Address : m_strUnit2Address;
        text += (text.empty() ? "" : "\n") + UnitName(i + 1) +
                (address.empty() ? "" : " (" + address + ")") + ": UART " + UartSettingText(s) +
                ", " + FlowText(s.flow, lang) + ", " + ModeText(s.mode, lang);
    }
    return text;
}

bool CPairingFlow::HangUpIfLinked() {
    if (m_jobs == nullptr || m_jobs->LinkState() != LINK_CONNECTED) {
        return false;
    }
    m_afterOnline = AfterOnline::HangUp;
    Start(Job::ReturnOnline);
    return true;
}

void CPairingFlow::OnReturnOnlineResult(int code) {
    if (code == RC_STOPPED) {
        return;
    }
    if (m_afterOnline == AfterOnline::Linked) {
        m_jobs->SetLinkState(LINK_CONNECTED);
        m_view.ShowStep(STEP_SUCCESS);
    } else {
        Start(Job::Disconnect);
    }
}

void CPairingFlow::OnCancelResult(int code) {
    if (code == RC_STOPPED) {
        return;
    }
    IPairingController& module = *m_jobs;
    if (code != RC_OK) {
        Start(Job::Status);
        return;
    }
    const std::optional<Job> ended = m_cancelledJob;
    m_cancelledJob.reset();
    if (ended != Job::Inquiry && ended != Job::Scan && ended != Job::Connect &&
        ended != Job::Status) {
        return;
    }
    module.SetLinkState(LINK_STANDBY);
    if (ended == Job::Inquiry) {
        m_view.EndSearchDisplay();
    } else if (ended == Job::Connect) {
        m_view.EnableConnectButtons();
    } else if (ended == Job::Status) {
        AdvanceAfterJob(JOB_STATUS);
    }
}

void CPairingFlow::OnScanResult(int code) {
    if (code == RC_ABORTED) {
        StartCancel(Job::Scan);
    } else if (code == RC_OK) {
        AdvanceAfterJob(JOB_SCAN);
    } else if (code == RC_ERROR) {
        if (Fail(Failure::Refused, LoadString(IDS_SCAN_ERROR))) {
            Start(Job::Status);
        }
    } else if (code == RC_TIMEOUT || code == RC_OVERFLOW) {
        // The module confirms a scan at once: one that did not is not
        // answering, as after a failed check.
        CheckFailed(Failure::NoAnswer);
    }
}

void CPairingFlow::OnInquiryResult(int code) {
    if (code == RC_STOPPED) {
        return;
    }
    if (code == RC_ABORTED) {
        StartCancel(Job::Inquiry);
    } else if (code != RC_DONE) {
        Start(Job::Status);
    }
    if (m_view.ActiveStep() == STEP_CONNECTION) {
        m_view.EndSearchDisplay();
    }
}

void CPairingFlow::OnApplyResult(int code) {
    IPairingController& module = *m_jobs;
    const int step = m_view.ActiveStep();
    // The apply a hang-up chained has run.
    m_applyAfterHangUp = false;
    if (code == RC_DONE && module.FlowNotStored()) {
        // Old firmware kept flow control on: the setting asked for was not
        // stored, so the step is not done. Where the firmware box has said
        // so already, the page shows what to do instead of a second box.
        const std::string text = LoadString(IDS_FLOW_NOT_STORED);
        m_failure = Failure::NotStored;
        if (module.FirmwareBoxShown()) {
            m_view.Note(text);
            m_view.SetButtons(BUTTON_NEXT);
        } else if (m_view.Say(text)) {
            m_view.SetButtons(BUTTON_NEXT);
        }
    } else if (code == RC_DONE) {
        const StoredSettings applied = module.Applied();
        const std::string note = ConfirmationText(UnitName(step == STEP_MODE1 ? 1 : 2), applied,
                                                  module.Confirmation(), GetUiLanguage());
        if (step == STEP_MODE || step == STEP_MODE1) {
            m_stored[step == STEP_MODE1 ? 0 : 1] = applied;
        }
        if (step == STEP_MODE) {
            m_view.ShowStep(STEP_MODE1);
        } else if (step == STEP_MODE1) {
            m_view.ShowStep(STEP_MODE_SUCCESS);
        }
        m_view.Note(note);
    } else if (code == RC_TIMEOUT) {
        // Perhaps still linked, in data mode: the check hangs up, and the
        // hang-up makes way for this apply again.
        m_applyAfterHangUp = true;
        Start(Job::Status);
    } else if (code != RC_OK) {
        if (Fail(Failure::Refused, ApplyFailureText(module.LastStep()))) {
            m_view.SetButtons(BUTTON_NEXT);
        }
    }
}

} // namespace norva::flow
