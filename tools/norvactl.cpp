// norvactl: drives a Norva-BX module from the command line through the same
// controller and device-job worker as the wizard.

#include "module/ModuleControl.h"
#include "platform/Event.h"
#include "serial/SerialPortList.h"
#include "tools/CliOptions.h"
#include "tools/ToolHost.h"

#include <array>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <initializer_list>
#include <optional>
#include <poll.h>
#include <pthread.h>
#include <string>
#include <sys/signalfd.h>
#include <thread>
#include <unistd.h>

namespace norva::tools {
namespace {

enum ExitCode {
    kExitOk = 0,
    kExitFailed = 1,
    kExitUsage = 2,
    kExitPortFailed = 3,
    kExitNoAnswer = 4,
    kExitInterrupted = 130,
};

// After Ctrl-C the job gets this long to end through EV_ABORT before the
// worker is stopped outright.
constexpr int kAbortGraceMs = 5000;
constexpr int kAbortRepeatMs = 500;

std::string JsonEscape(const std::string& s) {
    std::string out;
    for (unsigned char c : s) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out;
}

std::string Quote(const std::string& s) {
    return "\"" + JsonEscape(s) + "\"";
}

const char* LinkName(int state) {
    switch (state) {
    case LINK_STANDBY:
        return "standby";
    case LINK_PENDING:
        return "pending";
    case LINK_CONNECTED:
        return "connected";
    case LINK_DISCONNECTING:
        return "disconnecting";
    default:
        return "unknown";
    }
}

// The status job reports 1 for a status read and 0 for none.
std::string ResultName(int jobId, int code) {
    if (jobId == JOB_STATUS && code == 1) {
        return "STATUS_READ";
    }
    if (jobId == JOB_STATUS && code == 0) {
        return "STATUS_NOT_READ";
    }
    return ResultCodeName(code);
}

// Blocks the termination signals in every thread and hands them to a watcher
// that aborts the job under way (first signal) or stops the worker (second).
class SignalWatcher {
public:
    SignalWatcher() {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGINT);
        sigaddset(&set, SIGTERM);
        sigaddset(&set, SIGHUP);
        pthread_sigmask(SIG_BLOCK, &set, nullptr);
        std::signal(SIGPIPE, SIG_IGN);
        m_fd = signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
        if (m_fd < 0) {
            // Without the watcher, Ctrl-C at least still ends the program.
            pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
        }
    }
    ~SignalWatcher() {
        Stop();
        if (m_fd >= 0) {
            close(m_fd);
        }
    }

    void Start(CModuleControl* module) {
        if (m_fd < 0) {
            return;
        }
        m_thread = std::thread([this, module] { Run(module); });
    }
    void Stop() {
        m_quit.Set();
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }

    int Count() const { return m_count.load(); }
    // Auto-reset: set on every signal.
    Event* Notice() { return &m_notice; }

private:
    void Run(CModuleControl* module) {
        std::array<Event*, 1> events{&m_quit};
        WaitFd extra{m_fd, POLLIN, 0};
        for (;;) {
            int r = WaitAny(events, -1, &extra);
            if (r == 0 || r == kWaitFailed) {
                return;
            }
            signalfd_siginfo info{};
            while (read(m_fd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
                const int n = ++m_count;
                // Direct transactions run on the main thread, so the abort
                // has to be sent from here.
                module->SignalJob(n == 1 ? EV_ABORT : EV_STOP);
                std::fprintf(stderr, n == 1 ? "norvactl: interrupted, aborting the module "
                                              "command (again to stop at once)\n"
                                            : "norvactl: stopping\n");
                m_notice.Set();
            }
        }
    }

    int m_fd = -1;
    Event m_quit{Event::Mode::Manual};
    Event m_notice{Event::Mode::Auto};
    std::atomic<int> m_count{0};
    std::thread m_thread;
};

class Session {
public:
    explicit Session(const CliOptions& opt)
        : m_opt(opt), m_host(!opt.json, !opt.json && isatty(STDERR_FILENO) != 0),
          m_module(&m_host) {}

    int Run();

private:
    using Clock = std::chrono::steady_clock;

    bool Interrupted() const { return m_signals.Count() > 0; }
    std::optional<JobResult> RunJob(int slot, std::initializer_list<int> ids, int limitMs = -1);
    std::optional<JobResult> Await(std::initializer_list<int> ids, int limitMs);
    // The wizard follows an aborted connect, scan or inquiry with a cancel.
    bool CancelAfterAbort();

    int Status();
    int Disconnect();
    int Apply();
    int Inquiry();
    int SimpleJob(int slot, int jobId);
    int Direct();

    // `jsonData` joins the JSON object, `text` follows the result line.
    int Finish(int jobId, int code, bool ok, const std::string& jsonData = {},
               const std::string& text = {});
    void PrintStatus(std::string& json);
    int Fail(int exitCode, const std::string& reason);

    const CliOptions& m_opt;
    ToolHost m_host;
    SignalWatcher m_signals;
    CModuleControl m_module;
    bool m_limitReached = false;
};

int Session::Fail(int exitCode, const std::string& reason) {
    if (m_opt.json) {
        std::printf("{\"command\":%s,\"ok\":false,\"error\":%s}\n", Quote(m_opt.command).c_str(),
                    Quote(reason).c_str());
    }
    std::fprintf(stderr, "norvactl: %s\n", reason.c_str());
    return exitCode;
}

std::optional<JobResult> Session::RunJob(int slot, std::initializer_list<int> ids, int limitMs) {
    if (Interrupted()) {
        return std::nullopt;
    }
    m_module.SignalJob(slot);
    return Await(ids, limitMs);
}

std::optional<JobResult> Session::Await(std::initializer_list<int> ids, int limitMs) {
    const Clock::time_point start = Clock::now();
    // Only a signal that arrives during this wait aborts what it waits for.
    const int signalsBefore = m_signals.Count();
    std::optional<Clock::time_point> abortedAt;
    Clock::time_point lastAbort;
    std::array<Event*, 2> events{m_host.ResultEvent(), m_signals.Notice()};
    for (;;) {
        const Clock::time_point now = Clock::now();
        const bool signalled = m_signals.Count() > signalsBefore;
        if (!abortedAt &&
            (signalled || (limitMs >= 0 && now - start >= std::chrono::milliseconds(limitMs)))) {
            m_limitReached = !signalled;
            abortedAt = now;
            lastAbort = now;
            m_module.SignalJob(EV_ABORT);
        }
        if (abortedAt) {
            if (m_signals.Count() > 1 ||
                now - *abortedAt >= std::chrono::milliseconds(kAbortGraceMs)) {
                m_module.StopWorker();
                return std::nullopt;
            }
            // An abort taken by the idle worker just before the job began is
            // lost; a repeated one reaches the job's own wait.
            if (now - lastAbort >= std::chrono::milliseconds(kAbortRepeatMs)) {
                lastAbort = now;
                m_module.SignalJob(EV_ABORT);
            }
        }
        int waitMs = -1;
        if (abortedAt) {
            waitMs = kAbortRepeatMs;
        } else if (limitMs >= 0) {
            auto left = std::chrono::milliseconds(limitMs) -
                        std::chrono::duration_cast<std::chrono::milliseconds>(now - start);
            waitMs = static_cast<int>(std::max<long long>(0, left.count()));
        }
        if (WaitAny(events, waitMs) == 0) {
            while (std::optional<JobResult> r = m_host.TakeResult()) {
                for (int id : ids) {
                    if (r->jobId == id) {
                        if (abortedAt) {
                            // Nothing of this job is left to abort.
                            m_module.JobEvent(EV_ABORT)->Reset();
                        }
                        return r;
                    }
                }
            }
        }
    }
}

bool Session::CancelAfterAbort() {
    if (m_signals.Count() > 1) {
        return false;
    }
    const bool interrupted = Interrupted();
    m_module.SignalJob(EV_CANCEL_CMD);
    std::optional<JobResult> r = Await({JOB_CANCEL_CMD}, interrupted ? 10000 : -1);
    return r && r->code == RC_OK;
}

void Session::PrintStatus(std::string& json) {
    const ModuleInfoData s = m_module.m_info.Snapshot();
    if (m_opt.json) {
        json += ",\"status\":{\"address\":" + Quote(s.m_szAddress) +
                ",\"name\":" + Quote(s.m_szName) + ",\"mode\":" + std::to_string(s.m_nOpMode) +
                ",\"link\":" + Quote(LinkName(s.m_nLinkState)) +
                ",\"link_state\":" + std::to_string(s.m_nLinkState) +
                ",\"flag5\":" + std::to_string(s.m_nInfoFlag5) +
                ",\"flag6\":" + std::to_string(s.m_nInfoFlag6) +
                ",\"flow_control\":" + Quote(s.m_nFlowControl == 1 ? "HWFC" : "NoFC") + "}";
        return;
    }
    std::printf("address: %s\nname: %s\nmode: %d\nlink: %s\nflags: %d %d\nflow-control: %s\n",
                s.m_szAddress, s.m_szName, s.m_nOpMode, LinkName(s.m_nLinkState), s.m_nInfoFlag5,
                s.m_nInfoFlag6, s.m_nFlowControl == 1 ? "HWFC" : "NoFC");
}

// Prints the result line (or object) and turns it into the exit status.
int Session::Finish(int jobId, int code, bool ok, const std::string& jsonData,
                    const std::string& text) {
    const std::string name = ResultName(jobId, code);
    if (m_opt.json) {
        std::string json = "{\"command\":" + Quote(m_opt.command) +
                           (jobId > 0 ? ",\"job\":" + std::to_string(jobId) : std::string()) +
                           ",\"result\":" + std::to_string(code) +
                           ",\"result_name\":" + Quote(name) +
                           ",\"ok\":" + (ok ? "true" : "false") + jsonData;
        if (m_opt.command == "status" && (code == 1 || code == RC_TIMEOUT)) {
            PrintStatus(json);
        }
        if (m_opt.command == "inquiry") {
            json += ",\"devices\":[";
            bool first = true;
            for (const DeviceRow& row : m_host.Rows()) {
                json += std::string(first ? "" : ",") + "{\"address\":" + Quote(row.address) +
                        ",\"name\":" + Quote(row.name) + ",\"class\":" + Quote(row.classOfDevice) +
                        "}";
                first = false;
            }
            json += "]";
        }
        json += "}";
        std::printf("%s\n", json.c_str());
    } else {
        std::printf("result: %s (%d)\n%s", name.c_str(), code, text.c_str());
        if (m_opt.command == "status" && (code == 1 || code == RC_TIMEOUT)) {
            std::string unused;
            PrintStatus(unused);
        }
    }
    std::fflush(stdout);
    if (ok) {
        return kExitOk;
    }
    if (Interrupted()) {
        return kExitInterrupted;
    }
    const bool noAnswer = code == RC_TIMEOUT || (jobId == JOB_STATUS && code == 0);
    if (noAnswer) {
        std::fprintf(stderr,
                     "norvactl: the module did not answer as expected. Check that it is powered "
                     "and that the port's settings (--baud, --parity, --stop) match the "
                     "module's UART setting.\n");
        return kExitNoAnswer;
    }
    if (code == RC_ABORTED || code == RC_STOPPED) {
        return kExitInterrupted;
    }
    std::fprintf(stderr, "norvactl: %s failed: %s\n", m_opt.command.c_str(), name.c_str());
    return kExitFailed;
}

int Session::Status() {
    std::optional<JobResult> r = RunJob(EV_STATUS, {JOB_STATUS});
    if (!r) {
        return kExitInterrupted;
    }
    return Finish(JOB_STATUS, r->code, r->code == 1);
}

int Session::SimpleJob(int slot, int jobId) {
    std::optional<JobResult> r = RunJob(slot, {jobId});
    if (!r) {
        return kExitInterrupted;
    }
    bool ok = false;
    std::string data;
    std::string text;
    switch (jobId) {
    case JOB_CONNECT:
        ok = r->code == RC_CONNECTED;
        break;
    case JOB_RESET:
        ok = r->code == RC_OK || r->code == RC_DONE;
        break;
    case JOB_READ_SREG: {
        ok = r->code == RC_OK;
        const std::string value = m_module.m_strSRegValue.Get();
        if (ok && m_opt.json) {
            data = ",\"register\":" + m_opt.args[0] + ",\"value\":" + Quote(value);
        } else if (ok) {
            text = "S" + m_opt.args[0] + ": " + value + "\n";
        }
        break;
    }
    default:
        ok = r->code == RC_OK;
        break;
    }
    if (r->code == RC_ABORTED && (jobId == JOB_CONNECT || jobId == JOB_SCAN)) {
        CancelAfterAbort();
    }
    return Finish(jobId, r->code, ok, data, text);
}

int Session::Inquiry() {
    std::optional<JobResult> r = RunJob(EV_INQUIRY, {JOB_INQUIRY}, m_opt.inquiryTimeoutMs);
    if (!r) {
        return kExitInterrupted;
    }
    if (r->code == RC_ABORTED) {
        const bool cancelled = CancelAfterAbort();
        if (m_limitReached && !Interrupted()) {
            // The search was ended by --timeout, as the user asked.
            return Finish(JOB_INQUIRY, r->code, cancelled, ",\"time_limit_reached\":true",
                          "search stopped after " + std::to_string(m_opt.inquiryTimeoutMs) +
                              " ms\n");
        }
    }
    return Finish(JOB_INQUIRY, r->code, r->code == RC_DONE);
}

// As the wizard does for a connected module: read the status, return the link
// online, then escape and hang up in the disconnect job.
int Session::Disconnect() {
    std::optional<JobResult> s = RunJob(EV_STATUS, {JOB_STATUS});
    if (!s) {
        return kExitInterrupted;
    }
    if (s->code == 0 || s->code == RC_STOPPED || s->code == RC_ABORTED) {
        return Finish(JOB_STATUS, s->code, false);
    }
    if (m_module.m_info.m_nLinkState.load() != LINK_CONNECTED) {
        const char* link = LinkName(m_module.m_info.m_nLinkState.load());
        if (m_opt.json) {
            std::printf(
                "{\"command\":\"disconnect\",\"ok\":true,\"connected\":false,\"link\":%s}\n",
                Quote(link).c_str());
        } else {
            std::printf("not connected (link: %s)\n", link);
        }
        return kExitOk;
    }
    m_module.ReturnOnline();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    std::optional<JobResult> r = RunJob(EV_DISCONNECT, {JOB_DISCONNECT, JOB_ESCAPE});
    if (!r) {
        return kExitInterrupted;
    }
    return Finish(r->jobId, r->code, r->jobId == JOB_DISCONNECT && r->code == RC_DISCONNECTED);
}

int Session::Apply() {
    m_module.m_nApplyMode.store(m_opt.applyMode);
    m_module.m_nApplyBaud.store(m_opt.applyBaud);
    m_module.m_nApplyParity.store(m_opt.applyParity);
    m_module.m_nApplyStopBits.store(m_opt.applyStopBits);
    m_module.m_nApplyFlow.store(m_opt.noFlow ? 0 : 1);
    // No status has been read in this run: flow control counts as not
    // reported until a status job says otherwise.
    m_module.m_info.m_nFlowControl.store(1);
    std::optional<JobResult> r = RunJob(EV_APPLY, {JOB_APPLY});
    if (!r) {
        return kExitInterrupted;
    }
    if (r->code == RC_TIMEOUT) {
        // A module still connected in data mode hears nothing: as the wizard
        // does, check the link, hang it up, and the disconnect job runs the
        // apply job again.
        m_module.m_nCurOp.store(OP_APPLY_AGAIN);
        std::optional<JobResult> s = RunJob(EV_STATUS, {JOB_STATUS});
        if (!s) {
            return kExitInterrupted;
        }
        if (s->code != 0 && s->code != RC_STOPPED &&
            m_module.m_info.m_nLinkState.load() == LINK_CONNECTED) {
            if (!m_opt.json) {
                std::printf("module is connected: hanging up before applying again\n");
            }
            m_module.ReturnOnline();
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            r = RunJob(EV_DISCONNECT, {JOB_APPLY, JOB_DISCONNECT, JOB_ESCAPE});
            if (!r) {
                return kExitInterrupted;
            }
            if (r->jobId != JOB_APPLY) {
                return Finish(r->jobId, r->code, false);
            }
        }
    }
    return Finish(JOB_APPLY, r->code, r->code == RC_DONE);
}

// Transactions that have no job of their own run on this thread, the way the
// wizard sends its direct mode command. The worker is stopped first: an idle
// worker also waits on the abort event and could take a Ctrl-C meant for
// this transaction.
int Session::Direct() {
    const std::string& cmd = m_opt.command;
    int code = RC_ERROR;
    m_module.StopWorker();
    m_module.JobEvent(EV_STOP)->Reset();
    if (cmd == "probe") {
        code = m_module.Probe(2000);
    } else if (cmd == "set-mode") {
        code = m_module.SetOpMode(3000, std::stoi(m_opt.args[0]));
    } else if (cmd == "set-uart") {
        const int baud = std::stoi(m_opt.args[0]);
        const int parity = std::stoi(m_opt.args[1]);
        const int stop = std::stoi(m_opt.args[2]);
        code = m_module.SetUartConfig(2000, baud, parity, stop, m_opt.noFlow ? 0 : 1);
    } else if (cmd == "write-sreg") {
        code = m_module.WriteSRegister(2000, std::stoi(m_opt.args[0]), std::stoi(m_opt.args[1]));
    }
    return Finish(0, code, code == RC_OK);
}

int Session::Run() {
    int opened = 0;
    if (!m_opt.device.empty()) {
        opened = m_module.OpenPortPath(m_opt.device, m_opt.baud, m_opt.stopBits, m_opt.parity);
    } else {
        opened = m_module.OpenPort(m_opt.comPort, m_opt.baud, m_opt.stopBits, m_opt.parity);
    }
    if (opened == 0) {
        const OsError err = m_module.m_port.LastOpenError();
        std::string reason = "Serial port open failed.";
        if (!err.reason.empty()) {
            reason += " " + err.reason;
        } else if (m_module.m_port.m_bOpen.load() != 0) {
            reason += " The device-job worker could not be started.";
        }
        return Fail(kExitPortFailed, reason);
    }
    m_signals.Start(&m_module);

    int rc = kExitFailed;
    const std::string& cmd = m_opt.command;
    if (cmd == "status") {
        rc = Status();
    } else if (cmd == "escape") {
        rc = SimpleJob(EV_ESCAPE, JOB_ESCAPE);
    } else if (cmd == "cancel") {
        rc = SimpleJob(EV_CANCEL_CMD, JOB_CANCEL_CMD);
    } else if (cmd == "scan") {
        m_module.m_nScanMode.store(m_opt.scanMode);
        m_module.m_nScanTime.store(m_opt.scanTime);
        rc = SimpleJob(EV_SCAN, JOB_SCAN);
    } else if (cmd == "inquiry") {
        rc = Inquiry();
    } else if (cmd == "connect") {
        m_module.m_strTargetAddr.Set(m_opt.args[0]);
        rc = SimpleJob(EV_CONNECT, JOB_CONNECT);
    } else if (cmd == "disconnect") {
        rc = Disconnect();
    } else if (cmd == "apply") {
        rc = Apply();
    } else if (cmd == "read-sreg") {
        m_module.m_nSRegNo.store(std::stoi(m_opt.args[0]));
        rc = SimpleJob(EV_READ_SREG, JOB_READ_SREG);
    } else if (cmd == "reset") {
        rc = SimpleJob(EV_RESET, JOB_RESET);
    } else {
        rc = Direct();
    }
    if (rc == kExitInterrupted || Interrupted()) {
        std::fprintf(stderr, "norvactl: interrupted\n");
        rc = kExitInterrupted;
    }
    m_module.ClosePort();
    m_signals.Stop();
    return rc;
}

int ListPorts(const CliOptions& opt) {
    CSerialPortList list;
    list.Enumerate();
    if (opt.json) {
        std::string json = "{\"command\":\"ports\",\"ok\":true,\"ports\":[";
        for (size_t i = 0; i < list.m_entries.size(); ++i) {
            const SerialPortEntry& e = list.m_entries[i];
            json += std::string(i == 0 ? "" : ",") + "{\"port\":" + Quote(e.port) +
                    ",\"device\":" + Quote(e.device) + "}";
        }
        std::printf("%s]}\n", json.c_str());
        return kExitOk;
    }
    if (list.m_entries.empty()) {
        std::printf("No serial ports found.\n");
        return kExitOk;
    }
    for (const SerialPortEntry& e : list.m_entries) {
        std::printf("%s (%s)\n", e.port.c_str(), e.device.c_str());
    }
    return kExitOk;
}

} // namespace
} // namespace norva::tools

int main(int argc, char** argv) {
    using namespace norva::tools;
    CliOptions opt;
    const std::string error = ParseCommandLine(argc, argv, opt);
    if (!error.empty()) {
        std::fprintf(stderr, "norvactl: %s\n", error.c_str());
        return kExitUsage;
    }
    if (opt.help) {
        std::fputs(opt.command.empty() ? GeneralUsage().c_str() : CommandUsage(opt.command).c_str(),
                   stdout);
        return kExitOk;
    }
    if (opt.command == "ports") {
        return ListPorts(opt);
    }
    // The watcher blocks the signals before the controller starts threads.
    Session session(opt);
    return session.Run();
}
