// `norvactl pair --record`: where a pair's run meets its register entry.

#include "tools/ExitCodes.h"
#include "tools/PairRun.h"

#include "module/Protocol.h"

namespace norva::tools {

void PairRun::ReadUnit(int unit) {
    std::string reason;
    if (!m_controller.Open(m_setup.line[unit - 1], reason)) {
        return;
    }
    // The status job, not a bare query: a pair verified before is linked in
    // data mode, and the job escapes to read it, first thing, since a station's
    // units are often such a pair (a unit in command mode costs one ERROR). The
    // result is this run's own, before the flow counts any.
    m_module.AssumeDataMode();
    const std::optional<JobResult> r = RunJob(Job::Status, kJobStallMs, true);
    if (r && StatusWasRead(r->code)) {
        const ModuleInfoData status = m_module.LastStatus();
        m_outcome.unit[unit - 1].address = status.Address();
        m_outcome.unit[unit - 1].name = status.Name();
        if (status.m_nLinkState == LINK_CONNECTED) {
            // Back to data mode, as the link was; the flow's own first read
            // escapes it again.
            m_module.ReturnOnline();
            m_module.AssumeDataMode();
        }
    }
    m_module.ClosePort();
}

std::optional<PairOutcome> PairRun::BeginRecord() {
    // Read straight from the ports before the flow's first command, so that
    // a unit of another pair is refused before anything is sent to change
    // it. A unit that does not answer yet is judged when the flow reads it.
    UnitReport& u1 = m_outcome.unit[0];
    UnitReport& u2 = m_outcome.unit[1];
    ReadUnit(flow::UNIT_1);
    if (!m_setup.OnePort() && !Interrupted()) {
        ReleaseUnit2();
        ReadUnit(flow::UNIT_2);
        if (std::string reason; !HoldUnit2(reason)) {
            return Unit2PortFailed(reason, true);
        }
    }
    std::string why;
    const PairRecording::Verdict verdict = m_recording->Triage(u1.address, u2.address, why);
    if (verdict == PairRecording::Verdict::Skip) {
        m_view.Print("skipped: " + why);
        m_outcome.ok = true;
        m_outcome.step = 0;
        m_outcome.skipped = why;
        return m_outcome;
    }
    StartRecord();
    if (verdict == PairRecording::Verdict::Refuse) {
        return Finish(false, why);
    }
    return std::nullopt;
}

bool PairRun::Recorded(int from) {
    if (from == flow::STEP_FIRST || from == flow::STEP_SCAN_WAIT) {
        UnitReport& unit = m_outcome.unit[from == flow::STEP_FIRST ? 0 : 1];
        unit.firmware = m_module.LastStatus().m_bFlowReported ? "flow-field" : "no-flow-field";
        std::string why;
        if (m_recording->Triage(m_outcome.unit[0].address, m_outcome.unit[1].address, why) ==
            PairRecording::Verdict::Refuse) {
            m_outcome.error = why;
            return false;
        }
    }
    m_recording->Update(m_outcome);
    return true;
}

void PairRun::StartRecord() {
    m_recording->Start(m_outcome);
}

void PairRun::EndRecord() {
    if (m_recording->Refused()) {
        m_outcome.exitCode = kExitRefused;
    }
    const std::string note = m_recording->End(m_outcome);
    if (!note.empty()) {
        m_view.Print(note);
    }
}

} // namespace norva::tools
