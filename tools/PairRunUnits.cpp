// `norvactl pair`: the units' ports before the flow has them, and what the
// units are left with when a run ends early.

#include "tools/PairRun.h"
#include "tools/Timing.h"

#include "flow/Address.h"
#include "module/Catalogue.h"
#include "module/Protocol.h"
#include "platform/SystemError.h"

#include <vector>

namespace norva::tools {
namespace {

constexpr int kStatusJobLimitMs = timing::kStatusJobLimitMs;
constexpr int kCancelJobLimitMs = timing::kCancelJobLimitMs;

} // namespace

bool PairRun::HoldUnit2(std::string& reason) {
    const flow::UnitLine& line = m_setup.line[1];
    m_unit2Hold = std::make_unique<CSerialPort>();
    LineSettings* settings = m_unit2Hold->GetDCB();
    settings->BaudRate = line.baud;
    settings->Parity = line.parity;
    settings->StopBits = line.stopBits;
    const bool opened =
        line.device.empty() ? m_unit2Hold->Open(line.port) : m_unit2Hold->OpenPath(line.device);
    if (opened) {
        return true;
    }
    const OsError error = m_unit2Hold->LastOpenError();
    reason = !error.reason.empty() ? error.reason
             : error.code != 0     ? SystemErrorText(error.code)
                                   : std::string("it could not be opened");
    m_unit2Hold.reset();
    return false;
}

station::AttemptRecord PairRun::Unit2PortFailed(const std::string& reason, bool afterReads) {
    m_holdFailed = true;
    // Read a moment ago, gone now: the unit was unplugged.
    m_gone = afterReads;
    const std::string error =
        "unit 2's port " + m_attempt.unit[1].port + " cannot be opened: " + reason +
        (afterReads ? "; both units were only read, nothing was stored in either"
                    : "; nothing was sent to either unit");
    m_view.Print(error);
    if (m_recording != nullptr) {
        StartRecord();
    }
    return Finish(false, error);
}

std::optional<JobResult> PairRun::RunJob(Job job, int limitMs, bool untilInterrupt) {
    JobWaitRules rules;
    rules.limitMs = limitMs;
    // The run's own jobs only read or cancel: past the limit (or the
    // interrupt) nothing of them is worth waiting for.
    rules.abortGraceMs = 0;
    if (untilInterrupt) {
        rules.wake = m_interrupted;
        rules.interrupted = [this] { return Interrupted(); };
    }
    return norva::RunJob(m_module, m_host.Results(), JobRequest::Of(job), rules).result;
}

void PairRun::NoteUnitStates() {
    const int step = m_view.ActiveStep();
    if (step == flow::STEP_MODE || step == flow::STEP_MODE1) {
        const ApplyReport apply = m_module.LastApply();
        NoteStored(step == flow::STEP_MODE ? 1 : 0, apply.uartAcked, apply.modeAcked,
                   apply.flowNotStored);
    }
    if (m_attempt.unit[0].discoverable) {
        EndDiscoverable();
    }
}

void PairRun::EndDiscoverable() {
    station::UnitRecord& u1 = m_attempt.unit[0];
    std::string reason;
    if (!m_controller.Open(m_setup.line[0], reason)) {
        u1.discoverableNote =
            "left discoverable: " + u1.port + " cannot be opened (" + reason + ")";
        m_view.Print("unit 1 " + u1.discoverableNote);
        return;
    }
    // With one cable it may be on unit 2 by now: only unit 1 is told.
    const std::optional<JobResult> status = RunJob(Job::Status, kStatusJobLimitMs, false);
    if (!status || !StatusWasRead(status->code)) {
        u1.discoverableNote = "left discoverable: it does not answer on " + u1.port;
    } else if (!flow::SameAddress(m_module.LastStatus().Address(), u1.address)) {
        u1.discoverableNote = "left discoverable: " + m_module.LastStatus().Address() +
                              " answers on " + u1.port + " (the cable is on another unit)";
    } else if (m_module.LastStatus().m_nLinkState == LINK_CONNECTED) {
        // Found and linked meanwhile: nothing to take it out of.
        u1.discoverable = false;
        m_module.ReturnOnline();
    } else if (const std::optional<JobResult> cancel =
                   RunJob(Job::CancelCommand, kCancelJobLimitMs, false);
               cancel && cancel->code == RC_OK) {
        u1.discoverable = false;
        u1.discoverableNote = "taken out of discoverable mode";
    } else {
        u1.discoverableNote = "left discoverable: it did not confirm the cancel command";
    }
    m_module.ClosePort();
    if (!u1.discoverableNote.empty()) {
        m_view.Print("unit 1 " + u1.discoverableNote);
    }
}

} // namespace norva::tools
