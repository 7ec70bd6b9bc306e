#pragma once
// What the pairing flow asks of the module controller: ports, jobs and the
// module's last known state. PairingJobs is the real one; the flow's
// tests script one.

#include "flow/PairingView.h"
#include "module/Job.h"
#include "module/ReadBack.h"

#include <string>

namespace norva {
class CModuleControl;
}

namespace norva::flow {

class IPairingController {
public:
    virtual ~IPairingController() = default;

    // Opens the port for `line` and starts the worker; on failure `reason`
    // says why, as the user can act on it.
    virtual bool Open(const UnitLine& line, std::string& reason) = 0;
    virtual void Close() = 0;
    virtual bool PortOpen() const = 0;
    // Starts a job with everything it needs.
    virtual void Start(const JobRequest& request) = 0;
    // Ends the job under way.
    virtual void Abort() = 0;
    // What the apply job is to store, as the last apply request left it.
    virtual StoredSettings Applied() const = 0;

    virtual std::string Address() const = 0;
    // The name the unit's status gives (its owner may have set it); empty when none was read.
    virtual std::string Name() const = 0;
    virtual int OpMode() const = 0;
    virtual int LinkState() const = 0;
    virtual void SetLinkState(int state) = 0;
    // The step (OpCode) under way when the last job ended.
    virtual int LastStep() const = 0;
    // The last apply used the short UART form while no flow control was asked.
    virtual bool FlowNotStored() const = 0;
    // The last apply told the user of the firmware mismatch in a box.
    virtual bool FirmwareBoxShown() const = 0;
    // What the status read after the last apply showed of its settings.
    virtual ApplyConfirmation Confirmation() const = 0;
    // Why the last status query read nothing (StatusFailure).
    virtual int StatusFailure() const = 0;
    virtual std::string GoneReason() const = 0;

    // Stops the worker and tells the module to stop dialling, searching or
    // scanning ("AT+BTCANCEL"), bounded.
    virtual void StopAndCancel(int timeoutMs) = 0;
};

// The pairing's jobs as one CModuleControl runs them: what the flow drives.
class PairingJobs : public IPairingController {
public:
    explicit PairingJobs(CModuleControl& module) : m_module(module) {}

    bool Open(const UnitLine& line, std::string& reason) override;
    void Close() override;
    bool PortOpen() const override;
    void Start(const JobRequest& request) override;
    void Abort() override;
    StoredSettings Applied() const override;
    std::string Address() const override;
    std::string Name() const override;
    int OpMode() const override;
    int LinkState() const override;
    void SetLinkState(int state) override;
    int LastStep() const override;
    bool FlowNotStored() const override;
    bool FirmwareBoxShown() const override;
    ApplyConfirmation Confirmation() const override;
    int StatusFailure() const override;
    std::string GoneReason() const override;
    void StopAndCancel(int timeoutMs) override;

private:
    CModuleControl& m_module;
};

} // namespace norva::flow
