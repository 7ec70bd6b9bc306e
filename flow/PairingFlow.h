#pragma once
// The pairing's decision table, written once: which user action starts which
// job, and which job result leads to which step, message, buttons and next
// job. The view shows it; the controller runs the jobs. Runs on one thread
// (the wizard's UI thread, norvactl's main thread); results reach it from the
// worker through the host.
//
// How flow/ reports errors: to the user, through the view (Say, Inform,
// ReportOpenFailure) in the program's own texts; to the front end, as the
// meaning of the last one (Failure) and, for the restart check, as a
// VerifyOutcome with its detail. It never decides an exit status: the
// tools map Failure and VerifyOutcome to theirs.

#include "flow/PairingController.h"
#include "flow/PairingView.h"
#include "flow/Timing.h"

#include <cstdint>
#include <optional>
#include <string>

namespace norva::flow {

// What the last failure the flow handed back to the user means, for front
// ends that turn it into a status of their own (norvactl's exit codes).
enum class Failure {
    None,
    NoAnswer,   // the module did not answer, or its reply could not be read
    DeviceGone, // the port went away
    PortFailed, // the port could not be opened
    Refused,    // the module (or the link) refused what was asked
    WrongUnit,  // another module than the one expected is on the cable
    NotStored,  // a setting asked for was not stored
    Cancelled,  // the run was cancelled
};

class CPairingFlow {
public:
    static constexpr int kCloseCancelMs = flow::kCloseCancelMs;
    // An apply that the module leaves unconfirmed is run again this often
    // before the user is told.
    static constexpr int kMaxApplyReruns = 2;
    // A link that the hang-up does not end is tried this often per user
    // action before the user is told.
    static constexpr int kMaxHangups = 2;

    explicit CPairingFlow(IPairingView& view) : m_view(view) {}

    // The controller the flow drives; null once the run is over.
    void Attach(IPairingController* jobs) { m_jobs = jobs; }

    // The user's actions.
    void Next(int step);
    void SearchControl(bool start);
    // Whom the next connect dials (the address the user chose).
    void SetTarget(std::string address) { m_target = std::move(address); }
    const std::string& Target() const { return m_target; }
    // Connects to the target address, or aborts.
    void ConnectControl(bool connect);
    // Ends the run: nothing more is started or handed to the view, and when a
    // dial, search or scan is under way the worker stops and the module is
    // told to stop it, bounded by `timeoutMs`.
    void Cancel(int timeoutMs);
    bool Cancelled() const { return m_bCancelled; }

    void OnJobResult(int code, int jobId);
    // The row for a status that shows the link up: back to data mode, a
    // moment to settle (a job), then the disconnect job's escape and hang-up.
    // False when the last status shows no link.
    bool HangUpIfLinked();
    // The step's way on after a job that left the unit idle.
    void AdvanceAfterJob(int jobId);

    // The units' addresses as read at steps 1 and 3 (empty until then).
    const std::string& Unit1Address() const { return m_strUnit1Address; }
    const std::string& Unit2Address() const { return m_strUnit2Address; }
    // The unit's own name as its status gave it, else its role ("Norva-BX01" for unit 1).
    std::string UnitName(int unit) const;
    // Counts the jobs the flow has started: a front end without a person
    // tells from it whether the flow now waits for the user.
    uint64_t JobsStarted() const { return m_nJobsStarted; }
    // Unit 2 is set up for auto-connection and unit 1 is not yet: a pair that
    // will never connect if the run ends now.
    bool HalfPaired() const { return m_stored[1].mode >= 0 && m_stored[0].mode < 0; }
    // What steps 7 and 8 stored, one line per unit stored so far (for step 9).
    std::string StoredSummary() const;
    // What the last failure since the user's last action meant.
    Failure LastFailure() const { return m_failure; }

private:
    // Starts `job` with what the flow holds for it (scan, settings, target).
    void Start(Job job);
    // The cancel command that ends `ended` (aborted, or found pending).
    void StartCancel(Job ended);
    // A user action begins: earlier failures and hang-up rounds are history.
    void UserActs();
    // Tells the user about a failure; false when the run ended meanwhile.
    bool Fail(Failure failure, const std::string& text);
    bool Open(int unit, bool closeFirst);
    bool EnsureOpen(int unit);
    void NextOnStoringStep(int step);
    // After a failed check or a lost device: the step's way on stays open.
    void OfferRetry();
    void OnDeviceGone();
    // A failed check: the port closes and the user may try again.
    void CheckFailed(Failure failure);
    // A status read on steps 3 and 8 names the unit on the cable.
    bool WrongUnitOnCable();

    void OnConnectResult(int code);
    void OnDisconnectResult(int code);
    void OnResetResult(int code);
    void OnStatusResult(int code);
    void OnCancelResult(int code);
    void OnScanResult(int code);
    void OnInquiryResult(int code);
    void OnApplyResult(int code);
    void OnReturnOnlineResult(int code);

    IPairingView& m_view;
    IPairingController* m_jobs = nullptr;
    // Apply jobs re-run after a status check within one Next press.
    int m_nApplyReruns = 0;
    // An apply did not end (no answer: perhaps the link is up): the next
    // hang-up chains it again. A new apply or a user's action ends it.
    bool m_applyAfterHangUp = false;
    // Hang-ups started after a status showed the link up, since the user's
    // last action.
    int m_nHangups = 0;
    // What follows the return to data mode: step 6 for a pair found linked
    // at step 3, else the hang-up.
    enum class AfterOnline { HangUp, Linked } m_afterOnline = AfterOnline::HangUp;
    uint64_t m_nJobsStarted = 0;
    uint64_t m_nResults = 0;
    std::optional<Job> m_lastJob;
    // The job a cancel command ends: the flow's own record, since the
    // module's operation code still names the job before it when the abort
    // came before the job began.
    std::optional<Job> m_cancelledJob;
    // What the storing step asked of the unit on the cable.
    StoredSettings m_apply;
    std::string m_target;
    bool m_bCancelled = false;
    Failure m_failure = Failure::None;
    std::string m_strUnit1Address;
    std::string m_strUnit2Address;
    std::string m_unitName[2]; // as read with the addresses
    // The settings steps 7 (unit 2) and 8 (unit 1) stored; mode -1: not yet.
    StoredSettings m_stored[2] = {{-1}, {-1}};
};

} // namespace norva::flow
