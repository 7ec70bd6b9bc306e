// `norvactl apply`: step 7 of the pairing flow on the open port: the apply,
// and when the module does not hear it (still linked in data mode) the check,
// the hang-up and the apply again, as the wizard does it.

#include "flow/PairVerify.h"
#include "flow/PairingController.h"
#include "flow/PairingFlow.h"
#include "tools/PairView.h"
#include "tools/Session.h"
#include "tools/Subcommand.h"

namespace norva::tools {
namespace {

// `apply` stores the mode the user names, not the pairing's mode of step 7.
class ApplyController : public flow::PairingJobs {
public:
    ApplyController(CModuleControl& module, int mode) : PairingJobs(module), m_mode(mode) {}
    void Start(const JobRequest& request) override {
        JobRequest asked = request;
        if (asked.apply) {
            asked.apply->mode = m_mode;
        }
        PairingJobs::Start(asked);
    }

private:
    int m_mode;
};

class ApplyCommand : public ModuleCommand {
public:
    void AddOptions(Subcommand& sub, CommonOptions& /*common*/) override {
        sub.add_option("--mode", m_mode, "operation mode to store, 0..3")
            .transform(IntIn(0, 3, "a mode"))
            .type_name("N")
            .required();
        sub.add_option("--baud", m_uart.baud, "the module's new baud rate")
            .transform(ModuleBaud())
            .type_name("RATE")
            .required();
        sub.add_option("--parity", m_uart.parity, "the module's new parity: none or even")
            .transform(ModuleParityName())
            .type_name("P")
            .required();
        sub.add_option("--stop", m_uart.stopBits, "the module's new stop bits: 1 or 2")
            .transform(StopBits())
            .type_name("S")
            .required();
        sub.add_flag("--no-flow", m_noFlow, "no hardware flow control");
        sub.add_flag("--verify", m_verify,
                     "afterwards restart the unit and check its status at the new setting");
    }

private:
    int RunOn(Session& s) override;
    int VerifyApplied(Session& s, const PairSetup& setup) const;

    int m_mode = -1;
    flow::UartChoice m_uart{-1, -1, -1, 1};
    bool m_noFlow = false;
    bool m_verify = false; // restart the unit and read its status back
};

int ApplyCommand::RunOn(Session& s) {
    const CommonOptions& opt = s.Options();
    PairSetup setup;
    setup.line[1].port = opt.comPort;
    setup.line[1].device = opt.device;
    setup.line[1].baud = opt.baud;
    setup.line[1].parity = static_cast<uint8_t>(opt.parity);
    setup.line[1].stopBits = static_cast<uint8_t>(opt.stopBits);
    setup.uart[1] = m_uart;
    setup.uart[1].flowControl = m_noFlow ? 0 : 1;
    ProgressOutput out(stderr);
    PairView view(setup, out, "note: ");
    ApplyController controller(s.Module(), m_mode);
    flow::CPairingFlow flow(view);
    flow.Attach(&controller);
    // No status has been read in this run: flow control counts as not
    // reported until a status job says otherwise.
    s.Module().AssumeFlowControl(1);
    view.ShowStep(flow::STEP_MODE);
    flow.Next(flow::STEP_MODE);
    JobResult last{RC_OK, JOB_APPLY};
    for (uint64_t results = 0; flow.JobsStarted() > results; ++results) {
        std::optional<JobResult> r = s.Await({JOB_APPLY, JOB_STATUS, JOB_DISCONNECT, JOB_ESCAPE,
                                              JOB_CANCEL_CMD, JOB_RETURN_ONLINE, JOB_SET_MODE},
                                             -1);
        if (!r || s.Interrupted()) {
            return kExitInterrupted;
        }
        last = *r;
        flow.OnJobResult(r->code, r->jobId);
    }
    if (const std::string note = view.TakeNote(); !note.empty()) {
        view.Print(note);
    }
    const bool ok = view.ActiveStep() == flow::STEP_MODE1;
    if (ok && s.Module().LastConfirmation().statusRead) {
        // What the module reported after the commands.
        s.Report().SetStatus(s.Module().LastStatus());
    }
    if (ok && m_verify) {
        return VerifyApplied(s, setup);
    }
    const int rc = s.Finish(last.jobId, last.code, ok);
    if (rc == kExitFailed && !view.LastMessage().empty()) {
        s.SetError(view.LastMessage());
    }
    return rc;
}

// The unit restarts so that the stored settings take effect, and its status
// at the new UART setting must show them.
int ApplyCommand::VerifyApplied(Session& s, const PairSetup& setup) const {
    using flow::VerifyOutcome;
    s.Module().ClosePort();
    flow::UnitToVerify unit;
    unit.unit = 2;
    unit.comPort = setup.line[1].port;
    unit.devicePath = setup.line[1].device;
    unit.now = {static_cast<int>(setup.line[1].baud), setup.line[1].parity, setup.line[1].stopBits};
    unit.stored = {setup.uart[1].baud, setup.uart[1].parity, setup.uart[1].stopBits};
    unit.askedMode = m_mode;
    unit.askedFlow = setup.uart[1].flowControl;
    const flow::UnitVerifyResult r =
        flow::CheckStoredAfterRestart(unit, s.Signals().Signalled(), {});
    if (r.outcome == VerifyOutcome::Cancelled) {
        return kExitInterrupted;
    }
    if (r.Verified()) {
        s.AddNote("after a restart the status shows mode " + std::to_string(r.mode) +
                  (r.flow < 0 ? "" : (r.flow != 0 ? " and HWFC" : " and NoFC")));
        return s.Finish(JOB_APPLY, RC_DONE, true);
    }
    // The result line says what the apply did; the error, what the restart showed.
    const bool notStored = r.outcome == VerifyOutcome::NotStored;
    s.Finish(JOB_APPLY, notStored ? RC_NOT_STORED : RC_DONE, true);
    s.SetError(OneLine(flow::DescribeUnitResult(r)));
    if (notStored) {
        return ExitFor(flow::Failure::NotStored);
    }
    return ExitFor(r.outcome == VerifyOutcome::CannotOpen   ? flow::Failure::PortFailed
                   : r.outcome == VerifyOutcome::DeviceGone ? flow::Failure::DeviceGone
                                                            : flow::Failure::NoAnswer);
}

} // namespace

const CommandRegistration kApplyCommand{
    130,
    {"apply", "store operation mode and UART setting as the wizard does (apply job)",
     " (--port COMn | --device PATH) [--port-baud RATE] [--port-parity P] [--port-stop S]"
     " --mode N --baud RATE --parity P --stop S [--no-flow] [--verify]",
     "After 'apply', --baud, --parity and --stop are the module's new UART setting;\n"
     "the port's own settings go before the command or as --port-baud,\n"
     "--port-parity and --port-stop. A module may show a new mode or flow control\n"
     "in its status only after a restart: --verify restarts it, reads the status\n"
     "at the new UART setting and fails when it shows other values.\n",
     PortOptions::LineLong, OutputOptions::JsonAndLog, Make<ApplyCommand>}};

} // namespace norva::tools
