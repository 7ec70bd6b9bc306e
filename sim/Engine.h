// The two modules and the radio between them, without any I/O: bytes in, timed bytes out.
// Not thread-safe; the simulator drives it under its own lock.
#pragma once

#include "sim/Simulator.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace norva::sim::detail {

using Clock = std::chrono::steady_clock;
using TimePoint = Clock::time_point;

enum class EngineEvent {
    ScanAccepted, // "AT+BTSCAN" answered OK
    UartStored,   // "AT+UARTCONFIG" answered OK
    Connected,    // the two units linked
    Disconnected, // the link ended
    Restarted,    // ATZ or power cycle finished
    UartInEffect, // a UART setting took effect without a restart (UartApplies::AtOnce)
};

class Engine {
public:
    // deliver: bytes that a unit puts on its serial line now.
    using DeliverFn = std::function<void(int unit, std::string_view bytes)>;
    using EventFn = std::function<void(int unit, EngineEvent event)>;

    Engine(const SimOptions& options, DeliverFn deliver, EventFn event, TimePoint now);

    // Bytes the computer sent to a unit (unit 1 or 2).
    void Feed(int unit, std::string_view bytes, TimePoint now);
    // Runs due timers and hands due output to deliver.
    void Advance(TimePoint now);
    // Earliest time Advance has work; TimePoint::max() when none.
    TimePoint NextDeadline() const;

    // Restarts the units that have power; a paired couple connects.
    void PowerCycle(TimePoint now);
    void PowerOff(int unit, TimePoint now);
    void PowerOn(int unit, TimePoint now);
    bool Powered(int unit) const { return U(unit).powered; }
    const UartSetting& ActiveUart(int unit) const;
    Verdict GetVerdict() const;
    UnitSnapshot Snapshot(int unit) const;

private:
    enum class Activity { None, Scan, Inquiry, Dial, AutoWait, Page };

    struct Unit {
        UnitOptions opt;
        std::string address;
        std::string name;
        int mode = 0;        // stored
        int modeInForce = 0; // stored mode at the last restart
        bool powered = true;
        LinkState link = LinkState::Standby;
        Activity activity = Activity::None;
        int scanMode = 0; // bit 0 discoverable, bit 1 connectable
        bool dataMode = false;
        bool restarting = false;
        std::map<int, int> sreg;
        UartSetting stored;
        UartSetting active;
        std::string peer;
        std::string line;
        bool lineOverflow = false;
        int plusRun = 0;          // "+" held back in data mode
        bool justEscaped = false; // nothing has come since the escape's "+++"
        int resumeScan = 0; // the scan mode to take up again when a link made while scanning ends
        std::uint64_t activityGen = 0; // bumped to cancel the timers of an activity
        std::uint64_t escapeGen = 0;
        std::uint64_t restartGen = 0;
        TimePoint outFree; // when the unit's line is free for the next byte
        TimePoint replyAt; // earliest time of the reply to the command in hand
        unsigned noiseCount = 0;
        int commands = 0;
        std::string lastCommand;
        int restarts = 0;
    };

    Unit& U(int unit) { return m_units[unit - 1]; }
    const Unit& U(int unit) const { return m_units[unit - 1]; }
    static int Other(int unit) { return 3 - unit; }

    void At(TimePoint when, std::function<void(TimePoint)> fn);
    void Schedule(int unit, std::string bytes, TimePoint earliest);
    void Line(int unit, const std::string& text, TimePoint earliest);
    void Result(int unit, bool ok, TimePoint earliest);
    void Raw(int unit, std::string bytes, TimePoint earliest);
    // Runs fn once the output scheduled so far for the unit has gone out.
    void AfterOutput(int unit, TimePoint earliest, std::function<void(TimePoint)> fn);

    void CommandByte(int unit, char c, TimePoint now);
    size_t DataBytes(int unit, std::string_view bytes, TimePoint now);
    void HandleLine(int unit, const std::string& line, TimePoint now);
    void Escape(int unit, TimePoint now);
    void Forward(int unit, std::string bytes, TimePoint now);

    // The AT commands (EngineCommands.cpp): args is what follows the command's name.
    void Ok(int unit, const std::string& args, TimePoint now);
    void RestartCommand(int unit, const std::string& args, TimePoint now);
    void ReturnOnline(int unit, const std::string& args, TimePoint now);
    void Hangup(int unit, const std::string& args, TimePoint now);
    void Dial(int unit, const std::string& address, TimePoint now);
    void SRegister(int unit, const std::string& args, TimePoint now);
    void StatusLine(int unit, const std::string& args, TimePoint now);
    void Inquiry(int unit, const std::string& args, TimePoint now);
    void Scan(int unit, const std::string& args, TimePoint now);
    void Cancel(int unit, const std::string& args, TimePoint now);
    void SetMode(int unit, const std::string& args, TimePoint now);
    void UartConfig(int unit, const std::string& args, TimePoint now);

    bool Connectable(int target, int dialer) const;
    bool AnswersAutoDial(int target, int dialer) const;
    void Establish(int dialer, int target, bool automatic, TimePoint now);
    void Unlink(int unit, bool tellThisUnit, TimePoint now);
    void CancelActivity(int unit);
    // The restart itself: the stored settings take effect, the stored mode starts its work.
    void ActOnMode(int unit, TimePoint now);
    void Restart(int unit, TimePoint now);
    // A restart that takes `ms`, deaf meanwhile, then links a paired couple.
    void Reboot(int unit, int ms, TimePoint now);
    int RestartMs(int unit) const;
    int ActingMode(const Unit& u) const;
    bool HidesLinkLines(const Unit& u) const;
    // Mode-1 units link to a peer that answers: idle ones and paging ones, or paging ones only.
    void AutoConnect(TimePoint now, bool pagingOnly = false);
    bool Paired() const;

    SimOptions m_options;
    DeliverFn m_deliver;
    EventFn m_event;
    Unit m_units[2];
    std::multimap<TimePoint, std::function<void(TimePoint)>> m_timers;
    struct Output {
        int unit = 0;
        std::string bytes;
        std::function<void(TimePoint)> after; // run once the bytes are out; may be empty
    };
    std::multimap<TimePoint, Output> m_output;
};

} // namespace norva::sim::detail
