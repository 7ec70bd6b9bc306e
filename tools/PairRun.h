#pragma once
// One pair's run of `norvactl pair`: the pairing flow with a controller of its
// own, played by a run that presses Next, starts the search and the connect,
// and asks for (or waits for) the cable moves of a one-port pairing.

#include "flow/PairVerify.h"
#include "flow/PairingController.h"
#include "flow/PairingFlow.h"
#include "module/ModuleControl.h"
#include "serial/Transcript.h"
#include "station/Attempt.h"
#include "tools/PairSetup.h"
#include "tools/PairView.h"
#include "tools/Timing.h"
#include "tools/ToolHost.h"

#include <chrono>
#include <memory>
#include <optional>
#include <string>

namespace norva::tools {

class PairRecording;

class PairRun {
public:
    static constexpr int kJobStallMs = timing::kJobStallMs;
    static constexpr int kSearchLimitMs = timing::kSearchLimitMs;
    static constexpr int kConnectAttempts = 2;
    static constexpr int kWaitUnitPollMs = timing::kWaitUnitPollMs;
    // Unit 1 (0) waits for its partner, unit 2 (1) dials it.
    static constexpr int StoredMode(int i) { return i == 0 ? 2 : 1; }

    // `interrupted`: a manual event set when the run is to end (Ctrl-C);
    // `transcript` and `recording` (--record) may be null.
    PairRun(const PairSetup& setup, const PairPlan& plan, ProgressOutput& out, Event* interrupted,
            ITranscript* transcript, PairRecording* recording = nullptr);
    ~PairRun();
    PairRun(const PairRun&) = delete;
    PairRun& operator=(const PairRun&) = delete;

    // The attempt as it ended: the report, the JSON and the register's row.
    station::AttemptRecord Run();

private:
    using Clock = std::chrono::steady_clock;
    static int ElapsedMs(Clock::time_point since) {
        return static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
    }

    bool Interrupted() const { return m_interrupted->IsSet(); }
    uint64_t Outstanding() const {
        const uint64_t started = m_flow.JobsStarted();
        return started > m_nResults ? started - m_nResults : 0;
    }
    // Hands results to the flow until no job is under way; false when the
    // run was interrupted or a job never reported.
    bool Pump();
    // Unit 1's address is among the devices the search found.
    bool Unit1Listed() const;
    void Abort();
    // Acts as the user does on arriving at `step`; false ends the run.
    bool Act(int step);
    void Press(int step);
    bool Connect();
    // One port: the user moves the cable to `unit` (Enter, or --wait-unit).
    bool MoveCable(int unit);
    bool WaitForEnter(int unit);
    // One port, --verify: unit 2 is switched off and on by a person (Enter, or --wait-unit).
    bool AskPowerCycle();
    bool WaitForUnit(int unit);
    // The address answering on the port now, read directly; empty when none.
    std::string AddressOnPort(int unit);
    void Arrived(int from, int to);
    // What the unit on the open line was seen to do: an echo, and after an
    // apply the UART command form.
    void NoteTraits(station::UnitRecord& unit) const;
    // What unit `i` (0 or 1) acknowledged storing: its UART (with flow
    // control that old firmware kept), its mode.
    void NoteStored(int i, bool uart, bool mode, bool flowKept = false);
    station::AttemptRecord Finish(bool ok, const std::string& error);
    // --verify: restart the configured units and watch for their link.
    void Verify();
    // Prints the flow's note on what the last apply confirmed, if any.
    void PrintNote();
    int FailureExit() const;
    // Two ports: unit 2's port is opened and locked before unit 1 hears a
    // command, so that a port that cannot be had stops the run before
    // anything changed; the flow gets it at step 3.
    bool HoldUnit2(std::string& reason);
    void ReleaseUnit2() { m_unit2Hold.reset(); }
    // `afterReads`: the station's triage read both units first.
    station::AttemptRecord Unit2PortFailed(const std::string& reason, bool afterReads);
    // Runs one job of the run's own on the open port and waits for its
    // result, bounded by `limitMs` and, when `untilInterrupt`, by Ctrl-C (a
    // clean-up after an interrupt runs to its limit).
    std::optional<JobResult> RunJob(Job job, int limitMs, bool untilInterrupt);
    // After a failure: what the units were left with, and unit 1 taken out
    // of discoverable mode when it still answers.
    void NoteUnitStates();
    void EndDiscoverable();
    // --record: the attempt written before the first command, with the
    // units read first for the triage (an outcome when the pair is refused
    // or skipped); what each step learnt (false: a unit refused); the end.
    std::optional<station::AttemptRecord> BeginRecord();
    // Both units' addresses and names, read by status jobs of the run's own;
    // left empty where a unit does not answer.
    void ReadUnits();
    // One unit read on `module`; true when it was linked (it is left so).
    bool ReadUnit(CModuleControl& module, ToolHost& host, int unit);
    bool Recorded(int from);
    // The attempt written as begun (before the flow's first command).
    void StartRecord();
    void EndRecord();

    const PairSetup& m_setup;
    const PairPlan& m_plan;
    Event* m_interrupted;
    PairRecording* m_recording;
    ITranscript* m_transcript; // --log and -v: Verify's lines go there too
    ToolHost m_host{false, false};
    CModuleControl m_module{&m_host};
    flow::PairingJobs m_controller{m_module};
    PairView m_view;
    flow::CPairingFlow m_flow{m_view};
    uint64_t m_nResults = 0;
    int m_connectAttempts = 0;
    bool m_stalled = false;
    // A failure told only as a note (its box was the module's own).
    std::string m_lastNote;
    std::unique_ptr<CSerialPort> m_unit2Hold;
    bool m_holdFailed = false;
    // --wait-unit waited its time for a unit that never answered.
    bool m_waitTimedOut = false;
    // A port went away where the flow had no job to report it (the search's end).
    bool m_gone = false;
    // The triage refused a unit held in another pair.
    bool m_refused = false;
    station::AttemptRecord m_attempt;
};

} // namespace norva::tools
