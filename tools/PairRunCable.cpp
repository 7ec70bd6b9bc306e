// One-port pairing: the moments the cable moves from one unit to the other,
// asked of a person (Enter) or waited for on the port (--wait-unit).

#include "flow/Address.h"
#include "module/StopRelay.h"
#include "platform/Console.h"
#include "res/strings/StringTable.h"
#include "tools/PairRun.h"

#include <array>
#include <chrono>

namespace norva::tools {
bool PairRun::MoveCable(int unit) {
    // The port is free while the cable moves.
    m_module.ClosePort();
    return m_plan.waitUnit ? WaitForUnit(unit) : WaitForEnter(unit);
}

bool PairRun::WaitForEnter(int unit) {
    // The unit left behind must stay powered: unit 1 waits to be found, and
    // unit 2 holds the link until unit 1 is set up.
    m_view.Print(unit == flow::UNIT_1
                     ? "move the cable back to unit 1 (" + m_flow.Unit1Address() +
                           "), keep unit 2 powered, and press Enter"
                     : "move the cable to unit 2 and power it, keep unit 1 powered, and press "
                       "Enter");
    for (;;) {
        char c = 0;
        const int r = ReadStdinByte(m_interrupted, &c);
        if (r == 0) {
            m_attempt.reason = "interrupted";
            return false;
        }
        if (r < 0) {
            m_attempt.reason = "standard input ended before the cable was moved (use --wait-unit "
                               "to wait for the module instead)";
            return false;
        }
        if (c == '\n') {
            return true;
        }
    }
}

bool PairRun::AskPowerCycle() {
    m_view.Print(OneLine(LoadString(IDS_VERIFY_POWER_CYCLE)));
    if (m_plan.waitUnit) {
        return true;
    }
    m_view.Print("press Enter once Norva-BX02 is switched on again");
    for (;;) {
        char c = 0;
        const int r = ReadStdinByte(m_interrupted, &c);
        if (r <= 0) {
            // Standard input ended: the link may come all the same.
            return r < 0;
        }
        if (c == '\n') {
            return true;
        }
    }
}

bool PairRun::WaitForUnit(int unit) {
    const std::string unit1 = m_flow.Unit1Address();
    m_view.Print("waiting up to " + std::to_string(m_plan.waitUnitSeconds) + " s for unit " +
                 std::to_string(unit) + " on " + PortName(m_setup.line[unit - 1]) +
                 " (move the cable to it; keep unit " + std::to_string(3 - unit) + " powered)");
    const Clock::time_point start = Clock::now();
    while (ElapsedMs(start) < m_plan.waitUnitSeconds * 1000) {
        const std::string address = AddressOnPort(unit);
        const bool wanted = unit == flow::UNIT_1
                                ? flow::SameAddress(address, unit1)
                                : !address.empty() && !flow::SameAddress(address, unit1);
        if (wanted) {
            return true;
        }
        if (SleepUnlessSet(m_interrupted, kWaitUnitPollMs)) {
            m_attempt.reason = "interrupted";
            return false;
        }
    }
    m_waitTimedOut = true;
    m_attempt.reason = "unit " + std::to_string(unit) + " did not answer on " +
                       PortName(m_setup.line[unit - 1]) + " within " +
                       std::to_string(m_plan.waitUnitSeconds) + " s";
    return false;
}

std::string PairRun::AddressOnPort(int unit) {
    std::string reason;
    if (!m_controller.Open(m_setup.line[unit - 1], reason)) {
        return {};
    }
    // A direct query on this thread: the worker must not take the reply.
    m_module.TalkDirectly();
    ModuleInfo info;
    bool read = false;
    {
        // The query's waits watch the controller's stop: Ctrl-C ends it at once.
        StopRelay relay(m_interrupted, {&m_module});
        read = StatusWasRead(m_module.QueryStatus(info));
    }
    m_module.ClosePort();
    return read ? info.Address() : std::string();
}

} // namespace norva::tools
