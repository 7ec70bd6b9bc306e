// `norvactl pair --record`: where a pair's run meets its register entry.

#include "tools/ExitCodes.h"
#include "tools/PairRecording.h"
#include "tools/PairRun.h"

#include "module/Protocol.h"
#include "serial/PinnedTranscript.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace norva::tools {

bool PairRun::ReadUnit(CModuleControl& module, ToolHost& host, int unit) {
    flow::PairingJobs jobs(module);
    std::string reason;
    if (!jobs.Open(m_setup.line[unit - 1], reason)) {
        return false;
    }
    // The status job, not a bare query: a pair verified before is linked in
    // data mode, and the job escapes to read it, first thing, since a station's
    // units are often such a pair (a unit in command mode costs one ERROR).
    // Nothing of the pairing waits on what this read sees but the triage, so it
    // skips the pairing's pause. The result is this run's own, before the flow
    // counts any.
    module.AssumeDataMode();
    module.ReadBriefly();
    JobWaitRules rules;
    rules.limitMs = kJobStallMs;
    rules.abortGraceMs = 0;
    rules.wake = m_interrupted;
    rules.interrupted = [this] { return Interrupted(); };
    const std::optional<JobResult> r =
        norva::RunJob(module, host.Results(), JobRequest::Of(Job::Status), rules).result;
    bool linked = false;
    if (r && StatusWasRead(r->code)) {
        const ModuleInfoData status = module.LastStatus();
        m_attempt.unit[unit - 1].address = status.Address();
        m_attempt.unit[unit - 1].name = status.Name();
        if (status.m_nLinkState == LINK_CONNECTED) {
            // Back to data mode, as the link was.
            module.ReturnOnline();
            linked = true;
        }
    }
    module.ClosePort();
    return linked;
}

void PairRun::ReadUnits() {
    // Both at once, with a controller of its own for unit 2: the read then
    // costs a pair one unit's read, not two.
    std::atomic<bool> linked2{false};
    std::thread unit2;
    std::unique_ptr<ToolHost> host2;
    std::unique_ptr<CModuleControl> module2;
    std::mutex lines;
    std::optional<PortPinnedTranscript> pinned[2];
    if (!m_setup.OnePort()) {
        ReleaseUnit2();
        host2 = std::make_unique<ToolHost>(false, false);
        module2 = std::make_unique<CModuleControl>(host2.get());
        if (m_transcript != nullptr) {
            pinned[0].emplace(m_transcript, &lines);
            pinned[1].emplace(m_transcript, &lines);
            m_module.SetTranscript(&*pinned[0]);
            module2->SetTranscript(&*pinned[1]);
        }
        unit2 = std::thread([&] { linked2 = ReadUnit(*module2, *host2, flow::UNIT_2); });
    }
    const bool linked1 = ReadUnit(m_module, m_host, flow::UNIT_1);
    if (unit2.joinable()) {
        unit2.join();
        module2->SetTranscript(nullptr);
        m_module.SetTranscript(m_transcript);
    }
    if (linked1 || linked2) {
        // The flow's own first read escapes it again.
        m_module.AssumeDataMode();
    }
}

std::optional<station::AttemptRecord> PairRun::BeginRecord() {
    // Read straight from the ports before the flow's first command, so that
    // a unit of another pair is refused before anything is sent to change
    // it. A unit that does not answer yet is judged when the flow reads it.
    station::UnitRecord& u1 = m_attempt.unit[0];
    station::UnitRecord& u2 = m_attempt.unit[1];
    ReadUnits();
    if (!m_setup.OnePort()) {
        if (std::string reason; !HoldUnit2(reason)) {
            return Unit2PortFailed(reason, true);
        }
    }
    std::string why;
    const PairRecording::Verdict verdict = m_recording->Triage(u1.address, u2.address, why);
    if (verdict == PairRecording::Verdict::Skip) {
        m_view.Print("skipped: " + why);
        m_attempt.step = 0;
        m_attempt.skipped = why;
        return m_attempt;
    }
    StartRecord();
    if (verdict == PairRecording::Verdict::Refuse) {
        m_refused = true;
        return Finish(false, why);
    }
    return std::nullopt;
}

bool PairRun::Recorded(int from) {
    if (from == flow::STEP_FIRST || from == flow::STEP_SCAN_WAIT) {
        m_attempt.unit[from == flow::STEP_FIRST ? 0 : 1].NoteStatusLine(
            m_module.LastStatus().m_bFlowReported);
        std::string why;
        if (m_recording->Triage(m_attempt.unit[0].address, m_attempt.unit[1].address, why) ==
            PairRecording::Verdict::Refuse) {
            m_attempt.reason = why;
            m_refused = true;
            return false;
        }
    }
    m_recording->Update(m_attempt);
    return true;
}

void PairRun::StartRecord() {
    m_recording->Start(m_attempt);
}

void PairRun::EndRecord() {
    const std::string note = m_recording->End(m_attempt);
    if (!note.empty()) {
        m_view.Print(note);
    }
}

} // namespace norva::tools
