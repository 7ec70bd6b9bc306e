#include "flow/PairingController.h"

#include "module/ModuleControl.h"

#include <cstring>

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

void PairingJobs::Signal(int slot) {
    m_module.SignalJob(slot);
}

void PairingJobs::SetScan(int mode, int timeMs) {
    m_module.m_nScanMode.store(mode);
    m_module.m_nScanTime.store(timeMs);
}

void PairingJobs::SetApply(int mode, const UartChoice& uart) {
    m_module.m_nApplyMode.store(mode);
    m_module.m_nApplyBaud.store(uart.baud);
    m_module.m_nApplyParity.store(uart.parity);
    m_module.m_nApplyStopBits.store(uart.stopBits);
    m_module.m_nApplyFlow.store(uart.flowControl);
}

StoredSettings PairingJobs::Applied() const {
    return {m_module.m_nApplyMode.load(), m_module.m_nApplyBaud.load(),
            m_module.m_nApplyParity.load(), m_module.m_nApplyStopBits.load(),
            m_module.m_nApplyFlow.load()};
}

std::string PairingJobs::TargetAddress() const {
    return m_module.m_strTargetAddr.Get();
}

std::string PairingJobs::Address() const {
    return m_module.m_info.Address();
}

int PairingJobs::OpMode() const {
    return m_module.m_info.m_nOpMode.load();
}

int PairingJobs::LinkState() const {
    return m_module.m_info.m_nLinkState.load();
}

void PairingJobs::SetLinkState(int state) {
    m_module.SetLinkState(state);
}

int PairingJobs::CurOp() const {
    return m_module.m_nCurOp.load();
}

void PairingJobs::SetCurOp(int op) {
    m_module.m_nCurOp.store(op);
}

bool PairingJobs::FlowNotStored() const {
    return m_module.m_bFlowNotStored.load();
}

std::string PairingJobs::GoneReason() const {
    return m_module.GoneReason();
}

bool PairingJobs::FirmwareBoxShown() const {
    return m_module.m_bFirmwareBoxShown.load();
}

ApplyConfirmation PairingJobs::Confirmation() const {
    return m_module.LastConfirmation();
}

int PairingJobs::StatusFailure() const {
    return m_module.LastStatusFailure();
}

int PairingJobs::ReturnOnline() {
    return m_module.ReturnOnline();
}

int PairingJobs::SetOpMode(int timeoutMs, int mode) {
    return m_module.SetOpMode(timeoutMs, mode);
}

void PairingJobs::Pause(int ms) {
    SleepUnlessSet(m_module.GoneEvent(), ms);
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
