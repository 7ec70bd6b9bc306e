#include "flow/PairingController.h"

#include "module/ModuleControl.h"

namespace norva::flow {

bool PairingJobs::Open(const UnitLine& line, std::string& reason) {
    const int opened =
        line.device.empty()
            ? m_module.OpenPort(line.port, line.baud, line.stopBits, line.parity)
            : m_module.OpenPortPath(line.device, line.baud, line.stopBits, line.parity);
    if (opened != 0) {
        return true;
    }
    const OsError error = m_module.LastOpenError();
    reason = error.reason;
    if (reason.empty() && error.code != 0) {
        reason = SystemErrorText(error.code);
    }
    return false;
}

void PairingJobs::Close() {
    m_module.ClosePort();
}

bool PairingJobs::PortOpen() const {
    return m_module.PortOpen();
}

void PairingJobs::Start(const JobRequest& request) {
    m_module.Start(request);
}

void PairingJobs::Abort() {
    m_module.Abort();
}

StoredSettings PairingJobs::Applied() const {
    return m_module.ApplySettings();
}

std::string PairingJobs::Address() const {
    return m_module.LastStatus().Address();
}

std::string PairingJobs::Name() const {
    return m_module.LastStatus().Name();
}

int PairingJobs::OpMode() const {
    return m_module.LastStatus().m_nOpMode;
}

int PairingJobs::LinkState() const {
    return m_module.LastStatus().m_nLinkState;
}

void PairingJobs::SetLinkState(int state) {
    m_module.SetLinkState(state);
}

int PairingJobs::LastStep() const {
    return m_module.LastOutcome().step;
}

bool PairingJobs::FlowNotStored() const {
    return m_module.LastApply().flowNotStored;
}

std::string PairingJobs::GoneReason() const {
    return m_module.GoneReason();
}

bool PairingJobs::FirmwareBoxShown() const {
    return m_module.LastApply().firmwareBoxShown;
}

ApplyConfirmation PairingJobs::Confirmation() const {
    return m_module.LastConfirmation();
}

int PairingJobs::StatusFailure() const {
    return m_module.LastOutcome().statusFailure;
}

void PairingJobs::StopAndCancel(int timeoutMs) {
    if (!PortOpen()) {
        return;
    }
    // Closing the port alone would leave the unit dialling or searching: end
    // the job and tell the module, bounded so that closing stays quick. The
    // stop also covers a job whose event was set but not yet taken.
    m_module.TalkDirectly();
    m_module.CancelCommand(timeoutMs);
}

} // namespace norva::flow
