// The AT commands a unit understands, one handler each, found through a table.
#include "sim/Engine.h"

#include "sim/Text.h"
#include "sim/UartRates.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace norva::sim::detail {

namespace {

constexpr const char* kUnitClass = "001F00";

std::chrono::milliseconds Ms(long long ms) {
    return std::chrono::milliseconds(ms);
}

} // namespace

void Engine::HandleLine(int unit, const std::string& line, TimePoint now) {
    struct Command {
        const char* text; // after "AT", upper case
        bool prefix;      // the rest of the line is the command's argument
        void (Engine::*handle)(int unit, const std::string& args, TimePoint now);
    };
    static const Command kCommands[] = {
        {"", false, &Engine::Ok},
        {"Z", false, &Engine::RestartCommand},
        {"O", false, &Engine::ReturnOnline},
        {"O0", false, &Engine::ReturnOnline},
        {"H", false, &Engine::Hangup},
        {"H0", false, &Engine::Hangup},
        {"+BTINFO?", false, &Engine::StatusLine},
        {"+BTINQ?", false, &Engine::Inquiry},
        {"+BTSCAN,", true, &Engine::Scan},
        {"+BTCANCEL", false, &Engine::Cancel},
        {"+BTMODE,", true, &Engine::SetMode},
        {"+UARTCONFIG,", true, &Engine::UartConfig},
        {"D", true, &Engine::Dial},
        {"S", true, &Engine::SRegister},
    };
    const std::string cmd = Upper(line);
    if (cmd.compare(0, 2, "AT") == 0) {
        const std::string_view rest = std::string_view(cmd).substr(2);
        for (const Command& c : kCommands) {
            if (c.prefix ? rest.starts_with(c.text) : rest == c.text) {
                (this->*c.handle)(unit, std::string(rest.substr(std::string_view(c.text).size())),
                                  now);
                return;
            }
        }
    }
    Result(unit, false, U(unit).replyAt);
}

void Engine::Ok(int unit, const std::string&, TimePoint) {
    Result(unit, true, U(unit).replyAt);
}

void Engine::RestartCommand(int unit, const std::string&, TimePoint now) {
    Unit& u = U(unit);
    if (u.link == LinkState::Connected) {
        Unlink(unit, false, now);
    }
    CancelActivity(unit);
    u.restarting = true;
    u.dataMode = false;
    // Deaf from here on. The OK comes from the restarted unit, at its new line settings, or
    // leaves first, at the old ones, and the restart follows once it is out.
    std::uint64_t gen = ++u.restartGen;
    const bool okFirst = u.opt.resetReply == ResetReply::BeforeRestart;
    auto finish = [this, unit, gen, okFirst](TimePoint t) {
        if (U(unit).restartGen != gen) {
            return;
        }
        Restart(unit, t);
        if (!okFirst) {
            Result(unit, true, t);
        }
        AutoConnect(t);
    };
    if (!okFirst) {
        At(u.replyAt + Ms(RestartMs(unit)), finish);
        return;
    }
    Result(unit, true, u.replyAt);
    AfterOutput(unit, u.replyAt, [this, unit, gen, finish](TimePoint t) {
        if (U(unit).restartGen == gen) {
            At(t + Ms(RestartMs(unit)), finish);
        }
    });
}

void Engine::ReturnOnline(int unit, const std::string&, TimePoint) {
    Unit& u = U(unit);
    const bool reply = u.opt.atoReply == AtoReply::Ok;
    if (u.link != LinkState::Connected) {
        if (reply) {
            Result(unit, false, u.replyAt);
        }
        return;
    }
    if (reply) {
        Result(unit, true, u.replyAt);
    }
    u.dataMode = true;
    u.plusRun = 0;
}

void Engine::Hangup(int unit, const std::string&, TimePoint now) {
    Unit& u = U(unit);
    Result(unit, u.link == LinkState::Connected || u.opt.hangupIdle == HangupIdle::Ok, u.replyAt);
    if (u.link == LinkState::Connected) {
        Unlink(unit, true, now);
    }
}

void Engine::Cancel(int unit, const std::string&, TimePoint) {
    Unit& u = U(unit);
    u.resumeScan = 0;
    if (u.link == LinkState::Pending) {
        CancelActivity(unit);
    }
    Result(unit, true, u.replyAt);
}

void Engine::SetMode(int unit, const std::string& args, TimePoint) {
    Unit& u = U(unit);
    int mode = 0;
    // Pending work refuses a new mode: the computer has to cancel it first.
    if (u.link == LinkState::Pending || !ParseInt(args, 0, 3, &mode)) {
        Result(unit, false, u.replyAt);
        return;
    }
    if (!u.opt.keepMode) {
        u.mode = mode; // stored at once; it acts at the next restart
    }
    Result(unit, true, u.replyAt);
}

void Engine::StatusLine(int unit, const std::string&, TimePoint) {
    Unit& u = U(unit);
    const TimePoint at = u.replyAt;
    const bool modeInForce = u.opt.statusMode == StatusShows::InForce;
    const bool flowInForce = u.opt.statusFlow == StatusShows::InForce;
    const bool idleWord = u.link == LinkState::Standby && u.opt.idleWord == IdleWord::Idle;
    std::string text = u.address + "," + u.name + ",MODE" +
                       std::to_string(modeInForce ? u.modeInForce : u.mode) + "," +
                       (idleWord ? "IDLE" : LinkStateText(u.link)) + "," +
                       (u.opt.flag5 ? "1" : "0") + "," + (u.opt.flag6 ? "1" : "0");
    if (!u.opt.oldFirmware) {
        text += (flowInForce ? u.active.flow : u.stored.flow) ? ",HWFC" : ",NoFC";
    }
    Line(unit, text, at);
    Result(unit, true, at + Ms(u.opt.lineGapMs));
}

void Engine::SRegister(int unit, const std::string& rest, TimePoint) {
    Unit& u = U(unit);
    const TimePoint at = u.replyAt;
    int reg = 0;
    int value = 0;
    if (!rest.empty() && rest.back() == '?') {
        if (!ParseInt(std::string_view(rest).substr(0, rest.size() - 1), 0, 99, &reg)) {
            Result(unit, false, at);
            return;
        }
        Line(unit, std::to_string(u.sreg[reg]), at);
        Result(unit, true, at + Ms(u.opt.lineGapMs));
        return;
    }
    size_t eq = rest.find('=');
    if (eq == std::string::npos || !ParseInt(std::string_view(rest).substr(0, eq), 0, 99, &reg) ||
        !ParseInt(std::string_view(rest).substr(eq + 1), 0, 65535, &value)) {
        Result(unit, false, at);
        return;
    }
    u.sreg[reg] = value;
    Result(unit, true, at);
}

void Engine::UartConfig(int unit, const std::string& args, TimePoint) {
    Unit& u = U(unit);
    const TimePoint at = u.replyAt;
    std::vector<std::string_view> parts = Split(args, ',');
    UartSetting uart = u.stored;
    bool ok = !u.opt.refuseUart &&
              (parts.size() == 3 || (parts.size() == 4 && !u.opt.oldFirmware)) &&
              ParseInt(parts[0], 1, 10000000, &uart.baud) &&
              IsStorableRate(uart.baud, u.opt.laterRates) && parts[1].size() == 1 &&
              std::string_view("NEO").find(parts[1][0]) != std::string_view::npos &&
              ParseInt(parts[2], 1, 2, &uart.stopBits);
    if (ok) {
        uart.parity = parts[1][0];
        int flow = 0;
        if (parts.size() == 4) {
            ok = ParseInt(parts[3], 0, 1, &flow);
            uart.flow = u.opt.keepFlow ? u.stored.flow : flow != 0;
        }
    }
    if (!ok) {
        Result(unit, false, at);
        return;
    }
    u.stored = uart;
    Result(unit, true, at);
    m_event(unit, EngineEvent::UartStored);
    if (u.opt.uartApplies == UartApplies::AtOnce) {
        // The OK still leaves at the old setting; the unit switches once it is out.
        AfterOutput(unit, at, [this, unit, uart](TimePoint) {
            U(unit).active = uart;
            m_event(unit, EngineEvent::UartInEffect);
        });
    }
}

void Engine::Scan(int unit, const std::string& args, TimePoint) {
    Unit& u = U(unit);
    if (u.opt.noScanReply) {
        return;
    }
    const TimePoint at = u.replyAt;
    std::vector<std::string_view> parts = Split(args, ',');
    int mode = 0;
    int seconds = 0;
    if (parts.size() != 2 || !ParseInt(parts[0], 0, 3, &mode) ||
        !ParseInt(parts[1], 0, 65535, &seconds) || u.link != LinkState::Standby) {
        Result(unit, false, at);
        return;
    }
    CancelActivity(unit);
    u.link = LinkState::Pending;
    u.activity = Activity::Scan;
    u.scanMode = mode;
    Result(unit, true, at);
    if (seconds > 0) {
        std::uint64_t gen = u.activityGen;
        At(at + std::chrono::seconds(seconds), [this, unit, gen](TimePoint) {
            if (U(unit).activityGen == gen) {
                CancelActivity(unit);
            }
        });
    }
    m_event(unit, EngineEvent::ScanAccepted);
}

void Engine::Inquiry(int unit, const std::string&, TimePoint) {
    Unit& u = U(unit);
    const TimePoint at = u.replyAt;
    if (u.link != LinkState::Standby) {
        Result(unit, false, at);
        return;
    }
    CancelActivity(unit);
    u.link = LinkState::Pending;
    u.activity = Activity::Inquiry;
    std::uint64_t gen = u.activityGen;

    static const char* const kClasses[] = {"5A020C", "240404", "000104", "7A020C"};
    std::vector<std::string> found;
    const Unit& o = U(Other(unit));
    // The partner is found only while it scans discoverable, as a real inquiry finds it.
    bool otherVisible = !o.restarting && o.link == LinkState::Pending &&
                        o.activity == Activity::Scan && (o.scanMode & 1) != 0;
    for (int k = 1; k <= u.opt.neighbours; ++k) {
        char addr[13];
        (void)std::snprintf(addr, sizeof addr, "00A0960000%02X", k & 0xFF);
        std::string name = k == 1 ? "Printer, 2nd floor" : "Neighbour-" + std::to_string(k);
        found.push_back(std::string(addr) + "," + name + "," + kClasses[k % 4]);
        if (k == 1 && otherVisible) {
            found.push_back(o.address + "," + o.name + "," + kUnitClass);
        }
    }
    if (u.opt.neighbours == 0 && otherVisible) {
        found.push_back(o.address + "," + o.name + "," + kUnitClass);
    }
    int limit = u.sreg[24];
    if (limit > 0 && found.size() > static_cast<size_t>(limit)) {
        found.resize(static_cast<size_t>(limit));
    }
    const auto total = Ms(std::max(0, m_options.timing.inquiryMs));
    for (size_t i = 0; i < found.size(); ++i) {
        At(at + total * static_cast<int>(i + 1) / static_cast<int>(found.size() + 1),
           [this, unit, gen, line = found[i]](TimePoint t) {
               if (U(unit).activityGen == gen) {
                   Line(unit, line, t);
               }
           });
    }
    At(at + total, [this, unit, gen](TimePoint t) {
        if (U(unit).activityGen == gen) {
            CancelActivity(unit);
            Result(unit, true, t);
        }
    });
}

void Engine::Dial(int unit, const std::string& address, TimePoint) {
    Unit& u = U(unit);
    const TimePoint at = u.replyAt;
    if (!IsAddress(address) || u.link != LinkState::Standby) {
        Result(unit, false, at);
        return;
    }
    CancelActivity(unit);
    u.link = LinkState::Pending;
    u.activity = Activity::Dial;
    std::uint64_t gen = u.activityGen;
    Result(unit, true, at);
    int target = SameAddress(address, U(Other(unit)).address) ? Other(unit) : 0;
    At(at + Ms(m_options.timing.connectMs), [this, unit, gen, target, at](TimePoint t) {
        if (U(unit).activityGen != gen) {
            return;
        }
        if (target != 0 && Connectable(target, unit)) {
            Establish(unit, target, false, t);
            return;
        }
        TimePoint fail = std::max(t, at + Ms(m_options.timing.connectFailMs));
        At(fail, [this, unit, gen](TimePoint t2) {
            if (U(unit).activityGen == gen) {
                CancelActivity(unit);
                Result(unit, false, t2);
            }
        });
    });
}

} // namespace norva::sim::detail
