#pragma once
// The pairing's decision table, written once: which user action starts which
// job, and which job result leads to which step, message, buttons and next
// job. The view shows it; the controller runs the jobs. Runs on one thread
// (the wizard's UI thread, norvactl's main thread); results reach it from the
// worker through the host.

#include "flow/PairingController.h"
#include "flow/PairingView.h"

#include <cstdint>
#include <string>

namespace norva::flow {

class CPairingFlow {
public:
    // Closing during a connect attempt waits this long for the module to
    // confirm the cancel.
    static constexpr int kCloseCancelMs = 1000;
    // An apply that the module leaves unconfirmed is run again this often
    // before the user is told.
    static constexpr int kMaxApplyReruns = 2;
    // After "ATO" the module needs a moment before the escape that follows.
    static constexpr int kReturnOnlineSettleMs = 100;

    explicit CPairingFlow(IPairingView& view) : m_view(view) {}

    // The controller the flow drives; null once the run is over.
    void Attach(IPairingController* module) { m_module = module; }

    // The user's actions.
    void Next(int step);
    void SearchControl(bool start);
    // Connects to the controller's target address, or aborts.
    void ConnectControl(bool connect);
    // Ends a connect attempt for a close: the worker stops and the module is
    // told to stop dialling, bounded by kCloseCancelMs.
    void CancelConnectAttempt();

    void OnJobResult(int code, int jobId);
    // The step's way on after a job that left the unit idle.
    void AdvanceAfterJob(int jobId);

    // The units' addresses as read at steps 1 and 3 (empty until then).
    const std::string& Unit1Address() const { return m_strUnit1Address; }
    const std::string& Unit2Address() const { return m_strUnit2Address; }
    // Counts the jobs the flow has started: a front end without a person
    // tells from it whether the flow now waits for the user.
    uint64_t JobsStarted() const { return m_nJobsStarted; }

private:
    void Start(int slot);
    bool Open(int unit, bool closeFirst);
    bool EnsureOpen(int unit);
    void NextOnStoringStep(int step);
    // After a failed check or a lost device: the step's way on stays open.
    void OfferRetry();
    void OnDeviceGone();
    // A failed check: the port closes and the user may try again.
    void CheckFailed();
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

    IPairingView& m_view;
    IPairingController* m_module = nullptr;
    // Apply jobs re-run after a status check within one Next press.
    int m_nApplyReruns = 0;
    uint64_t m_nJobsStarted = 0;
    std::string m_strUnit1Address;
    std::string m_strUnit2Address;
};

} // namespace norva::flow
