// `norvactl traits`: measures on one unit what modules of this family do
// differently: whether a command comes back before its reply (and in which
// form), how long a restart takes, the status line's fields and idle word,
// which UART command forms it takes and whether it sends result codes.
// Nothing stored in the unit changes: the UART commands carry the values it
// answers at now. With --probe-settings it also stores another operation
// mode for a moment, to see whether the status shows a new mode at once, and
// then the original mode again.

#include "module/Catalogue.h"
#include "module/ModuleControl.h"
#include "module/Protocol.h"
#include "module/ReplyParser.h"
#include "platform/SerialDevice.h"
#include "tools/ExitCodes.h"
#include "tools/JsonReport.h"
#include "tools/Session.h"
#include "tools/Subcommand.h"
#include "tools/Timing.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string_view>
#include <vector>

namespace norva::tools {
namespace {

namespace cat = catalogue;
using Clock = std::chrono::steady_clock;
using Json = nlohmann::ordered_json;

constexpr int kTypedEchoMs = timing::kTypedEchoMs;
// The wait for the reply to one command.
constexpr int kReplyMs = cat::kQueryStepTimeoutMs;
constexpr int kTrailingOkMs = timing::kTrailingOkMs;

int MsLeft(Clock::time_point until) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

int ElapsedMs(Clock::time_point since) {
    return static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

// The OK and ERROR lines in `bytes`, wherever an echo put them.
int Answers(std::string_view bytes) {
    int n = 0;
    for (std::string_view reply : {cat::kReplyOk, cat::kReplyError}) {
        for (size_t at = bytes.find(reply); at != std::string_view::npos;
             at = bytes.find(reply, at + reply.size())) {
            ++n;
        }
    }
    return n;
}

// The echo's form in what came back for "AT\r": the command with its CR,
// without it (running into the reply's own CR LF), with CR LF, or nothing
// before the reply; null when nothing came at all. A typed echo looks like a
// line here: it is told apart before the CR is sent.
std::optional<std::string> EchoForm(std::string_view bytes) {
    if (bytes.empty()) {
        return std::nullopt;
    }
    if (!bytes.starts_with("AT")) {
        return "none";
    }
    bytes.remove_prefix(2);
    if (bytes == "\r\n" || bytes.starts_with("\r\n\r\n")) {
        return "crlf";
    }
    if (bytes.starts_with("\r") && !bytes.starts_with("\r\n")) {
        return "line";
    }
    return "no-cr";
}

std::string EchoText(const std::string& form) {
    if (form == "line") {
        return "line (\"AT\\r\" before the reply)";
    }
    if (form == "no-cr") {
        return "no-cr (\"AT\" without its CR, running into the reply)";
    }
    if (form == "crlf") {
        return "crlf (\"AT\\r\\n\" before the reply)";
    }
    if (form == "typed") {
        return "typed (every byte as it arrives)";
    }
    return form;
}

// The status line's fields, split as its parser splits them.
std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t pos = 0;
    while (pos < line.size()) {
        const size_t comma = std::min(line.find(',', pos), line.size());
        if (comma > pos) {
            fields.push_back(line.substr(pos, comma - pos));
        }
        pos = comma + 1;
    }
    return fields;
}

ModuleInfoData StatusData(const StatusLine& line) {
    ModuleInfoData d;
    line.address.copy(d.m_szAddress, sizeof d.m_szAddress - 1);
    line.name.copy(d.m_szName, sizeof d.m_szName - 1);
    d.m_nOpMode = line.opMode;
    d.m_nLinkState = line.linkState;
    d.m_nInfoFlag5 = line.flag5;
    d.m_nInfoFlag6 = line.flag6;
    d.m_nFlowControl = line.flowControl;
    d.m_bFlowReported = line.outcome == StatusLineOutcome::SevenFields;
    return d;
}

std::string ShellWord(const std::string& text) {
    if (!text.empty() &&
        text.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                               "0123456789/._+-:=@,") == std::string::npos) {
        return text;
    }
    std::string quoted = "'";
    for (char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

// The norvactl command line that stores `mode` on the port and line given.
std::string SetModeCommand(const CommonOptions& opt, int mode) {
    std::string command = "norvactl set-mode " + std::to_string(mode);
    command += opt.device.empty() ? " --port COM" + std::to_string(opt.comPort)
                                  : " --device " + ShellWord(opt.device);
    const char* parity = opt.parity == kEvenParity  ? "even"
                         : opt.parity == kOddParity ? "odd"
                                                    : "none";
    return command + " --baud " + std::to_string(opt.baud) + " --parity " + parity + " --stop " +
           (opt.stopBits == kTwoStopBits ? "2" : "1");
}

Json OrNull(const std::optional<bool>& value) {
    return value ? Json(*value) : Json(nullptr);
}

std::optional<bool> Accepted(int code) {
    if (code == RC_OK) {
        return true;
    }
    if (code == RC_ERROR) {
        return false;
    }
    return std::nullopt;
}

class TraitsRun {
public:
    TraitsRun(CModuleControl& module, const CommonOptions& opt, bool probeSettings)
        : m(module), m_opt(opt), m_probeSettings(probeSettings) {}

    // RC_OK when the unit answered, RC_TIMEOUT when it did not (or not again
    // after its restart), else how the run was cut short.
    int Run();
    Json ToJson() const;
    std::string Text() const;
    bool Measured() const { return m_answered || !m_s10.empty(); }
    std::optional<ModuleInfoData> Status() const {
        return m_status ? std::optional<ModuleInfoData>(StatusData(*m_status)) : std::nullopt;
    }
    const std::string& NoAnswerWhat() const { return m_noAnswer; }
    const std::string& Failure() const { return m_failure; }

private:
    int SendFailed() const { return m.HungUp() ? RC_DEVICE_GONE : RC_ERROR; }
    int MeasureEcho();
    int MeasureResultCodes();
    int MeasureRestart();
    // Reads until an OK or ERROR has come, or `timeoutMs` has passed.
    int AwaitAnswer(int timeoutMs);
    int MeasureStatus();
    int MeasureUartForms();
    int ProbeMode();

    CModuleControl& m;
    const CommonOptions& m_opt;
    bool m_probeSettings;

    std::optional<std::string> m_echo;
    bool m_answered = false; // "AT" got OK or ERROR
    std::string m_s10;
    std::optional<bool> m_resultCodes;
    std::optional<int> m_restartMs;
    bool m_wentDeaf = false;
    std::string m_restartNote;
    std::optional<StatusLine> m_status;
    std::string m_idleWord;
    std::string m_statusNote;
    std::optional<bool> m_uart3;
    std::optional<bool> m_uart4;
    std::string m_uart3Note;
    std::string m_uart4Note;
    // --probe-settings
    std::optional<std::string> m_newModeShows;
    std::string m_probeNote;
    int m_probeMode = -1;
    int m_originalMode = -1;
    std::optional<bool> m_restored;
    std::string m_restore;

    std::string m_noAnswer; // why the unit counts as not answering
    std::string m_failure;  // a failure that is not the unit's silence
};

int TraitsRun::Run() {
    // Every command here is sent and read on this thread.
    m.TalkDirectly();
    int r = MeasureEcho();
    if (EndsTransaction(r)) {
        return r;
    }
    if (r = MeasureResultCodes(); EndsTransaction(r)) {
        return r;
    }
    if (!Measured()) {
        m_noAnswer = "the module did not answer";
        return RC_TIMEOUT;
    }
    if (m_resultCodes.value_or(false)) {
        if (r = MeasureRestart(); EndsTransaction(r)) {
            return r;
        }
        if (!m_restartMs) {
            m_restartNote = "no answer within " + std::to_string(cat::kRestartBoundMs) + " ms";
            m_noAnswer = "the module did not answer within " +
                         std::to_string(cat::kRestartBoundMs) +
                         " ms of \"ATZ\" (it may have restarted at another UART setting stored "
                         "earlier)";
            return RC_TIMEOUT;
        }
    } else {
        m_restartNote = "result codes are off: \"AT\" gets no answer to wait for";
    }
    if (r = MeasureStatus(); EndsTransaction(r)) {
        return r;
    }
    if (r = MeasureUartForms(); EndsTransaction(r)) {
        return r;
    }
    if (m_probeSettings) {
        return ProbeMode();
    }
    m_probeNote = "--probe-settings measures it";
    return RC_OK;
}

// "A" alone first: a module that echoes as it types sends it back at once,
// one that echoes lines waits for the CR.
int TraitsRun::MeasureEcho() {
    m.TakeReceived();
    if (!m.SendRaw("A")) {
        return SendFailed();
    }
    std::string heard;
    uint8_t buf[64];
    const int first = m.WaitForData(buf, sizeof buf, kTypedEchoMs);
    if (first < 0) {
        return WaitOutcome(first);
    }
    heard.append(reinterpret_cast<const char*>(buf), static_cast<size_t>(first));
    const bool typed = !heard.empty() && heard.front() == 'A';
    if (!m.SendRaw("T\r")) {
        return SendFailed();
    }
    const Clock::time_point until = Clock::now() + std::chrono::milliseconds(kReplyMs);
    while (Answers(heard) == 0) {
        const int left = MsLeft(until);
        const int got = left > 0 ? m.WaitForData(buf, sizeof buf, left) : 0;
        if (got < 0) {
            return WaitOutcome(got);
        }
        if (got == 0) {
            break; // no result code: they may be off
        }
        heard.append(reinterpret_cast<const char*>(buf), static_cast<size_t>(got));
    }
    m_answered = Answers(heard) > 0;
    m_echo = typed ? std::optional<std::string>("typed") : EchoForm(heard);
    return RC_OK;
}

int TraitsRun::AwaitAnswer(int timeoutMs) {
    std::string heard;
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (int left = MsLeft(end); left > 0 && Answers(heard) == 0; left = MsLeft(end)) {
        uint8_t buf[64];
        const int got = m.WaitForData(buf, sizeof buf, left);
        if (got <= 0) {
            return got == 0 ? RC_TIMEOUT : WaitOutcome(got);
        }
        heard.append(reinterpret_cast<const char*>(buf), static_cast<size_t>(got));
    }
    return Answers(heard) > 0 ? RC_OK : RC_TIMEOUT;
}

int TraitsRun::MeasureResultCodes() {
    std::string value;
    const int r = m.ReadSRegister(kReplyMs, cat::kResponseRegister, value);
    if (EndsTransaction(r)) {
        return r;
    }
    if (r == RC_OK) {
        m_s10 = value;
    }
    if (r == RC_OK && m_s10.find_first_not_of('0') != std::string::npos) {
        // The read ends at the value line: its OK, when it was not in the same chunk and is
        // still on the way, must not pass for the restart's first answer.
        if (const int w = AwaitAnswer(kTrailingOkMs); EndsTransaction(w)) {
            return w;
        }
    }
    if (m_answered) {
        m_resultCodes = true;
    } else if (!m_s10.empty()) {
        m_resultCodes = m_s10.find_first_not_of('0') != std::string::npos;
        // It hears commands, and an echo is no result code: none came.
        m_echo = m_echo.value_or("none");
    }
    return RC_OK;
}

// "ATZ", then "AT" every probe interval. The ATZ's own OK may come before the
// restart or after it, so an answer counts only once some command went
// unanswered (the unit was deaf); a unit that never was within the bound is
// taken at its first answer.
int TraitsRun::MeasureRestart() {
    m.TakeReceived();
    const Clock::time_point start = Clock::now();
    if (!m.SendRaw(cat::kReset.text)) {
        return SendFailed();
    }
    std::string heard;
    int due = 1; // the ATZ's own answer
    int answers = 0;
    bool lost = false;
    int first = -1;
    for (int window = 0; window < cat::kRestartBoundMs; window += cat::kRestartProbeIntervalMs) {
        if (!m.SendRaw(cat::kProbe.text)) {
            return SendFailed();
        }
        ++due;
        const Clock::time_point end =
            start + std::chrono::milliseconds(
                        std::min(window + cat::kRestartProbeIntervalMs, cat::kRestartBoundMs));
        for (int left = MsLeft(end); left > 0; left = MsLeft(end)) {
            uint8_t buf[64];
            const int got = m.WaitForData(buf, sizeof buf, left);
            if (got < 0) {
                return WaitOutcome(got);
            }
            if (got == 0) {
                break;
            }
            heard.append(reinterpret_cast<const char*>(buf), static_cast<size_t>(got));
            if (const int now = Answers(heard); now > answers) {
                answers = now;
                if (lost) {
                    m_restartMs = ElapsedMs(start);
                    m_wentDeaf = true;
                    return RC_OK;
                }
                first = first < 0 ? ElapsedMs(start) : first;
            }
        }
        lost = lost || answers < due;
    }
    if (!lost && first >= 0) {
        m_restartMs = first;
    }
    return RC_OK;
}

int TraitsRun::MeasureStatus() {
    std::string line;
    const int r = m.QueryStatusLine(kReplyMs, line);
    if (EndsTransaction(r)) {
        return r;
    }
    if (r != RC_OK) {
        m_statusNote =
            r == RC_ERROR ? "the unit answered ERROR to \"AT+BTINFO?\"" : "no status line came";
        return RC_OK;
    }
    m_status = ParseStatusLine(line);
    const std::vector<std::string_view> fields = Fields(line);
    if (m_status->linkState == LINK_STANDBY && fields.size() > 3) {
        m_idleWord = std::string(fields[3]);
    }
    return RC_OK;
}

int TraitsRun::MeasureUartForms() {
    if (!m_resultCodes.value_or(false)) {
        m_uart3Note = m_uart4Note = "result codes are off: the answer cannot be told";
        return RC_OK;
    }
    if (m_opt.parity == kOddParity) {
        m_uart3Note = m_uart4Note = "the line uses odd parity, which the UART command cannot name";
        return RC_OK;
    }
    // The values it answers at now, after its restart: storing them again
    // changes nothing.
    const int baud = static_cast<int>(m_opt.baud);
    int r = m.SetUartConfigNoFlow(kReplyMs, baud, m_opt.parity, m_opt.stopBits);
    if (EndsTransaction(r)) {
        return r;
    }
    m_uart3 = Accepted(r);
    m_uart3Note = m_uart3 ? "" : "no answer";
    if (!m_status || m_status->outcome != StatusLineOutcome::SevenFields) {
        m_uart4Note = "the status line shows no flow control to store again";
        return RC_OK;
    }
    r = m.SetUartConfig(kReplyMs, baud, m_opt.parity, m_opt.stopBits, m_status->flowControl);
    if (EndsTransaction(r)) {
        return r;
    }
    m_uart4 = Accepted(r);
    m_uart4Note = m_uart4 ? "" : "no answer";
    return RC_OK;
}

// Stores another mode, reads the status and stores the original mode back;
// whatever cut the reading short, the original goes back when the line still
// allows it, and otherwise the command that does it is printed.
int TraitsRun::ProbeMode() {
    if (!m_resultCodes.value_or(false)) {
        m_probeNote = "result codes are off: a stored mode cannot be confirmed";
        return RC_OK;
    }
    if (!m_status || m_status->linkState != LINK_STANDBY) {
        m_probeNote = "the unit is not idle (its status shows no standby)";
        return RC_OK;
    }
    m_originalMode = m_status->opMode;
    m_probeMode = m_originalMode == 0 ? 3 : 0;
    int r = m.SetOpMode(cat::kApplyModeTimeoutMs, m_probeMode);
    if (r == RC_ERROR) {
        m_probeNote = "the unit refused operation mode " + std::to_string(m_probeMode);
        m_probeMode = -1;
        return RC_OK;
    }
    if (r == RC_OK) {
        std::string line;
        r = m.QueryStatusLine(kReplyMs, line);
        if (r == RC_OK) {
            const int shown = ParseStatusLine(line).opMode;
            if (shown == m_probeMode) {
                m_newModeShows = "at-once";
            } else if (shown == m_originalMode) {
                m_newModeShows = "after-restart";
            }
        }
    }
    // A Ctrl-C that cut the reading short was for it, not for the way back.
    m.ClearAbort();
    const int back =
        m.HungUp() ? RC_DEVICE_GONE : m.SetOpMode(cat::kApplyModeTimeoutMs, m_originalMode);
    m_restored = back == RC_OK;
    if (*m_restored) {
        std::fprintf(stderr,
                     "norvactl: note: operation mode %d was stored for the measurement, and "
                     "mode %d again after it\n",
                     m_probeMode, m_originalMode);
    } else {
        m_restore = SetModeCommand(m_opt, m_originalMode);
        std::fprintf(stderr,
                     "norvactl: operation mode %d, stored for the measurement, may still be in "
                     "the unit; store mode %d back with: %s\n",
                     m_probeMode, m_originalMode, m_restore.c_str());
    }
    if (EndsTransaction(r)) {
        return r;
    }
    if (EndsTransaction(back)) {
        return back;
    }
    if (back != RC_OK) {
        m_failure = "operation mode " + std::to_string(m_originalMode) +
                    " could not be stored back: " + ResultCodeName(back);
    }
    return RC_OK;
}

Json TraitsRun::ToJson() const {
    Json probe = nullptr;
    if (m_probeMode >= 0) {
        probe = {{"stored_mode", m_probeMode},
                 {"original_mode", m_originalMode},
                 {"restored", OrNull(m_restored)},
                 {"restore", TextOrNull(m_restore)}};
    }
    const bool status = m_status.has_value();
    return {
        {"echo", m_echo ? Json(*m_echo) : Json(nullptr)},
        {"result_codes", OrNull(m_resultCodes)},
        {"s10", TextOrNull(m_s10)},
        {"restart_ms", m_restartMs ? Json(*m_restartMs) : Json(nullptr)},
        {"restart_went_deaf", m_restartMs ? Json(m_wentDeaf) : Json(nullptr)},
        {"status_fields", status ? Json(m_status->outcome == StatusLineOutcome::SevenFields ? 7 : 6)
                                 : Json(nullptr)},
        {"idle_word", TextOrNull(m_idleWord)},
        {"uart_3_args", OrNull(m_uart3)},
        {"uart_4_args", OrNull(m_uart4)},
        {"new_mode_shows", m_newModeShows ? Json(*m_newModeShows) : Json(nullptr)},
        {"probe", std::move(probe)},
    };
}

std::string TraitsRun::Text() const {
    std::string out;
    auto line = [&out](const char* key, const std::string& text) {
        out += std::string(key) + ": " + text + "\n";
    };
    auto notMeasured = [](const std::string& why) {
        return why.empty() ? std::string("not measured") : "not measured (" + why + ")";
    };
    line("echo", m_echo ? EchoText(*m_echo) : notMeasured("nothing came back for \"AT\""));
    line("result-codes", !m_resultCodes ? notMeasured("")
                         : *m_resultCodes
                             ? "on" + (m_s10.empty() ? std::string() : " (S10 = " + m_s10 + ")")
                             : "off (S10 = " + m_s10 + ")");
    line("restart", m_restartMs ? std::to_string(*m_restartMs) + " ms" +
                                      (m_wentDeaf ? " (the first answer after it went deaf)"
                                                  : " (the first answer; it never went deaf)")
                                : notMeasured(m_restartNote));
    if (m_status) {
        line("status-fields", m_status->outcome == StatusLineOutcome::SevenFields
                                  ? "7 (flow control shown)"
                                  : "6 (no flow control field)");
        line("idle-word", m_idleWord.empty() ? notMeasured("the unit is not idle") : m_idleWord);
    } else {
        line("status-fields", notMeasured(m_statusNote));
        line("idle-word", notMeasured(m_statusNote));
    }
    auto form = [&](const std::optional<bool>& taken, const std::string& why) {
        return taken ? std::string(*taken ? "accepted" : "refused (ERROR)") : notMeasured(why);
    };
    line("uart-3-args", form(m_uart3, m_uart3Note));
    line("uart-4-args", form(m_uart4, m_uart4Note));
    if (m_newModeShows) {
        line("new-mode-shows", *m_newModeShows == "at-once"
                                   ? "at once (the status shows a mode as soon as it is stored)"
                                   : "after a restart (the status shows the mode in force)");
    } else {
        line("new-mode-shows", notMeasured(m_probeNote));
    }
    return out;
}

class TraitsCommand : public ModuleCommand {
public:
    void AddOptions(Subcommand& sub, CommonOptions& /*common*/) override {
        sub.add_flag("--probe-settings", m_probeSettings,
                     "also store another operation mode for a moment, then the original again");
    }

private:
    int RunOn(Session& s) override;

    bool m_probeSettings = false;
};

int TraitsCommand::RunOn(Session& s) {
    CModuleControl& module = s.Module();
    TraitsRun run(module, s.Options(), m_probeSettings);
    const int r = run.Run();
    s.Report().SetTraits(run.ToJson());
    if (const std::optional<ModuleInfoData> status = run.Status()) {
        s.Report().SetStatus(*status);
    }
    if (run.Measured()) {
        s.AddText(run.Text());
    }
    if (r == RC_DEVICE_GONE || module.HungUp()) {
        std::string error = module.GoneReason();
        s.SetError(error.empty() ? module.DevicePath() + " went away" : error);
        return ExitFor(flow::Failure::DeviceGone);
    }
    if (r == RC_ABORTED || r == RC_STOPPED) {
        return ExitFor(flow::Failure::Cancelled);
    }
    if (r == RC_ERROR) {
        s.SetError("writing to " + module.DevicePath() + " failed");
        return ExitFor(flow::Failure::PortFailed);
    }
    if (!run.NoAnswerWhat().empty()) {
        s.SetError(NoAnswerText(run.NoAnswerWhat()));
        return ExitFor(flow::Failure::NoAnswer);
    }
    if (!run.Failure().empty()) {
        s.SetError(run.Failure());
        return ExitFor(flow::Failure::Refused);
    }
    return kExitOk;
}

} // namespace

const CommandRegistration kTraitsCommand{
    170,
    {"traits", "measure the module's echo, restart time, status line and UART command forms",
     " (--port COMn | --device PATH) [PORT OPTIONS] [--probe-settings]",
     "Measures whether a command comes back before its reply and in which form,\n"
     "how long an ATZ restart takes until \"AT\" is answered again, the status\n"
     "line's fields and idle word, which UART command forms (3 or 4 arguments)\n"
     "the module takes and whether it sends result codes (S10). The UART commands\n"
     "carry the setting it answers at now, so nothing stored changes.\n"
     "--probe-settings also stores another operation mode for a moment to see\n"
     "whether the status shows it at once, then stores the original mode again;\n"
     "a run cut short in between prints the command that stores it back.\n",
     PortOptions::Line, OutputOptions::JsonAndLog, Make<TraitsCommand>}};

} // namespace norva::tools
