#pragma once
// What tests look at inside the controller: its job events and its receive
// buffer, which no caller of the product may touch.

#include "module/ModuleControl.h"

#include <string>

namespace norva::test {

struct ControlProbe {
    static Event* JobEvent(const CModuleControl& m, int slot) { return m.JobEvent(slot); }
    static void Signal(CModuleControl& m, int slot) { m.SignalJob(slot); }
    static void DropJobEvent(CModuleControl& m, int slot) { m.m_hJobEvents.at(slot).reset(); }
    static void Banner(CModuleControl& m, norva::Banner which, bool show) {
        if (which == norva::Banner::Checking) {
            show ? m.ShowCheckingBanner() : m.HideCheckingBanner();
        } else {
            show ? m.ShowApplyingBanner() : m.HideApplyingBanner();
        }
    }
    // Reply bytes taken by all waits so far (tests pin chunk boundaries to it).
    static uint64_t BytesTaken(const CModuleControl& m) { return m.m_nBytesTaken.load(); }
    static int Buffered(CModuleControl& m) { return m.m_port.m_rxBuffer.GetCount(); }
    // The status fields a scripted result stands on.
    static ModuleInfo& Info(CModuleControl& m) { return m.m_info; }
    // What the last connect and scan requests carried.
    static std::string Target(const CModuleControl& m) { return m.m_strTargetAddr.Get(); }
    static ScanSettings Scan(const CModuleControl& m) { return m.m_scan.Get(); }
    // Job arguments set without starting the job.
    static void SetTarget(CModuleControl& m, const std::string& a) { m.m_strTargetAddr.Set(a); }
    static void SetRegister(CModuleControl& m, int reg) { m.m_nSRegNo.store(reg); }
    // The step a job's outcome names, as if a job had ended at it.
    static void SetLastStep(CModuleControl& m, int op) {
        JobOutcome outcome;
        outcome.step = op;
        m.m_outcome.Set(outcome);
    }
    static bool ApplyAfterHangUp(const CModuleControl& m) { return m.m_bApplyAfterHangUp.load(); }
};

} // namespace norva::test
