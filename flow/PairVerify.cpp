#include "flow/PairVerify.h"

#include "flow/Address.h"
#include "flow/StopRelay.h"
#include "module/ModuleControl.h"
#include "module/ModuleHost.h"
#include "module/Protocol.h"
#include "module/ReadBack.h"
#include "module/ReplyParser.h"
#include "res/strings/StringTable.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <memory>

namespace norva::flow {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kResetSendTimeoutMs = 2000;
constexpr int kEscapeTimeoutMs = 2000;
// A unit that has not announced its link this long after its restart is asked for its status.
constexpr int kVerifyQuietCheckMs = 3000;
// After "ATO" the module needs a moment before data goes through.
constexpr int kReturnOnlineSettleMs = 100;
// Data sent through a link reaches the other end well within this.
constexpr int kVerifyDataTimeoutMs = 2000;
constexpr size_t kMaxPendingText = 512;

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
    VerifyHost host;
    std::unique_ptr<CModuleControl> module = std::make_unique<CModuleControl>(&host);
    UnitVerifyResult result;
    bool finished = false; // result decided
    bool linked = false;   // announced CONNECT, no DISCONNECT since
    std::string text;      // received while waiting, not yet a whole line
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
            u->result.port =
                in.devicePath.empty() ? "COM" + std::to_string(in.comPort) : in.devicePath;
            u->result.linkTimeoutMs = options.linkTimeoutMs;
            u->result.partner = in.partner;
            u->result.askedMode = in.askedMode;
            u->result.askedFlow = in.askedFlow;
            u->module->SetTranscript(options.transcript);
            m_units.push_back(std::move(u));
        }
    }

    // Restarts and reads the units' status only: no link is awaited.
    VerifyResult CheckStored() {
        {
            std::vector<CModuleControl*> modules;
            for (auto& u : m_units) {
                modules.push_back(u->module.get());
            }
            StopRelay relay(m_stop, modules);
            for (auto& u : m_units) {
                Prepare(*u);
                if (!u->finished) {
                    Finish(*u, VerifyOutcome::Verified);
                }
                u->module->ClosePort();
            }
        }
        return Collect();
    }

    VerifyResult Run() {
        {
            std::vector<CModuleControl*> modules;
            for (auto& u : m_units) {
                modules.push_back(u->module.get());
            }
            StopRelay relay(m_stop, modules);
            for (auto& u : m_units) {
                Prepare(*u);
            }
            Listen();
            for (auto& u : m_units) {
                u->module->ClosePort();
            }
        }
        return Collect();
    }

private:
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

    // ATZ without waiting for its OK: the listener reads the OK and what follows it together.
    int SendReset(Unit& u) {
        u.module->SetAwaitResetReply(false);
        return u.module->Reset(kResetSendTimeoutMs);
    }

    // Restarts the unit on the line as it is open and lets the restart pass: an escape first,
    // since a unit that linked already would send the ATZ over the air. The pause also lets the
    // ATZ leave the line before the port is reopened at other settings. False when the unit is
    // finished (stopped, gone).
    bool Restart(Unit& u) {
        return !FinishIfInterrupted(u, u.module->Escape(kEscapeTimeoutMs)) &&
               !FinishIfInterrupted(u, SendReset(u)) &&
               !FinishIfInterrupted(u, u.module->Pause(kVerifyRestartSettleMs));
    }

    void Prepare(Unit& u) {
        if (Stopped()) {
            Finish(u, VerifyOutcome::Cancelled);
            return;
        }
        const UnitToVerify& in = *u.in;
        Report(u, VerifyStep::Opening);
        if (!Open(u, in.now)) {
            return;
        }
        // Only a status read after a restart proves what was stored: a unit may show a new mode
        // or flow control only then.
        Report(u, VerifyStep::Resetting);
        if (!Restart(u)) {
            return;
        }
        // A unit that took the stored UART at once did not hear that ATZ.
        if (!(in.now == in.stored) && (!Open(u, in.stored) || !Restart(u))) {
            return;
        }
        Report(u, VerifyStep::Checking);
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
        const bool modeKept = in.askedMode < 0 || u.result.mode == in.askedMode;
        const bool flowKept =
            in.askedFlow < 0 || u.result.flow < 0 || (u.result.flow != 0) == (in.askedFlow != 0);
        if (!modeKept || !flowKept) {
            Finish(u, VerifyOutcome::NotStored);
        }
    }

    void Listen() {
        std::vector<Unit*> waiting;
        for (auto& u : m_units) {
            if (u->finished) {
                continue;
            }
            Report(*u, VerifyStep::Resetting);
            if (!FinishIfInterrupted(*u, SendReset(*u))) {
                Report(*u, VerifyStep::WaitingForLink);
                waiting.push_back(u.get());
            }
        }
        const auto deadline = Clock::now() + std::chrono::milliseconds(m_options.linkTimeoutMs);
        // A unit may link after its restart without announcing it: after a quiet spell, and at
        // the end, its status tells.
        const auto quiet =
            std::min(deadline, Clock::now() + std::chrono::milliseconds(kVerifyQuietCheckMs));
        for (const auto until : {quiet, deadline}) {
            if (!WaitForAnnouncements(waiting, until)) {
                return;
            }
            std::erase_if(waiting, [](Unit* w) { return w->finished; });
            if (!AllLinked(waiting)) {
                AskWhoIsLinked(waiting);
                std::erase_if(waiting, [](Unit* w) { return w->finished; });
            }
            if (AllLinked(waiting)) {
                break;
            }
        }
        ConfirmUnnamedLink(waiting);
        for (Unit* u : waiting) {
            if (u->finished) {
                continue;
            }
            if (!u->linked) {
                Finish(*u, VerifyOutcome::LinkNotUp);
            } else if (u->result.linkedTo.empty()) {
                Finish(*u, m_units.size() == 1 ? VerifyOutcome::LinkedUnnamed
                                               : VerifyOutcome::PartnerUnnamed);
            } else if (!SameAddress(u->result.linkedTo, u->in->partner)) {
                Finish(*u, VerifyOutcome::WrongPartner);
            } else {
                Finish(*u, VerifyOutcome::Verified);
            }
        }
    }

    // Takes what the waiting units say until all have announced a link or `until`; false when
    // the check was cancelled (every unit then finished).
    bool WaitForAnnouncements(std::vector<Unit*> waiting, Clock::time_point until) {
        while (!AllLinked(waiting)) {
            // A finished unit's events (a gone device stays signalled) are no longer watched.
            std::erase_if(waiting, [](Unit* w) { return w->finished; });
            std::vector<CModuleControl*> modules;
            modules.reserve(waiting.size());
            for (Unit* u : waiting) {
                modules.push_back(u->module.get());
            }
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now()).count();
            if (left <= 0) {
                return true;
            }
            const UnitLineEvent e =
                CModuleControl::WaitOnUnits(modules, m_stop, static_cast<int>(left));
            using Kind = UnitLineEvent::Kind;
            if (e.kind == Kind::Timeout || e.kind == Kind::Failed) {
                if (e.kind == Kind::Failed) {
                    SleepUnlessSet(m_stop, 50); // never a busy loop, whatever failed
                }
                continue;
            }
            if (e.kind == Kind::Stopped) {
                for (Unit* u : waiting) {
                    Finish(*u, VerifyOutcome::Cancelled);
                }
                return false;
            }
            Unit& u = *waiting[e.unit];
            Take(u);
            // Bytes that came before the hang-up were taken first.
            if (!u.finished && e.kind == Kind::Gone) {
                Finish(u, VerifyOutcome::DeviceGone, u.module->GoneReason());
            }
        }
        return true;
    }

    // The status of each unit that has not announced a link: one that shows the link up is
    // linked (without a partner's name) and goes back to data mode.
    void AskWhoIsLinked(const std::vector<Unit*>& waiting) {
        for (Unit* u : waiting) {
            if (u->finished || u->linked) {
                continue;
            }
            ModuleInfo info;
            const int q = u->module->QueryStatus(info);
            if (FinishIfInterrupted(*u, q) || !StatusWasRead(q) ||
                info.m_nLinkState.load() != LINK_CONNECTED) {
                continue;
            }
            u->linked = true;
            u->module->ReturnOnline();
            FinishIfInterrupted(*u, u->module->Pause(kReturnOnlineSettleMs));
        }
    }

    // Two units that announced a link without naming the partner: bytes written to one must come
    // out of the other, which proves that they linked with each other.
    void ConfirmUnnamedLink(const std::vector<Unit*>& waiting) {
        if (waiting.size() != 2 || !AllLinked(waiting)) {
            return;
        }
        Unit& from = *waiting[0];
        Unit& to = *waiting[1];
        if (!from.result.linkedTo.empty() && !to.result.linkedTo.empty()) {
            return;
        }
        const std::string token = "norva-verify " + from.in->partner + "\r";
        if (!from.module->SendRaw(token)) {
            return;
        }
        to.text.clear();
        const auto deadline = Clock::now() + std::chrono::milliseconds(kVerifyDataTimeoutMs);
        std::string seen;
        while (seen.find(token) == std::string::npos && !Stopped()) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) {
                return;
            }
            const UnitLineEvent e =
                CModuleControl::WaitOnUnits({to.module.get()}, m_stop, static_cast<int>(left));
            if (e.kind == UnitLineEvent::Kind::Gone) {
                return;
            }
            if (e.kind != UnitLineEvent::Kind::Data) {
                continue;
            }
            seen += to.module->TakeReceived();
            if (seen.size() > kMaxPendingText) {
                seen.erase(0, seen.size() - token.size());
            }
        }
        if (seen.find(token) != std::string::npos) {
            from.result.linkedTo = from.in->partner;
            to.result.linkedTo = to.in->partner;
        }
    }

    static bool AllLinked(const std::vector<Unit*>& waiting) {
        for (const Unit* u : waiting) {
            if (!u->finished && !u->linked) {
                return false;
            }
        }
        return true;
    }

    // Reads what came in and follows the unit's announcements line by line.
    void Take(Unit& u) {
        u.text += u.module->TakeReceived();
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
    }

    static void OnLine(Unit& u, const std::string& line) {
        const std::optional<LinkLine> link = ParseLinkLine(line);
        if (!link) {
            return;
        }
        u.linked = link->kind == LinkLine::Kind::Connect;
        if (u.linked) {
            u.result.linkedTo = link->partner;
        }
    }

    const Event* m_stop;
    const VerifyProgress& m_progress;
    const VerifyOptions& m_options;
    std::vector<std::unique_ptr<Unit>> m_units;
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
    const std::string who = UnitLabel(r.unit);
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
