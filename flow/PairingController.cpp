#include "flow/PairingController.h"

#include "module/ModuleControl.h"

#include <cstring>

namespace norva::flow {

bool CModuleController::Open(const UnitLine& line, std::string& reason) {
    const int opened =
        line.device.empty()
            ? m_module.OpenPort(line.port, line.baud, line.stopBits, line.parity)
            : m_module.OpenPortPath(line.device, line.baud, line.stopBits, line.parity);
    if (opened != 0) {
        return true;
    }
    const OsError error = m_module.m_port.LastOpenError();
    reason = error.reason;
    if (reason.empty() && error.code != 0) {
        reason = SystemErrorText(error.code);
    }
    return false;
}

void CModuleController::Close() {
    m_module.ClosePort();
}

bool CModuleController::PortOpen() const {
    return m_module.m_port.m_bOpen.load() != 0;
}

void CModuleController::Signal(int slot) {
    m_module.SignalJob(slot);
}

void CModuleController::SetScan(int mode, int timeMs) {
    m_module.m_nScanMode.store(mode);
    m_module.m_nScanTime.store(timeMs);
}

void CModuleController::SetApply(int mode, const UartChoice& uart) {
    m_module.m_nApplyMode.store(mode);
    m_module.m_nApplyBaud.store(uart.baud);
    m_module.m_nApplyParity.store(uart.parity);
    m_module.m_nApplyStopBits.store(uart.stopBits);
    m_module.m_nApplyFlow.store(uart.flowControl);
}

StoredSettings CModuleController::Applied() const {
    return {m_module.m_nApplyMode.load(), m_module.m_nApplyBaud.load(),
            m_module.m_nApplyParity.load(), m_module.m_nApplyStopBits.load(),
            m_module.m_nApplyFlow.load()};
}

std::string CModuleController::TargetAddress() const {
    return m_module.m_strTargetAddr.Get();
}

std::string CModuleController::Address() const {
    return m_module.m_info.Address();
}

int CModuleController::OpMode() const {
    return m_module.m_info.m_nOpMode.load();
}

int CModuleController::LinkState() const {
    return m_module.m_info.m_nLinkState.load();
}

void CModuleController::SetLinkState(int state) {
    m_module.SetLinkState(state);
}

int CModuleController::CurOp() const {
    return m_module.m_nCurOp.load();
}

void CModuleController::SetCurOp(int op) {
    m_module.m_nCurOp.store(op);
}

bool CModuleController::FlowNotStored() const {
    return m_module.m_bFlowNotStored.load();
}

std::string CModuleController::GoneReason() const {
    return m_module.m_port.GoneReason();
}

bool CModuleController::FirmwareBoxShown() const {
    return m_module.m_bFirmwareBoxShown.load();
}

ApplyConfirmation CModuleController::Confirmation() const {
    return m_module.LastConfirmation();
}

int CModuleController::StatusFailure() const {
    return m_module.LastStatusFailure();
}

int CModuleController::ReturnOnline() {
    return m_module.ReturnOnline();
}

int CModuleController::SetOpMode(int timeoutMs, int mode) {
    return m_module.SetOpMode(timeoutMs, mode);
}

void CModuleController::Pause(int ms) {
    SleepUnlessSet(m_module.m_port.GoneEvent(), ms);
}

void CModuleController::StopAndCancel(int timeoutMs) {
    if (!PortOpen()) {
        return;
    }
    // Closing the port alone would leave the unit dialling or searching: end
    // the job and tell the module, bounded so that closing stays quick. The
    // stop also covers a job whose event was set but not yet taken.
    m_module.StopWorker();
    m_module.JobEvent(EV_STOP)->Reset();
    m_module.CancelCommand(timeoutMs);
}

} // namespace norva::flow
