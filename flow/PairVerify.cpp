#include "flow/PairVerify.h"

#include "flow/Address.h"
#include "flow/Timing.h"
#include "module/ModuleControl.h"
#include "module/ModuleHost.h"
#include "module/Protocol.h"
#include "module/ReadBack.h"
#include "module/ReplyParser.h"
#include "module/StopRelay.h"
#include "res/strings/StringTable.h"
#include "serial/PinnedTranscript.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>

namespace norva::flow {

namespace {

using Clock = std::chrono::steady_clock;
namespace cat = catalogue;

constexpr size_t kMaxPendingText = 512;
constexpr std::string_view kProbe = "AT\r";

// The verifier runs no jobs and shows nothing: the one note a status read may give (responses
// switched back on) needs no answer.
class VerifyHost : public IModuleHost {
public:
    void PostJobResult(int, int) override {}
    void AddDeviceRow(const std::string&, const std::string&, const std::string&) override {}
    void ShowMessageBox(const std::string&, const Event*) override {}
    void ShowBanner(Banner) override {}
    void HideBanner(Banner) override {}
};

struct Unit {
    const UnitToVerify* in = nullptr;
    std::unique_ptr<PortPinnedTranscript> transcript;
    VerifyHost host;
    std::unique_ptr<CModuleControl> module = std::make_unique<CModuleControl>(&host);
    UnitVerifyResult result;
    bool finished = false;       // result decided
    bool linked = false;         // announced CONNECT, no DISCONNECT since
    bool proven = false;         // linked with its partner: named it, was named, or passed data
    Clock::time_point resetAt;   // ATZ at the stored setting
    Clock::time_point nextProbe; // while it boots
    bool answered = false;       // answered since its restart
    bool probeOut = false;       // a probe is unanswered
    bool deafSince = false;      // a probe went unanswered since the last answer
    std::string text;            // received, not yet a whole line
    std::string data;            // received raw, searched for proof tokens
};

class Verifier {
public:
    Verifier(const std::vector<UnitToVerify>& units, const Event* stop,
             const VerifyProgress& progress, const VerifyOptions& options)
        : m_stop(stop), m_progress(progress), m_options(options) {
        for (const UnitToVerify& in : units) {
            auto u = std::make_unique<Unit>();
            u->in = &in;
            u->result.unit = in.unit;
            u->result.name = in.name;
            u->result.port =
                in.devicePath.empty() ? "COM" + std::to_string(in.comPort) : in.devicePath;
            u->result.linkTimeoutMs = options.linkTimeoutMs;
            u->result.partner = in.partner;
            u->result.askedMode = in.askedMode;
            u->result.askedFlow = in.askedFlow;
            if (options.transcript != nullptr) {
                u->transcript =
                    std::make_unique<PortPinnedTranscript>(options.transcript, &m_transcriptLock);
                u->module->SetTranscript(u->transcript.get());
            }
            m_units.push_back(std::move(u));
        }
    }

    // Restarts the unit and reads its status once it answers: no link is awaited.
    VerifyResult CheckStored() {
        {
            StopRelay relay(m_stop, Modules());
            for (auto& u : m_units) {
                if (Restart(*u)) {
                    AwaitBoot();
                    Diagnose(*u, true);
                }
                u->module->ClosePort();
            }
        }
        return Collect();
    }

    VerifyResult Run() {
        {
            StopRelay relay(m_stop, Modules());
            // Unit 1 first: it waits for its partner, which pages it once it boots.
            for (auto& u : m_units) {
                Restart(*u);
            }
            if (m_units.size() == 1) {
                RunOneUnit(*m_units.front());
            } else {
                for (auto& u : m_units) {
                    if (!u->finished) {
                        Report(*u, VerifyStep::WaitingForLink);
                    }
                }
                Listen([this] { return LinkDeadline(); });
            }
            for (auto& u : m_units) {
                Decide(*u);
                u->module->ClosePort();
            }
        }
        return Collect();
    }

private:
    std::vector<CModuleControl*> Modules() const {
        std::vector<CModuleControl*> modules;
        for (const auto& u : m_units) {
            modules.push_back(u->module.get());
        }
        return modules;
    }

    VerifyResult Collect() {
        VerifyResult out;
        for (auto& u : m_units) {
            if (!u->finished) {
                Finish(*u, VerifyOutcome::Cancelled);
            }
            out.units.push_back(u->result);
        }
        return out;
    }

    bool Stopped() const { return m_stop != nullptr && m_stop->IsSet(); }

    void Report(const Unit& u, VerifyStep step) const {
        if (m_progress) {
            m_progress(u.in->unit, step);
        }
    }

    void Finish(Unit& u, VerifyOutcome outcome, std::string detail = {}) {
        if (u.finished) {
            return;
        }
        u.finished = true;
        u.result.outcome = outcome;
        u.result.detail = std::move(detail);
        Report(u, VerifyStep::Finished);
    }

    // Ends the unit for a transaction that was cut short; false when it was not.
    bool FinishIfInterrupted(Unit& u, int code) {
        if (code == RC_STOPPED || Stopped()) {
            Finish(u, VerifyOutcome::Cancelled);
        } else if (code == RC_DEVICE_GONE || u.module->HungUp()) {
            Finish(u, VerifyOutcome::DeviceGone, u.module->GoneReason());
        } else {
            return false;
        }
        return true;
    }

    // The controller's worker would compete for the replies: the verifier sends its commands
    // from this thread, the way the tools send direct commands.
    bool Open(Unit& u, const VerifyLine& line) {
        CModuleControl& m = *u.module;
        m.ClosePort();
        const auto baud = static_cast<uint32_t>(line.baud);
        const auto stopBits = static_cast<uint8_t>(line.stopBits);
        const auto parity = static_cast<uint8_t>(line.parity);
        const int opened = u.in->devicePath.empty()
                               ? m.OpenPort(u.in->comPort, baud, stopBits, parity)
                               : m.OpenPortPath(u.in->devicePath, baud, stopBits, parity);
        if (opened == 0) {
            Finish(u, VerifyOutcome::CannotOpen, m.LastOpenError().reason);
            return false;
        }
        m.TalkDirectly();
        // A stop relayed before the reset above is seen here.
        return !FinishIfInterrupted(u, RC_OK);
    }

    // ATZ without waiting for its OK: some units answer before they restart, some after, at the
    // new setting; the listener takes whatever comes. Nothing received is dropped: a unit that
    // linked since its escape has announced it, and the ATZ then went over the air.
    bool SendReset(Unit& u) {
        if (u.module->SendRaw(cat::kReset.text)) {
            return true;
        }
        if (!FinishIfInterrupted(u, RC_OK)) {
            Finish(u, VerifyOutcome::NoAnswer);
        }
        return false;
    }

    // One restart: escape first, since a linked unit would send the ATZ over the air. A unit that
    // already runs the stored UART did not hear an ATZ at the old setting, so it gets one there
    // too. False when the unit is finished (cannot open, stopped, gone).
    bool Restart(Unit& u) {
        if (Stopped()) {
            Finish(u, VerifyOutcome::Cancelled);
            return false;
        }
        const UnitToVerify& in = *u.in;
        Report(u, VerifyStep::Opening);
        if (!Open(u, in.now)) {
            return false;
        }
        Report(u, VerifyStep::Resetting);
        if (FinishIfInterrupted(u, u.module->Escape(cat::kRestartEscapeTimeoutMs)) ||
            !SendReset(u)) {
            return false;
        }
        if (!(in.now == in.stored) &&
            (FinishIfInterrupted(u, u.module->Pause(cat::kReopenSettleMs)) || !Open(u, in.stored) ||
             !SendReset(u))) {
            return false;
        }
        u.resetAt = Clock::now();
        u.nextProbe = u.resetAt + std::chrono::milliseconds(cat::kRestartProbeIntervalMs);
        return true;
    }

    Clock::time_point BootDeadline(const Unit& u) const {
        return u.resetAt + std::chrono::milliseconds(m_options.restartBoundMs);
    }

    // When a unit may be taken to have booted: its answer, or the bound.
    Clock::time_point Ready(const Unit& u) const {
        return u.answered ? u.resetAt + std::chrono::milliseconds(u.result.restartMs)
                          : BootDeadline(u);
    }

    // The link may take its bound after the later unit booted.
    Clock::time_point LinkDeadline() const {
        Clock::time_point latest{};
        for (const auto& u : m_units) {
            latest = std::max(latest, Ready(*u));
        }
        return latest + std::chrono::milliseconds(m_options.linkTimeoutMs);
    }

    void AwaitBoot() {
        Listen([this] {
            Clock::time_point latest{};
            for (const auto& u : m_units) {
                if (!u->finished && !u->answered && !u->linked) {
                    latest = std::max(latest, BootDeadline(*u));
                }
            }
            return latest;
        });
    }

    void RunOneUnit(Unit& u) {
        if (u.finished) {
            return;
        }
        AwaitBoot();
        if (u.finished) {
            return;
        }
        Clock::time_point deadline = LinkDeadline();
        if (u.linked) {
            return; // linked while it booted: nothing more to wait for
        }
        if (m_options.askPartnerPowerCycle) {
            // The prompt stays up while the link is awaited.
            Report(u, VerifyStep::WaitingForPartner);
            if (!m_options.askPartnerPowerCycle() || Stopped()) {
                Finish(u, VerifyOutcome::Cancelled);
                return;
            }
            deadline = Clock::now() + std::chrono::milliseconds(m_options.powerCycleTimeoutMs);
            u.result.linkTimeoutMs = m_options.powerCycleTimeoutMs;
        } else {
            Report(u, VerifyStep::WaitingForLink);
        }
        // A unit that links without a word stops answering: its status then tells.
        m_watchQuiet = true;
        Listen([deadline] { return deadline; });
    }

    // Linked with another unit than its partner, by its own word.
    static bool NamedAnother(const Unit& u) {
        return u.linked && !u.result.linkedTo.empty() &&
               !SameAddress(u.result.linkedTo, u.in->partner);
    }

    bool AllSettled() const {
        for (const auto& u : m_units) {
            // One port alone cannot prove more than the unit's own word that it linked.
            const bool alone = m_units.size() == 1 && u->linked;
            if (!u->finished && !u->proven && !NamedAnother(*u) && !alone) {
                return false;
            }
        }
        return true;
    }

    // Takes what the units say, probes the booting ones and proves links by data, until every
    // unit is proven or finished, or `deadline()` (which may move as units answer) has passed.
    template <typename Deadline> void Listen(Deadline deadline) {
        Clock::time_point nextProof = Clock::now();
        while (!AllSettled()) {
            const Clock::time_point now = Clock::now();
            const Clock::time_point until = deadline();
            if (now >= until) {
                return;
            }
            Clock::time_point wake = until;
            for (auto& u : m_units) {
                if (Probing(*u)) {
                    if (now >= u->nextProbe) {
                        SendProbe(*u);
                    }
                    wake = std::min(wake, u->nextProbe);
                }
            }
            if (m_units.size() == 2) {
                const Clock::time_point from = ProofFrom(now);
                if (from <= now && nextProof <= now) {
                    SendProofs();
                    nextProof = now + std::chrono::milliseconds(kLinkProofIntervalMs);
                }
                if (from != Clock::time_point::max()) {
                    wake = std::min(wake, std::max(from, nextProof));
                }
            }
            std::vector<Unit*> waiting;
            std::vector<CModuleControl*> modules;
            for (auto& u : m_units) {
                if (!u->finished) {
                    waiting.push_back(u.get());
                    modules.push_back(u->module.get());
                }
            }
            if (waiting.empty()) {
                return;
            }
            const auto left = std::max<long long>(
                1, std::chrono::ceil<std::chrono::milliseconds>(wake - now).count());
            const UnitLineEvent e =
                CModuleControl::WaitOnUnits(modules, m_stop, static_cast<int>(left));
            using Kind = UnitLineEvent::Kind;
            if (e.kind == Kind::Stopped) {
                for (Unit* u : waiting) {
                    Finish(*u, VerifyOutcome::Cancelled);
                }
                return;
            }
            if (e.kind == Kind::Failed) {
                SleepUnlessSet(m_stop, 50); // never a busy loop, whatever failed
                continue;
            }
            if (e.kind == Kind::Timeout) {
                continue;
            }
            Unit& u = *waiting[e.unit];
            Take(u);
            // Bytes that came before the hang-up were taken first.
            if (!u.finished && e.kind == Kind::Gone) {
                Finish(u, VerifyOutcome::DeviceGone, u.module->GoneReason());
            }
        }
    }

    bool Probing(const Unit& u) const {
        return !u.finished && !u.linked && !u.proven &&
               (m_watchQuiet || Clock::now() < BootDeadline(u));
    }

    void SendProbe(Unit& u) {
        if (m_watchQuiet && u.probeOut && Clock::now() >= m_nextQuietCheck) {
            CheckQuietLink(u);
            m_nextQuietCheck = Clock::now() + std::chrono::milliseconds(kQuietCheckIntervalMs);
            if (u.finished || u.linked) {
                return;
            }
        }
        u.deafSince = u.deafSince || u.probeOut;
        u.probeOut = true;
        u.module->SendRaw(kProbe);
        u.nextProbe = Clock::now() + std::chrono::milliseconds(cat::kRestartProbeIntervalMs);
    }

    // An answer while the unit boots: the last one after it had gone deaf dates its restart.
    void Answered(Unit& u) {
        if (!u.answered || u.deafSince) {
            u.result.restartMs = static_cast<int>(
                std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - u.resetAt)
                    .count());
        }
        u.answered = true;
        u.deafSince = false;
    }

    // When data proof is wanted: at once for an end that is linked without being proven, and a
    // grace after its ATZ for an end that has announced nothing: it may link without a word
    // (result codes off), or its announcement was lost (a link made while it was escaped). A
    // token that reaches a booting unit is lost and one that reaches a unit in command mode is
    // an unknown command, so trying early costs nothing. Never while an end is finished: there
    // is nothing to prove with.
    Clock::time_point ProofFrom(Clock::time_point now) const {
        Clock::time_point from = Clock::time_point::max();
        for (const auto& u : m_units) {
            if (u->finished) {
                return Clock::time_point::max();
            }
            if (u->proven || NamedAnother(*u)) {
                continue;
            }
            from = std::min(from, u->linked ? now
                                            : u->resetAt + std::chrono::milliseconds(
                                                               cat::kPeerAnnounceGraceMs));
        }
        return from;
    }

    // A token written into each end that may be linked: out of the other end's line, it proves
    // that the two are linked with each other. Into a unit in command mode it is an unknown
    // command, answered ERROR or not at all.
    void SendProofs() {
        for (auto& u : m_units) {
            if (!u->proven || u->linked) {
                u->module->SendRaw(ProofToken(*u));
            }
        }
    }

    static std::string ProofToken(const Unit& from) {
        return "norva-verify " + from.in->partner + "\r";
    }

    // Reads what came in and follows the unit's answers and announcements line by line.
    void Take(Unit& u) {
        const std::string got = u.module->TakeReceived();
        u.text += got;
        u.data += got;
        size_t end;
        while ((end = u.text.find_first_of("\r\n")) != std::string::npos) {
            const std::string line = u.text.substr(0, end);
            u.text.erase(0, end + 1);
            OnLine(u, line);
        }
        // Data after the link is the partner's business, not a line to wait for.
        if (u.text.size() > kMaxPendingText) {
            u.text.clear();
        }
        if (m_units.size() == 2) {
            Unit& other = *m_units[&u == m_units[0].get() ? 1 : 0];
            // The two ports' units are linked with each other; an end that named another unit
            // keeps its own word.
            if (u.data.find(ProofToken(other)) != std::string::npos) {
                for (Unit* end : {&u, &other}) {
                    if (!NamedAnother(*end)) {
                        end->proven = end->linked = true;
                        end->result.linkedTo = end->in->partner;
                    }
                }
            }
        }
        if (u.data.size() > kMaxPendingText) {
            u.data.erase(0, u.data.size() - kMaxPendingText / 2);
        }
    }

    void OnLine(Unit& u, const std::string& line) {
        if (line == "OK" || line == "ERROR") {
            // The ATZ's own answer may come before any probe: only an answer to a probe shows
            // that the unit listens again.
            if (u.probeOut) {
                u.probeOut = false;
                Answered(u);
            }
            return;
        }
        const std::optional<LinkLine> link = ParseLinkLine(line);
        if (!link) {
            return;
        }
        if (!u.answered) {
            Answered(u);
        }
        u.probeOut = false;
        u.linked = link->kind == LinkLine::Kind::Connect;
        if (!u.linked) {
            return;
        }
        u.result.linkedTo = link->partner;
        if (link->partner.empty() || !SameAddress(link->partner, u.in->partner)) {
            return;
        }
        u.proven = true;
    }

    // One unit that answered and then went deaf to probes may have linked without announcing it
    // (result codes off, or a module that does not announce a link it made itself): its status
    // says so. Anything else it may be doing (booting, paging) is left to go on.
    void CheckQuietLink(Unit& u) {
        if (FinishIfInterrupted(u, u.module->Escape(cat::kRestartEscapeTimeoutMs))) {
            return;
        }
        ModuleInfo info;
        const int q = u.module->QueryStatus(info);
        if (FinishIfInterrupted(u, q) || !StatusWasRead(q) ||
            info.m_nLinkState.load() != LINK_CONNECTED) {
            u.probeOut = false;
            return;
        }
        u.linked = true;
        u.module->ReturnOnline();
        FinishIfInterrupted(u, u.module->Pause(cat::kReturnOnlineSettleMs));
    }

    // The result of a unit the listening left undecided.
    void Decide(Unit& u) {
        if (u.finished) {
            return;
        }
        if (u.proven) {
            if (u.result.linkedTo.empty()) {
                u.result.linkedTo = u.in->partner;
            }
            Finish(u, VerifyOutcome::Verified);
        } else if (NamedAnother(u)) {
            Finish(u, VerifyOutcome::WrongPartner);
        } else if (u.linked) {
            Finish(u, m_units.size() == 1 ? VerifyOutcome::LinkedUnnamed
                                          : VerifyOutcome::PartnerUnnamed);
        } else {
            Diagnose(u, false);
        }
    }

    // A unit that never announced a link, or one whose stored settings are checked: its status
    // at the stored setting says whether it runs what was stored, or linked without a word.
    void Diagnose(Unit& u, bool storedOnly) {
        if (u.finished) {
            return;
        }
        Report(u, VerifyStep::Checking);
        // A unit that announced a link is in data mode: the status command would go over the air.
        if (u.linked && FinishIfInterrupted(u, u.module->Escape(cat::kRestartEscapeTimeoutMs))) {
            return;
        }
        ModuleInfo info;
        const int q = u.module->QueryStatus(info);
        if (!StatusWasRead(q)) {
            if (!FinishIfInterrupted(u, q)) {
                Finish(u, VerifyOutcome::NoAnswer);
            }
            return;
        }
        u.result.mode = info.m_nOpMode.load();
        u.result.flow = info.m_bFlowReported.load() ? info.m_nFlowControl.load() : -1;
        if (u.result.restartMs < 0) {
            Answered(u);
        }
        const bool modeKept = u.in->askedMode < 0 || u.result.mode == u.in->askedMode;
        const bool flowKept = u.in->askedFlow < 0 || u.result.flow < 0 ||
                              (u.result.flow != 0) == (u.in->askedFlow != 0);
        if (!modeKept || !flowKept) {
            Finish(u, VerifyOutcome::NotStored);
        } else if (storedOnly) {
            Finish(u, VerifyOutcome::Verified);
        } else if (info.m_nLinkState.load() == LINK_CONNECTED) {
            // Linked without a word: back to data mode, where it was.
            u.module->ReturnOnline();
            if (!FinishIfInterrupted(u, u.module->Pause(cat::kReturnOnlineSettleMs))) {
                Finish(u, m_units.size() == 1 ? VerifyOutcome::LinkedUnnamed
                                              : VerifyOutcome::PartnerUnnamed);
            }
        } else {
            Finish(u, VerifyOutcome::LinkNotUp);
        }
    }

    const Event* m_stop;
    const VerifyProgress& m_progress;
    const VerifyOptions& m_options;
    std::mutex m_transcriptLock; // outlives the units, whose ports report under it
    std::vector<std::unique_ptr<Unit>> m_units;
    bool m_watchQuiet = false; // one unit, awaiting its link
    Clock::time_point m_nextQuietCheck{};
};

std::string UnitLabel(int unit) {
    return "Norva-BX0" + std::to_string(unit);
}

// What the status shows against what was stored, naming only what differs.
std::string NotStoredLine(const UnitVerifyResult& r, const std::string& who) {
    const UiLanguage lang = GetUiLanguage();
    const char* joint = lang == UiLanguage::Korean ? ", " : " and ";
    std::string shown;
    std::string asked;
    if (r.askedMode >= 0 && r.mode != r.askedMode) {
        shown = ModeText(r.mode, lang);
        asked = ModeText(r.askedMode, lang);
    }
    if (r.askedFlow >= 0 && r.flow >= 0 && (r.flow != 0) != (r.askedFlow != 0)) {
        shown += (shown.empty() ? "" : joint) + FlowText(r.flow, lang);
        asked += (asked.empty() ? "" : joint) + FlowText(r.askedFlow, lang);
    }
    return FormatString(IDS_VERIFY_NOT_STORED, {who, r.port, shown, asked});
}

} // namespace

bool VerifyResult::Verified() const {
    if (units.empty()) {
        return false;
    }
    for (const UnitVerifyResult& u : units) {
        if (!u.Verified()) {
            return false;
        }
    }
    return true;
}

VerifyResult VerifyPair(const std::vector<UnitToVerify>& units, const Event* stop,
                        const VerifyProgress& progress, const VerifyOptions& options) {
    return Verifier(units, stop, progress, options).Run();
}

UnitVerifyResult CheckStoredAfterRestart(const UnitToVerify& unit, const Event* stop,
                                         const VerifyProgress& progress) {
    const std::vector<UnitToVerify> units{unit};
    const VerifyOptions options;
    return Verifier(units, stop, progress, options).CheckStored().units.front();
}

std::string DescribeUnitResult(const UnitVerifyResult& r) {
    const std::string who = r.name.empty() ? UnitLabel(r.unit) : r.name;
    switch (r.outcome) {
    case VerifyOutcome::Verified:
        return FormatString(IDS_VERIFY_UNIT_OK, {who, r.port, r.linkedTo});
    case VerifyOutcome::CannotOpen:
        return FormatString(IDS_VERIFY_OPEN_FAILED, {who, r.port, r.detail});
    case VerifyOutcome::NoAnswer:
        return FormatString(IDS_VERIFY_NO_ANSWER, {who, r.port});
    case VerifyOutcome::LinkNotUp:
        return FormatString(IDS_VERIFY_LINK_NOT_UP,
                            {who, r.port, std::to_string((r.linkTimeoutMs + 999) / 1000),
                             r.mode < 0 ? "?" : std::to_string(r.mode)});
    case VerifyOutcome::WrongPartner:
        return FormatString(IDS_VERIFY_WRONG_PARTNER, {who, r.port, r.linkedTo, r.partner});
    case VerifyOutcome::PartnerUnnamed:
        return FormatString(IDS_VERIFY_PARTNER_UNNAMED, {who, r.port});
    case VerifyOutcome::LinkedUnnamed:
        return FormatString(IDS_VERIFY_UNIT_LINKED, {who, r.port});
    case VerifyOutcome::NotStored:
        return NotStoredLine(r, who);
    case VerifyOutcome::DeviceGone:
        return FormatString(IDS_VERIFY_DEVICE_GONE, {who, r.port, r.detail});
    case VerifyOutcome::Cancelled:
        break;
    }
    return FormatString(IDS_VERIFY_CANCELLED, {who, r.port});
}

std::string DescribeVerifyResult(const VerifyResult& result) {
    std::string text = LoadString(result.Verified() ? IDS_VERIFY_PAIR_OK : IDS_VERIFY_PAIR_NOT);
    for (const UnitVerifyResult& u : result.units) {
        text += "\n" + DescribeUnitResult(u);
    }
    return text;
}

} // namespace norva::flow
