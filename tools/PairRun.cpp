#include "tools/PairRun.h"

#include "flow/Address.h"
#include "module/Catalogue.h"
#include "module/Protocol.h"
#include "tools/ExitCodes.h"

#include <array>
#include <chrono>

namespace norva::tools {
namespace {

using flow::STEP_CONNECTION;
using flow::STEP_FIRST;
using flow::STEP_MODE;
using flow::STEP_MODE1;
using flow::STEP_MODE_SUCCESS;
using flow::STEP_SCAN;
using flow::STEP_SCAN_WAIT;
using flow::STEP_SEARCH;
using flow::STEP_SUCCESS;

std::string StepText(int step) {
    return "step " + std::to_string(step + 1) + " of 9: ";
}

std::string Identity(const station::UnitRecord& unit) {
    return unit.address + (unit.name.empty() ? "" : " (" + unit.name + ")");
}

} // namespace

PairRun::PairRun(const PairSetup& setup, const PairPlan& plan, ProgressOutput& out,
                 Event* interrupted, ITranscript* transcript, PairRecording* recording)
    : m_setup(setup), m_plan(plan), m_interrupted(interrupted), m_recording(recording),
      m_transcript(transcript), m_view(setup, out, plan.batch ? setup.name + ": " : std::string()) {
    m_view.SetAsksEnter(setup.OnePort() && !plan.waitUnit);
    m_module.SetTranscript(transcript);
    m_flow.Attach(&m_controller);
    m_attempt.pairName = setup.name;
    m_attempt.step = 1;
    m_attempt.exitCode = kExitOk;
    for (int i = 0; i < 2; ++i) {
        m_attempt.unit[i].port = PortName(setup.line[i]);
    }
}

PairRun::~PairRun() {
    m_flow.Attach(nullptr);
    m_module.ClosePort();
    m_module.SetTranscript(nullptr);
}

station::AttemptRecord PairRun::Run() {
    m_view.Print(m_setup.OnePort()
                     ? "pairing on one port, " + m_attempt.unit[0].port + ": unit 1 first"
                     : "pairing unit 1 on " + m_attempt.unit[0].port + " with unit 2 on " +
                           m_attempt.unit[1].port);
    if (!m_setup.OnePort()) {
        if (std::string reason; !HoldUnit2(reason)) {
            return Unit2PortFailed(reason, false);
        }
    }
    if (m_recording != nullptr) {
        if (std::optional<station::AttemptRecord> early = BeginRecord()) {
            return *early;
        }
    }
    int step = STEP_FIRST;
    int retries = m_plan.retries;
    m_view.ShowStep(STEP_FIRST);
    Press(STEP_FIRST);
    for (;;) {
        if (!Pump()) {
            return Finish(false, m_stalled ? "the module's job did not end within " +
                                                 std::to_string(kJobStallMs / 1000) + " s"
                                           : "interrupted");
        }
        const int now = m_view.ActiveStep();
        if (now != step) {
            Arrived(step, now);
            if (m_recording != nullptr && !Recorded(step)) {
                return Finish(false, m_attempt.reason);
            }
            step = now;
            retries = m_plan.retries;
            if (step == STEP_MODE_SUCCESS) {
                m_module.ClosePort();
                if (m_plan.verify) {
                    Verify();
                }
                return Finish(m_attempt.Verified().value_or(true),
                              "both units were configured, but " + m_attempt.verifyDetail);
            }
            if (!Act(step)) {
                return Finish(false, m_attempt.reason);
            }
            continue;
        }
        // The flow now waits for the user, as the wizard would with its
        // buttons.
        const flow::Failure failure = m_flow.LastFailure();
        const bool gone = failure == flow::Failure::DeviceGone;
        if (step == STEP_CONNECTION && !gone && failure != flow::Failure::PortFailed &&
            m_connectAttempts < kConnectAttempts) {
            m_view.Print("connecting again");
            if (!Connect()) {
                return Finish(false, m_attempt.reason);
            }
            continue;
        }
        if (const std::string note = m_view.TakeNote(); !note.empty()) {
            // A failure the module's own box told already, and what to do.
            m_view.Print(note);
            if (m_view.LastMessage().empty()) {
                m_lastNote = note;
            }
        }
        if (!m_view.HandedBack()) {
            return Finish(false, "the pairing stopped at step " + std::to_string(step + 1) +
                                     " without a result");
        }
        const bool moveAgain = m_setup.OnePort() && !m_plan.waitUnit && !gone &&
                               (step == STEP_SCAN_WAIT || step == STEP_MODE1);
        if (moveAgain || retries > 0) {
            if (!moveAgain) {
                --retries;
            }
            m_view.Print(StepText(step) + "trying again");
            m_view.ClearFailure();
            m_connectAttempts = 0;
            if (!Act(step)) {
                return Finish(false, m_attempt.reason);
            }
            continue;
        }
        std::string error = m_view.LastMessage().empty() ? m_lastNote : m_view.LastMessage();
        return Finish(false,
                      error.empty() ? "step " + std::to_string(step + 1) + " failed" : error);
    }
}

void PairRun::Press(int step) {
    m_view.ClearFailure();
    m_flow.Next(step);
}

bool PairRun::Act(int step) {
    switch (step) {
    case STEP_FIRST:
    case STEP_SCAN:
    case STEP_SEARCH:
    case STEP_MODE:
        Press(step);
        return true;
    case STEP_SCAN_WAIT:
    case STEP_MODE1:
        if (step == STEP_SCAN_WAIT) {
            // The flow opens unit 2's port itself from here on.
            ReleaseUnit2();
        }
        if (m_setup.OnePort() && !MoveCable(step == STEP_SCAN_WAIT ? flow::UNIT_2 : flow::UNIT_1)) {
            return false;
        }
        Press(step);
        return true;
    case STEP_CONNECTION:
        return Connect();
    case STEP_SUCCESS:
        // Step 6 has nothing to do: its Next only moves on.
        m_view.ShowStep(STEP_MODE);
        return true;
    default:
        return false;
    }
}

bool PairRun::Connect() {
    const std::string target = m_flow.Unit1Address();
    if (m_module.HungUp() || m_flow.LastFailure() == flow::Failure::DeviceGone) {
        // Unplugged during the search (the flow may have closed the port on it already):
        // nothing can be dialled, and the search's count says nothing of unit 1.
        m_gone = true;
        // The flow's own words where it said them: one failure, one text.
        const std::string reason = m_module.GoneReason();
        m_attempt.reason = !m_view.LastMessage().empty() ? m_view.LastMessage()
                           : reason.empty() ? m_attempt.unit[1].port + " was disconnected"
                                            : reason;
        return false;
    }
    if (m_connectAttempts == 0) {
        bool listed = false;
        const std::vector<DeviceRow> rows = m_host.Rows();
        for (const DeviceRow& row : rows) {
            listed = listed || flow::SameAddress(row.address, target);
        }
        if (!listed) {
            m_view.Print("unit 1 (" + target + ") was not among the " +
                         std::to_string(rows.size()) + " devices found; dialling it all the same");
        }
    }
    ++m_connectAttempts;
    m_flow.SetTarget(target);
    m_view.ClearFailure();
    m_flow.ConnectControl(true);
    return true;
}

bool PairRun::Pump() {
    Clock::time_point lastResult = Clock::now();
    const Clock::time_point searchStart = Clock::now();
    bool searchEnded = false;
    while (Outstanding() > 0) {
        if (Interrupted()) {
            Abort();
            return false;
        }
        int waitMs = kJobStallMs - ElapsedMs(lastResult);
        if (m_view.Searching() && !searchEnded) {
            waitMs = std::min(waitMs, kSearchLimitMs - ElapsedMs(searchStart));
        }
        std::array<Event*, 3> events{m_host.Results().Ready(), m_interrupted, m_host.RowEvent()};
        WaitAny(events, std::max(0, waitMs));
        if (m_view.Searching() && !searchEnded && Unit1Listed()) {
            // Unit 1 is what the search is for: the rest of it is waiting.
            searchEnded = true;
            m_flow.SearchControl(false);
        }
        bool any = false;
        while (std::optional<JobResult> r = m_host.Results().Take()) {
            any = true;
            ++m_nResults;
            m_flow.OnJobResult(r->code, r->jobId);
        }
        if (any) {
            lastResult = Clock::now();
        } else if (m_view.Searching() && !searchEnded && ElapsedMs(searchStart) >= kSearchLimitMs) {
            // A module that never ends its device list must not hold the run.
            searchEnded = true;
            m_view.Print("search ended after " + std::to_string(kSearchLimitMs / 1000) + " s");
            m_flow.SearchControl(false);
        } else if (ElapsedMs(lastResult) >= kJobStallMs) {
            m_stalled = true;
            Abort();
            return false;
        }
    }
    return !Interrupted();
}

bool PairRun::Unit1Listed() const {
    for (const DeviceRow& row : m_host.Rows()) {
        if (flow::SameAddress(row.address, m_flow.Unit1Address())) {
            return true;
        }
    }
    return false;
}

void PairRun::Abort() {
    // Nothing more may be stored after the user stopped the run: the flow
    // ends the job under way and has the module drop a dial or search.
    m_flow.Cancel(catalogue::kCancelJobTimeoutMs);
    m_module.ClosePort();
}

void PairRun::Arrived(int from, int to) {
    station::UnitRecord& u1 = m_attempt.unit[0];
    station::UnitRecord& u2 = m_attempt.unit[1];
    switch (from) {
    case STEP_FIRST:
        NoteTraits(u1);
        u1.address = m_module.LastStatus().Address();
        u1.name = m_module.LastStatus().Name();
        m_view.Print(StepText(from) + "unit 1 on " + u1.port + " is " + Identity(u1));
        break;
    case STEP_SCAN:
        u1.discoverable = true;
        m_view.Print(StepText(from) + "unit 1 is discoverable");
        break;
    case STEP_SCAN_WAIT:
        NoteTraits(u2);
        u2.address = m_module.LastStatus().Address();
        u2.name = m_module.LastStatus().Name();
        // A unit linked to its partner is no longer waiting to be found.
        u1.discoverable = u1.discoverable && to != STEP_SUCCESS;
        m_view.Print(StepText(from) + "unit 2 on " + u2.port + " is " + Identity(u2) +
                     (to == STEP_SUCCESS ? ", linked to unit 1 already: no search needed" : ""));
        break;
    case STEP_SEARCH:
        if (m_flow.LastFailure() == flow::Failure::DeviceGone) {
            break; // the count of a search cut short by an unplug says nothing
        }
        m_view.Print(StepText(from) + "unit 2 searched: " + std::to_string(m_host.Rows().size()) +
                     (m_host.Rows().size() == 1 ? " device found" : " devices found"));
        break;
    case STEP_CONNECTION:
        u1.discoverable = false;
        m_view.Print(StepText(from) + "unit 2 connected to unit 1");
        break;
    case STEP_SUCCESS:
        m_view.Print(StepText(from) + "the units are linked");
        break;
    case STEP_MODE:
        NoteTraits(u2);
        NoteStored(1, true, true);
        u2.configured = true;
        m_view.Print(StepText(from) + "unit 2 stored UART " + u2.uart + " and mode 1");
        PrintNote();
        break;
    case STEP_MODE1:
        NoteTraits(u1);
        NoteStored(0, true, true);
        u1.configured = true;
        m_view.Print(StepText(from) + "unit 1 stored UART " + u1.uart + " and mode 2");
        PrintNote();
        m_view.Print(StepText(STEP_MODE_SUCCESS) + "both units are configured");
        break;
    default:
        break;
    }
}

void PairRun::NoteStored(int i, bool uart, bool mode, bool flowKept) {
    station::UnitRecord& unit = m_attempt.unit[i];
    if (uart) {
        flow::UartChoice held = m_setup.uart[i];
        held.flowControl = flowKept ? 1 : held.flowControl;
        unit.uart = UartText(held);
    }
    if (mode) {
        unit.mode = StoredMode(i);
    }
}

void PairRun::NoteTraits(station::UnitRecord& unit) const {
    // The port is reopened at every move between the units: what it noted
    // since is this unit's.
    unit.echo = unit.echo == "seen" || m_module.EchoSeen() ? "seen" : "none";
    if (const int args = m_module.LastApply().uartArgs; args > 0) {
        unit.uartArgs = args;
    }
}

void PairRun::Verify() {
    std::vector<flow::UnitToVerify> units;
    for (int i = 0; i < (m_setup.OnePort() ? 1 : 2); ++i) {
        // With one cable unit 1 is on it now; unit 2 is powered elsewhere.
        flow::UnitToVerify u;
        u.unit = i + 1;
        u.comPort = m_setup.line[i].port;
        u.devicePath = m_setup.line[i].device;
        u.now = {static_cast<int>(m_setup.line[i].baud), m_setup.line[i].parity,
                 m_setup.line[i].stopBits};
        u.stored = {m_setup.uart[i].baud, m_setup.uart[i].parity, m_setup.uart[i].stopBits};
        u.partner = m_attempt.unit[1 - i].address;
        u.name = m_flow.UnitName(i + 1);
        u.askedMode = StoredMode(i);
        u.askedFlow = m_setup.uart[i].flowControl;
        units.push_back(u);
    }
    m_view.Print("verifying: restarting " +
                 std::string(units.size() == 2 ? "both units" : "unit 1") +
                 " and waiting for the link");
    flow::VerifyOptions options;
    options.transcript = m_transcript;
    if (m_setup.OnePort()) {
        options.askPartnerPowerCycle = [this] { return AskPowerCycle(); };
        if (m_plan.waitUnit) {
            options.powerCycleTimeoutMs = m_plan.waitUnitSeconds * 1000;
        }
    }
    const flow::VerifyResult result = flow::VerifyPair(units, m_interrupted, {}, options);
    for (size_t i = 0; i < result.units.size() && i < 2; ++i) {
        m_attempt.unit[i].verified = result.units[i].Verified();
        m_attempt.unit[i].restartMs = result.units[i].restartMs;
    }
    m_attempt.verifyDetail = OneLine(flow::DescribeVerifyResult(result));
    m_view.Print(m_attempt.verifyDetail);
}

void PairRun::PrintNote() {
    if (const std::string note = m_view.TakeNote(); !note.empty()) {
        m_view.Print(note);
    }
}

int PairRun::FailureExit() const {
    using flow::Failure;
    if (Interrupted()) {
        return ExitFor(Failure::Cancelled);
    }
    if (m_holdFailed) {
        return ExitFor(Failure::PortFailed);
    }
    if (m_waitTimedOut) {
        return ExitFor(Failure::NoAnswer);
    }
    // What an outcome means is the flow's word; the exit status only names it.
    return ExitFor(m_gone ? Failure::DeviceGone : m_flow.LastFailure());
}

station::AttemptRecord PairRun::Finish(bool ok, const std::string& error) {
    m_module.ClosePort();
    ReleaseUnit2();
    if (!ok) {
        NoteUnitStates();
    }
    using station::Outcome;
    m_attempt.step = m_view.ActiveStep() + 1;
    m_attempt.exitCode = ok ? kExitOk : m_refused ? kExitRefused : FailureExit();
    if (ok) {
        m_attempt.outcome = station::SetUpOutcome(m_attempt.Verified().value_or(false));
    } else if (m_refused) {
        m_attempt.outcome = Outcome::Refused;
    } else if (m_attempt.exitCode >= 128) {
        m_attempt.outcome = Outcome::Cancelled;
    } else if (m_gone || m_flow.LastFailure() == flow::Failure::DeviceGone) {
        m_attempt.outcome = Outcome::DeviceGone;
    } else {
        m_attempt.outcome = Outcome::Failed;
    }
    // Printed with the run's end unless it was some other failure's prelude.
    m_view.PrintUnsaid(ok ? std::string() : error);
    if (ok) {
        m_attempt.reason.clear();
    } else {
        m_attempt.reason = "step " + std::to_string(m_attempt.step) + ": " + error;
        if (m_attempt.exitCode == kExitNoAnswer) {
            const int unit = m_attempt.step <= 2 || m_attempt.step >= 8 ? 1 : 2;
            const std::string n = std::to_string(unit);
            m_attempt.reason += " (check unit " + n + "'s power and --unit" + n +
                                "-line; 'norvactl detect' finds the setting it answers at)";
        }
    }
    if (m_recording != nullptr) {
        EndRecord();
    }
    return m_attempt;
}

} // namespace norva::tools
