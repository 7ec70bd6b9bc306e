#include "tools/Session.h"

#include "flow/PairVerify.h"
#include "flow/PairingController.h"
#include "flow/PairingFlow.h"
#include "platform/Console.h"
#include "tools/ExitCodes.h"
#include "tools/PairView.h"
#include "tools/Timing.h"
#include "tools/ToolHost.h"
#include "tools/TraitsCommand.h"

#include <array>
#include <cerrno>
#include <chrono>
#include <system_error>

namespace norva::tools {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kCancelAfterSignalMs = timing::kCancelAfterSignalMs;

// The status job reports kStatusRead for a status read and 0 for none.
std::string ResultName(int jobId, int code) {
    if (jobId == JOB_STATUS && StatusWasRead(code)) {
        return "STATUS_READ";
    }
    if (jobId == JOB_STATUS && code == 0) {
        return "STATUS_NOT_READ";
    }
    return ResultCodeName(code);
}

} // namespace

Session::Session(const CliOptions& opt)
    : m_opt(opt), m_host(!opt.json, !opt.json && StderrIsTerminal()), m_module(&m_host),
      m_report(opt.command) {}

Session::~Session() {
    m_module.ClosePort();
    m_module.SetTranscript(nullptr);
    m_signals.Stop();
    if (m_logFile != nullptr) {
        std::fclose(m_logFile);
    }
}

bool Session::StartTranscripts() {
    if (!m_opt.logPath.empty()) {
        m_logFile = std::fopen(m_opt.logPath.c_str(), "ae");
        if (m_logFile == nullptr) {
            m_error = "cannot write the log " + m_opt.logPath + ": " +
                      std::generic_category().message(errno);
            return false;
        }
        m_logWriter = std::make_unique<CTranscriptWriter>(m_logFile);
        m_transcript.Add(m_logWriter.get());
    }
    if (m_opt.verbose) {
        m_stderrWriter = std::make_unique<CTranscriptWriter>(stderr);
        m_transcript.Add(m_stderrWriter.get());
    }
    if (!m_transcript.Empty()) {
        // Before the open, so that the open is the transcript's first line.
        m_module.SetTranscript(&m_transcript);
    }
    return true;
}

int Session::OpenPort() {
    int opened = 0;
    const auto baud = m_opt.baud;
    const auto stop = static_cast<uint8_t>(m_opt.stopBits);
    const auto parity = static_cast<uint8_t>(m_opt.parity);
    if (!m_opt.device.empty()) {
        opened = m_module.OpenPortPath(m_opt.device, baud, stop, parity);
    } else {
        opened = m_module.OpenPort(m_opt.comPort, baud, stop, parity);
    }
    if (opened != 0) {
        return kExitOk;
    }
    const OsError err = m_module.LastOpenError();
    m_error = "Serial port open failed.";
    if (!err.reason.empty()) {
        m_error += " " + err.reason;
    } else if (m_module.PortOpen()) {
        m_error += " The device-job worker could not be started.";
    }
    return kExitPortFailed;
}

int Session::Run() {
    int rc = StartTranscripts() ? OpenPort() : kExitUsage;
    if (rc == kExitOk) {
        m_signals.Start(&m_module);
        rc = RunCommand();
        if (Interrupted() && rc != kExitPortFailed) {
            rc = m_signals.ExitCode();
            m_error = m_signals.Describe();
        } else if (rc == kExitInterrupted && m_error.empty()) {
            m_error = "interrupted";
        }
    }
    m_module.ClosePort();
    m_signals.Stop();
    if (!m_error.empty()) {
        std::fprintf(stderr, "norvactl: %s\n", m_error.c_str());
    }
    if (m_opt.json) {
        std::printf("%s\n", m_report.Dump(rc, m_error).c_str());
    }
    std::fflush(stdout);
    return rc;
}

int Session::RunCommand() {
    const std::string& cmd = m_opt.command;
    if (cmd == "status") {
        return Status();
    }
    if (cmd == "escape") {
        return SimpleJob(JobRequest::Of(Job::Escape));
    }
    if (cmd == "cancel") {
        return SimpleJob(JobRequest::Of(Job::CancelCommand));
    }
    if (cmd == "scan") {
        return SimpleJob(JobRequest::ScanWith({m_opt.scanMode, m_opt.scanTime}));
    }
    if (cmd == "inquiry") {
        return Inquiry();
    }
    if (cmd == "connect") {
        return SimpleJob(JobRequest::ConnectTo(m_opt.address));
    }
    if (cmd == "disconnect") {
        return Disconnect();
    }
    if (cmd == "apply") {
        return Apply();
    }
    if (cmd == "read-sreg") {
        return SimpleJob(JobRequest::ReadRegisterNo(m_opt.reg));
    }
    if (cmd == "reset") {
        return SimpleJob(JobRequest::Of(Job::Reset));
    }
    if (cmd == "traits") {
        return MeasureTraits(m_module, m_opt, m_report, m_error);
    }
    return Direct();
}

JobWaitRules Session::WaitRules(int limitMs) {
    JobWaitRules rules;
    rules.limitMs = limitMs;
    rules.wake = m_signals.Notice();
    // Only a signal that arrives during this wait aborts what it waits for.
    rules.interrupted = [this, before = m_signals.Count()] { return m_signals.Count() > before; };
    rules.giveUp = [this] { return m_signals.Count() > 1; };
    return rules;
}

std::optional<JobResult> Session::RunJob(const JobRequest& request, int limitMs) {
    if (Interrupted()) {
        return std::nullopt;
    }
    const JobWaitEnd end = norva::RunJob(m_module, m_host.Results(), request, WaitRules(limitMs));
    m_limitReached = m_limitReached || end.limitReached;
    return end.result;
}

std::optional<JobResult> Session::Await(const std::vector<int>& ids, int limitMs) {
    const JobWaitEnd end = AwaitJob(m_module, m_host.Results(), ids, WaitRules(limitMs));
    m_limitReached = m_limitReached || end.limitReached;
    return end.result;
}

bool Session::CancelAfterAbort() {
    if (m_signals.Count() > 1 || Gone()) {
        return false;
    }
    const bool interrupted = Interrupted();
    m_module.Start(JobRequest::Of(Job::CancelCommand));
    std::optional<JobResult> r = Await({JOB_CANCEL_CMD}, interrupted ? kCancelAfterSignalMs : -1);
    return r && r->code == RC_OK;
}

void Session::PrintStatus() {
    const ModuleInfoData s = m_module.LastStatus();
    std::printf("address: %s\nname: %s\nmode: %d\nlink: %s\nflags: %d %d\nflow-control: %s\n",
                s.m_szAddress, s.m_szName, s.m_nOpMode, LinkName(s.m_nLinkState), s.m_nInfoFlag5,
                s.m_nInfoFlag6, s.m_nFlowControl == 1 ? "HWFC" : "NoFC");
}

int Session::Finish(int jobId, int code, bool ok, const std::string& text) {
    const std::string name = ResultName(jobId, code);
    m_report.SetResult(jobId, code, name);
    // Status data only for a status actually read, never for one that timed out.
    const bool statusRead = jobId == JOB_STATUS && StatusWasRead(code);
    if (statusRead) {
        m_report.SetStatus(m_module.LastStatus());
    }
    if (m_opt.command == "inquiry") {
        m_report.SetDevices(m_host.Rows());
    }
    if (!m_opt.json) {
        std::printf("result: %s (%d)\n%s", name.c_str(), code, text.c_str());
        if (statusRead && m_opt.command == "status") {
            PrintStatus();
        }
    }
    std::fflush(stdout);
    return ok ? kExitOk : Failure(jobId, code);
}

std::string NoAnswerText(const std::string& what) {
    return what + ". Check that it is powered and that the port's settings (--baud, --parity, "
                  "--stop) match the module's UART setting; 'norvactl detect' finds the "
                  "setting it answers at.";
}

int Session::NoAnswer(const std::string& what) {
    m_error = NoAnswerText(what);
    return kExitNoAnswer;
}

int Session::Failure(int jobId, int code) {
    if (code == RC_DEVICE_GONE || Gone()) {
        m_error = m_module.GoneReason();
        if (m_error.empty()) {
            m_error = m_module.DevicePath() + " went away";
        }
        return kExitPortFailed;
    }
    if (Interrupted() || code == RC_ABORTED || code == RC_STOPPED) {
        return kExitInterrupted;
    }
    if (jobId == JOB_STATUS && code == 0) {
        switch (m_module.LastOutcome().statusFailure) {
        case STATUS_REFUSED:
            m_error = "the module answered ERROR to the status query: it is there but refuses "
                      "commands (it may be busy with a link or a search)";
            return kExitFailed;
        case STATUS_UNREADABLE:
            return NoAnswer("the module's reply to the status query could not be read");
        case STATUS_INTERRUPTED:
            return kExitInterrupted;
        default:
            return NoAnswer("the module did not answer");
        }
    }
    if (code == RC_TIMEOUT) {
        return NoAnswer("the module did not answer");
    }
    m_error = m_opt.command + " failed: " + ResultName(jobId, code);
    return kExitFailed;
}

int Session::Status() {
    std::optional<JobResult> r = RunJob(JobRequest::Of(Job::Status));
    if (!r) {
        return kExitInterrupted;
    }
    return Finish(JOB_STATUS, r->code, StatusWasRead(r->code));
}

int Session::SimpleJob(const JobRequest& request) {
    const int jobId = IdOf(request.job);
    std::optional<JobResult> r = RunJob(request);
    if (!r) {
        return kExitInterrupted;
    }
    bool ok = r->code == RC_OK;
    std::string text;
    if (jobId == JOB_CONNECT) {
        ok = r->code == RC_CONNECTED;
    } else if (jobId == JOB_RESET) {
        ok = r->code == RC_OK || r->code == RC_DONE;
    } else if (jobId == JOB_READ_SREG && ok) {
        const std::string value = m_module.RegisterValue();
        m_report.SetValue(value);
        text = "S" + std::to_string(m_opt.reg) + ": " + value + "\n";
    }
    if (r->code == RC_ABORTED && (jobId == JOB_CONNECT || jobId == JOB_SCAN)) {
        CancelAfterAbort();
    }
    return Finish(jobId, r->code, ok, text);
}

int Session::Inquiry() {
    std::optional<JobResult> r = RunJob(JobRequest::Of(Job::Inquiry), m_opt.inquiryTimeoutMs);
    if (!r) {
        return kExitInterrupted;
    }
    if (r->code == RC_ABORTED) {
        const bool cancelled = CancelAfterAbort();
        if (m_limitReached && !Interrupted()) {
            // The search was ended by --timeout, as the user asked.
            m_report.SetTimeLimitReached();
            return Finish(JOB_INQUIRY, r->code, cancelled,
                          "search stopped after " + std::to_string(m_opt.inquiryTimeoutMs) +
                              " ms\n");
        }
    }
    return Finish(JOB_INQUIRY, r->code, r->code == RC_DONE);
}

// As the wizard does for a connected module: read the status, then the
// pairing flow's own row returns the link online, escapes and hangs up.
int Session::Disconnect() {
    std::optional<JobResult> s = RunJob(JobRequest::Of(Job::Status));
    if (!s) {
        return kExitInterrupted;
    }
    if (!StatusWasRead(s->code)) {
        return Finish(JOB_STATUS, s->code, false);
    }
    PairSetup setup;
    ProgressOutput out(stderr);
    PairView view(setup, out, "note: ");
    flow::PairingJobs controller(m_module);
    flow::CPairingFlow flow(view);
    flow.Attach(&controller);
    if (!flow.HangUpIfLinked()) {
        m_report.SetResult(JOB_STATUS, s->code, ResultName(JOB_STATUS, s->code));
        m_report.SetStatus(m_module.LastStatus());
        if (!m_opt.json) {
            std::printf("not connected (link: %s)\n", LinkName(m_module.LastStatus().m_nLinkState));
        }
        return kExitOk;
    }
    // The flow's return to data mode is a job of its own; its result starts the hang-up.
    std::optional<JobResult> r = Await({JOB_RETURN_ONLINE}, -1);
    if (!r) {
        return kExitInterrupted;
    }
    flow.OnJobResult(r->code, r->jobId);
    if (flow.JobsStarted() < 2) {
        // The line went away under it: no hang-up follows.
        return Finish(r->jobId, r->code, false);
    }
    r = Await({JOB_DISCONNECT, JOB_ESCAPE}, -1);
    if (!r) {
        return kExitInterrupted;
    }
    return Finish(r->jobId, r->code, r->jobId == JOB_DISCONNECT && r->code == RC_DISCONNECTED);
}

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

} // namespace

// Step 7 of the pairing flow on the open port: the apply, and when the module
// does not hear it (still linked in data mode) the check, the hang-up and the
// apply again, as the wizard does it.
int Session::Apply() {
    PairSetup setup;
    setup.line[1].port = m_opt.comPort;
    setup.line[1].device = m_opt.device;
    setup.line[1].baud = m_opt.baud;
    setup.line[1].parity = static_cast<uint8_t>(m_opt.parity);
    setup.line[1].stopBits = static_cast<uint8_t>(m_opt.stopBits);
    setup.uart[1] = {m_opt.applyBaud, m_opt.applyParity, m_opt.applyStopBits, m_opt.noFlow ? 0 : 1};
    ProgressOutput out(stderr);
    PairView view(setup, out, "note: ");
    ApplyController controller(m_module, m_opt.applyMode);
    flow::CPairingFlow flow(view);
    flow.Attach(&controller);
    // No status has been read in this run: flow control counts as not
    // reported until a status job says otherwise.
    m_module.AssumeFlowControl(1);
    view.ShowStep(flow::STEP_MODE);
    flow.Next(flow::STEP_MODE);
    JobResult last{RC_OK, JOB_APPLY};
    for (uint64_t results = 0; flow.JobsStarted() > results; ++results) {
        std::optional<JobResult> r = Await({JOB_APPLY, JOB_STATUS, JOB_DISCONNECT, JOB_ESCAPE,
                                            JOB_CANCEL_CMD, JOB_RETURN_ONLINE, JOB_SET_MODE},
                                           -1);
        if (!r || Interrupted()) {
            return kExitInterrupted;
        }
        last = *r;
        flow.OnJobResult(r->code, r->jobId);
    }
    if (const std::string note = view.TakeNote(); !note.empty()) {
        view.Print(note);
    }
    const bool ok = view.ActiveStep() == flow::STEP_MODE1;
    if (ok && m_module.LastConfirmation().statusRead) {
        // What the module reported after the commands.
        m_report.SetStatus(m_module.LastStatus());
    }
    if (ok && m_opt.applyVerify) {
        return VerifyApplied(setup);
    }
    const int rc = Finish(last.jobId, last.code, ok);
    if (rc == kExitFailed && !view.LastMessage().empty()) {
        m_error = view.LastMessage();
    }
    return rc;
}

// apply --verify: the unit restarts so that the stored settings take effect,
// and its status at the new UART setting must show them.
int Session::VerifyApplied(const PairSetup& setup) {
    m_module.ClosePort();
    flow::UnitToVerify unit;
    unit.unit = 2;
    unit.comPort = setup.line[1].port;
    unit.devicePath = setup.line[1].device;
    unit.now = {static_cast<int>(setup.line[1].baud), setup.line[1].parity, setup.line[1].stopBits};
    unit.stored = {setup.uart[1].baud, setup.uart[1].parity, setup.uart[1].stopBits};
    unit.askedMode = m_opt.applyMode;
    unit.askedFlow = setup.uart[1].flowControl;
    const flow::UnitVerifyResult r = flow::CheckStoredAfterRestart(unit, m_signals.Signalled(), {});
    if (r.outcome == flow::VerifyOutcome::Cancelled) {
        return kExitInterrupted;
    }
    if (r.Verified()) {
        std::fprintf(stderr, "norvactl: after a restart the status shows mode %d%s\n", r.mode,
                     r.flow < 0 ? "" : (r.flow != 0 ? " and HWFC" : " and NoFC"));
        return Finish(JOB_APPLY, RC_DONE, true);
    }
    // The result line says what the apply did; the error, what the restart showed.
    const bool notStored = r.outcome == flow::VerifyOutcome::NotStored;
    Finish(JOB_APPLY, notStored ? RC_NOT_STORED : RC_DONE, true);
    m_error = OneLine(flow::DescribeUnitResult(r));
    if (notStored) {
        return kExitFailed;
    }
    const bool portFailed = r.outcome == flow::VerifyOutcome::CannotOpen ||
                            r.outcome == flow::VerifyOutcome::DeviceGone;
    return portFailed ? kExitPortFailed : kExitNoAnswer;
}

// Transactions that have no job of their own run on this thread, the way the
// wizard sends its direct mode command. The worker is stopped first: an idle
// worker also waits on the abort event and could take a Ctrl-C meant for
// this transaction.
int Session::Direct() {
    const std::string& cmd = m_opt.command;
    int code = RC_ERROR;
    m_module.TalkDirectly();
    if (cmd == "probe") {
        code = m_module.Probe(2000);
    } else if (cmd == "set-mode") {
        code = m_module.SetOpMode(3000, m_opt.mode);
    } else if (cmd == "set-uart") {
        code = m_module.SetUartConfig(2000, m_opt.uartBaud, m_opt.uartParity, m_opt.uartStopBits,
                                      m_opt.noFlow ? 0 : 1);
    } else if (cmd == "write-sreg") {
        code = m_module.WriteSRegister(2000, m_opt.reg, m_opt.regValue);
    }
    return Finish(0, code, code == RC_OK);
}

} // namespace norva::tools
