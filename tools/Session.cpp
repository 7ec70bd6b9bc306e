#include "tools/Session.h"

#include "flow/PairingFlow.h"
#include "platform/Console.h"
#include "tools/ExitCodes.h"
#include "tools/Timing.h"

#include <cerrno>
#include <system_error>

namespace norva::tools {

namespace {

constexpr int kCancelAfterSignalMs = timing::kCancelAfterSignalMs;

} // namespace

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

Session::Session(const CommonOptions& opt)
    : m_opt(opt), m_host(!opt.json, !opt.json && StderrIsTerminal()), m_module(&m_host),
      m_result(opt.command) {}

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

CommandResult Session::Run(const std::function<int(Session&)>& body) {
    int rc = StartTranscripts() ? OpenPort() : kExitUsage;
    if (rc == kExitOk) {
        m_signals.Start(&m_module);
        rc = body(*this);
        if (Interrupted() && rc != kExitPortFailed) {
            rc = m_signals.ExitCode();
            m_error = m_signals.Describe();
        } else if (rc == kExitInterrupted && m_error.empty()) {
            m_error = "interrupted";
        }
    }
    m_module.ClosePort();
    m_signals.Stop();
    m_result.exitCode = rc;
    m_result.error = m_error;
    return std::move(m_result);
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

int Session::Finish(int jobId, int code, bool ok, const std::string& text) {
    const std::string name = ResultName(jobId, code);
    Report().SetResult(jobId, code, name);
    // Status data only for a status actually read, never for one that timed out.
    if (jobId == JOB_STATUS && StatusWasRead(code)) {
        Report().SetStatus(m_module.LastStatus());
    }
    AddText("result: " + name + " (" + std::to_string(code) + ")\n" + text);
    return ok ? kExitOk : Failure(jobId, code);
}

std::string NoAnswerText(const std::string& what) {
    return what + ". Check that it is powered and that the port's settings (--baud, --parity, "
                  "--stop) match the module's UART setting; 'norvactl detect' finds the "
                  "setting it answers at.";
}

int Session::NoAnswer(const std::string& what) {
    m_error = NoAnswerText(what);
    return ExitFor(flow::Failure::NoAnswer);
}

int Session::Failure(int jobId, int code) {
    using flow::Failure;
    if (code == RC_DEVICE_GONE || Gone()) {
        m_error = m_module.GoneReason();
        if (m_error.empty()) {
            m_error = m_module.DevicePath() + " went away";
        }
        return ExitFor(Failure::DeviceGone);
    }
    if (Interrupted() || code == RC_ABORTED || code == RC_STOPPED) {
        return ExitFor(Failure::Cancelled);
    }
    if (jobId == JOB_STATUS && code == 0) {
        switch (m_module.LastOutcome().statusFailure) {
        case STATUS_REFUSED:
            m_error = "the module answered ERROR to the status query: it is there but refuses "
                      "commands (it may be busy with a link or a search)";
            return ExitFor(Failure::Refused);
        case STATUS_UNREADABLE:
            return NoAnswer("the module's reply to the status query could not be read");
        case STATUS_INTERRUPTED:
            return ExitFor(Failure::Cancelled);
        default:
            return NoAnswer("the module did not answer");
        }
    }
    if (code == RC_TIMEOUT) {
        return NoAnswer("the module did not answer");
    }
    m_error = m_opt.command + " failed: " + ResultName(jobId, code);
    return ExitFor(Failure::Refused);
}

int Session::SimpleJob(const JobRequest& request) {
    const int jobId = IdOf(request.job);
    std::optional<JobResult> r = RunJob(request);
    if (!r) {
        return kExitInterrupted;
    }
    bool ok = r->code == RC_OK;
    if (jobId == JOB_CONNECT) {
        ok = r->code == RC_CONNECTED;
    } else if (jobId == JOB_RESET) {
        ok = r->code == RC_OK || r->code == RC_DONE;
    }
    if (r->code == RC_ABORTED && (jobId == JOB_CONNECT || jobId == JOB_SCAN)) {
        CancelAfterAbort();
    }
    return Finish(jobId, r->code, ok);
}

// The worker is stopped first: an idle worker also waits on the abort event
// and could take a Ctrl-C meant for this transaction.
int Session::Direct(const std::function<int(CModuleControl&)>& transaction) {
    m_module.TalkDirectly();
    const int code = transaction(m_module);
    return Finish(0, code, code == RC_OK);
}

std::string CheckPortGiven(const CommonOptions& common) {
    if (common.comPort == 0 && common.device.empty()) {
        return "no port given: use --port COMn or --device PATH (see 'norvactl ports')";
    }
    if (common.comPort != 0 && !common.device.empty()) {
        return "give either --port or --device, not both";
    }
    return {};
}

CommandResult ModuleCommand::Run(const CommonOptions& common) {
    Session session(common);
    return session.Run([this](Session& s) { return RunOn(s); });
}

} // namespace norva::tools
