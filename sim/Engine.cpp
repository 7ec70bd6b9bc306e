#include "sim/Engine.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <vector>

namespace norva::sim {

bool operator==(const UartSetting& a, const UartSetting& b) {
    return a.baud == b.baud && a.parity == b.parity && a.stopBits == b.stopBits && a.flow == b.flow;
}

std::string DescribeUart(const UartSetting& uart) {
    return std::to_string(uart.baud) + "," + uart.parity + "," + std::to_string(uart.stopBits) +
           "," + (uart.flow ? "HWFC" : "NoFC");
}

const char* LinkStateText(LinkState state) {
    switch (state) {
    case LinkState::Standby:
        return "STANDBY";
    case LinkState::Pending:
        return "PENDING";
    case LinkState::Connected:
        return "CONNECT";
    }
    return "STANDBY";
}

namespace {

std::string DescribeUnit(int index, const UnitVerdict& u) {
    std::string text = "unit " + std::to_string(index) + " " + u.name + " (" + u.address +
                       "): mode " + std::to_string(u.mode) + ", UART " + DescribeUart(u.uart) +
                       ", ";
    if (u.peer.empty()) {
        text += "remembers no peer";
    } else {
        text += "remembers " + u.peer;
        text += u.peerUnit ? " (unit " + std::to_string(u.peerUnit) + ")" : " (not a unit here)";
    }
    return text + "\n";
}

} // namespace

std::string Verdict::Describe() const {
    std::string text = DescribeUnit(1, unit[0]) + DescribeUnit(2, unit[1]);
    if (wouldAutoConnect) {
        return text + "verdict: the pair would auto-connect after a power cycle\n";
    }
    std::vector<std::string> why;
    if (unit[0].mode != 2) {
        why.push_back("unit 1 is in mode " + std::to_string(unit[0].mode) + ", needs mode 2");
    }
    if (unit[0].peerUnit != 2) {
        why.push_back("unit 1 does not remember unit 2");
    }
    if (unit[1].mode != 1) {
        why.push_back("unit 2 is in mode " + std::to_string(unit[1].mode) + ", needs mode 1");
    }
    if (unit[1].peerUnit != 1) {
        why.push_back("unit 2 does not remember unit 1");
    }
    text += "verdict: the pair would not auto-connect after a power cycle (";
    for (size_t i = 0; i < why.size(); ++i) {
        text += (i ? "; " : "") + why[i];
    }
    return text + ")\n";
}

namespace detail {

namespace {

constexpr size_t kMaxLine = 128;
constexpr const char* kDefaultAddress[2] = {"00A0961B2C01", "00A0961B2C02"};
constexpr const char* kDefaultName[2] = {"Norva-BX01", "Norva-BX02"};
constexpr const char* kUnitClass = "001F00";
constexpr int kBauds[] = {1200,  2400,   4800,   9600,   19200, 38400,
                          57600, 115200, 230400, 460800, 921600};

std::string Upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return out;
}

bool ParseInt(std::string_view text, int lo, int hi, int* value) {
    if (text.empty() || text.size() > 9) {
        return false;
    }
    int v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || v < lo || v > hi) {
        return false;
    }
    *value = v;
    return true;
}

std::vector<std::string_view> Split(std::string_view text, char sep) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (;;) {
        size_t pos = text.find(sep, start);
        parts.push_back(text.substr(start, pos == std::string_view::npos ? pos : pos - start));
        if (pos == std::string_view::npos) {
            return parts;
        }
        start = pos + 1;
    }
}

std::chrono::milliseconds Ms(long long ms) {
    return std::chrono::milliseconds(ms);
}

} // namespace

bool IsAddress(std::string_view text) {
    return text.size() == 12 && std::all_of(text.begin(), text.end(), [](char c) {
               return std::isxdigit(static_cast<unsigned char>(c)) != 0;
           });
}

bool SameAddress(std::string_view a, std::string_view b) {
    return IsAddress(a) && IsAddress(b) && Upper(a) == Upper(b);
}

Engine::Engine(const SimOptions& options, DeliverFn deliver, EventFn event, TimePoint now)
    : m_options(options), m_deliver(std::move(deliver)), m_event(std::move(event)) {
    for (int i = 0; i < 2; ++i) {
        Unit& u = m_units[i];
        u.opt = options.unit[i];
        u.address = IsAddress(u.opt.address) ? Upper(u.opt.address) : kDefaultAddress[i];
        u.name = u.opt.name.empty() ? kDefaultName[i] : u.opt.name;
        u.mode = u.modeInForce = std::clamp(u.opt.startMode, 0, 3);
        u.stored = u.active = u.opt.uart;
        u.sreg[10] = u.opt.responsesOff ? 0 : 1;
        u.sreg[24] = 10;
        u.outFree = u.replyAt = now;
        u.powered = !u.opt.startOff;
        if (u.opt.startPending && u.powered) {
            u.link = LinkState::Pending;
            u.activity = Activity::Scan;
            u.scanMode = 3;
        }
    }
    if (options.startPaired) {
        m_units[0].mode = m_units[0].modeInForce = 2;
        m_units[0].peer = m_units[1].address;
        m_units[1].mode = m_units[1].modeInForce = 1;
        m_units[1].peer = m_units[0].address;
    }
    if ((options.unit[0].startConnected || options.unit[1].startConnected) && m_units[0].powered &&
        m_units[1].powered) {
        for (int i = 0; i < 2; ++i) {
            Unit& u = m_units[i];
            u.link = LinkState::Connected;
            u.activity = Activity::None;
            u.dataMode = true;
            u.peer = m_units[1 - i].address;
        }
    }
}

void Engine::At(TimePoint when, std::function<void(TimePoint)> fn) {
    m_timers.emplace(when, std::move(fn));
}

TimePoint Engine::NextDeadline() const {
    TimePoint next = TimePoint::max();
    if (!m_timers.empty()) {
        next = m_timers.begin()->first;
    }
    if (!m_output.empty()) {
        next = std::min(next, m_output.begin()->first);
    }
    return next;
}

void Engine::Advance(TimePoint now) {
    for (;;) {
        if (!m_timers.empty() && m_timers.begin()->first <= now) {
            auto node = m_timers.extract(m_timers.begin());
            // A timer acts at the moment it was due, so its replies keep their spacing even when
            // the loop woke late.
            node.mapped()(node.key());
            continue;
        }
        if (!m_output.empty() && m_output.begin()->first <= now) {
            auto node = m_output.extract(m_output.begin());
            Output& out = node.mapped();
            if (!out.bytes.empty()) {
                m_deliver(out.unit, out.bytes);
            }
            if (out.after) {
                out.after(node.key());
            }
            continue;
        }
        return;
    }
}

void Engine::Schedule(int unit, std::string bytes, TimePoint earliest) {
    Unit& u = U(unit);
    if (u.opt.silent || !u.powered || bytes.empty()) {
        return;
    }
    TimePoint start = std::max(earliest, u.outFree);
    if (u.opt.chunkBytes <= 0) {
        m_output.emplace(start, Output{unit, std::move(bytes), {}});
        u.outFree = start;
        return;
    }
    auto gap = Ms(std::max(0, u.opt.chunkGapMs));
    size_t step = static_cast<size_t>(u.opt.chunkBytes);
    TimePoint at = start;
    for (size_t pos = 0; pos < bytes.size(); pos += step) {
        m_output.emplace(at, Output{unit, bytes.substr(pos, step), {}});
        at += gap;
    }
    u.outFree = at;
}

void Engine::Line(int unit, const std::string& text, TimePoint earliest) {
    static const char* const kLoose[] = {"\r", "\n", "\n\r"};
    Unit& u = U(unit);
    std::string bytes;
    if (u.opt.noise) {
        bytes = kLoose[u.noiseCount++ % 3];
    }
    bytes += "\r\n" + text + "\r\n";
    Schedule(unit, std::move(bytes), earliest);
}

void Engine::Result(int unit, bool ok, TimePoint earliest) {
    Unit& u = U(unit);
    if (u.sreg[10] == 0) {
        return;
    }
    Line(unit, ok ? "OK" : "ERROR", earliest);
    if (u.opt.noise) {
        Schedule(unit, "~?\r", earliest);
    }
}

void Engine::Raw(int unit, std::string bytes, TimePoint earliest) {
    Schedule(unit, std::move(bytes), earliest);
}

void Engine::AfterOutput(int unit, TimePoint earliest, std::function<void(TimePoint)> fn) {
    // Queued behind the unit's pending output at the same time, so it runs after the last byte.
    m_output.emplace(std::max(earliest, U(unit).outFree), Output{unit, {}, std::move(fn)});
}

void Engine::Feed(int unit, std::string_view bytes, TimePoint now) {
    Unit& u = U(unit);
    size_t pos = 0;
    while (pos < bytes.size() && !u.opt.silent && u.powered && !u.restarting) {
        if (u.dataMode) {
            pos += DataBytes(unit, bytes.substr(pos), now);
        } else {
            CommandByte(unit, bytes[pos++], now);
        }
    }
}

size_t Engine::DataBytes(int unit, std::string_view bytes, TimePoint now) {
    Unit& u = U(unit);
    std::string forward;
    size_t used = 0;
    while (used < bytes.size()) {
        char c = bytes[used++];
        if (c == '+') {
            if (u.plusRun == 3) {
                forward += '+';
            } else {
                ++u.plusRun;
            }
            // Silence after "+++" escapes; silence after fewer pluses lets them through as data.
            std::uint64_t gen = ++u.escapeGen;
            At(now + Ms(m_options.timing.escapeGuardMs), [this, unit, gen](TimePoint t) {
                Unit& v = U(unit);
                if (v.escapeGen != gen || !v.dataMode || v.plusRun == 0) {
                    return;
                }
                if (v.plusRun == 3) {
                    Escape(unit, t);
                    return;
                }
                std::string held(static_cast<size_t>(v.plusRun), '+');
                v.plusRun = 0;
                Forward(unit, std::move(held), t);
            });
            continue;
        }
        if (c == '\r' && u.plusRun == 3) {
            ++u.escapeGen;
            Escape(unit, now);
            break;
        }
        forward.append(static_cast<size_t>(u.plusRun), '+');
        forward += c;
        u.plusRun = 0;
        ++u.escapeGen;
    }
    Forward(unit, std::move(forward), now);
    return used;
}

void Engine::Forward(int unit, std::string bytes, TimePoint now) {
    int o = Other(unit);
    if (!bytes.empty() && U(unit).link == LinkState::Connected &&
        U(o).link == LinkState::Connected && U(o).dataMode) {
        Raw(o, std::move(bytes), now);
    }
}

void Engine::Escape(int unit, TimePoint now) {
    Unit& u = U(unit);
    u.plusRun = 0;
    u.dataMode = false;
    u.line.clear();
    u.lineOverflow = false;
    u.replyAt = now + Ms(u.opt.replyDelayMs);
    Result(unit, true, u.replyAt);
}

void Engine::CommandByte(int unit, char c, TimePoint now) {
    Unit& u = U(unit);
    const bool typedEcho = u.opt.echo && u.opt.echoForm == EchoForm::Typed;
    if (typedEcho) {
        Raw(unit, std::string(1, c), now);
    }
    if (c == '\n') {
        return;
    }
    if (c != '\r') {
        if (u.line.size() < kMaxLine) {
            u.line += c;
        } else {
            u.lineOverflow = true;
        }
        return;
    }
    std::string line;
    line.swap(u.line);
    bool overflow = u.lineOverflow;
    u.lineOverflow = false;
    if (line.empty() && !overflow) {
        return;
    }
    if (u.opt.echo && !typedEcho) {
        static const char* const kEnd[] = {"\r", "", "\r\n"};
        Raw(unit, line + kEnd[static_cast<int>(u.opt.echoForm)], now);
    }
    u.replyAt = now + Ms(u.opt.replyDelayMs);
    ++u.commands;
    u.lastCommand = line;
    if (overflow) {
        Result(unit, false, u.replyAt);
        return;
    }
    HandleLine(unit, line, now);
}

void Engine::HandleLine(int unit, const std::string& line, TimePoint now) {
    Unit& u = U(unit);
    const TimePoint at = u.replyAt;
    const std::string cmd = Upper(line);
    if (cmd.compare(0, 2, "AT") != 0) {
        Result(unit, false, at);
        return;
    }
    const std::string rest = cmd.substr(2);
    if (rest.empty()) {
        Result(unit, true, at);
    } else if (rest == "Z") {
        if (u.link == LinkState::Connected) {
            Unlink(unit, false, now);
        }
        CancelActivity(unit);
        u.restarting = true;
        u.dataMode = false;
        std::uint64_t gen = ++u.restartGen;
        At(at + Ms(m_options.timing.restartMs), [this, unit, gen](TimePoint t) {
            if (U(unit).restartGen != gen) {
                return;
            }
            Restart(unit);
            Result(unit, true, t);
            AutoConnect(t);
        });
    } else if (rest == "O" || rest == "O0") {
        if (u.link == LinkState::Connected) {
            Result(unit, true, at);
            u.dataMode = true;
            u.plusRun = 0;
        } else {
            Result(unit, false, at);
        }
    } else if (rest == "H" || rest == "H0") {
        Result(unit, u.link == LinkState::Connected || u.opt.hangupIdle == HangupIdle::Ok, at);
        if (u.link == LinkState::Connected) {
            Unlink(unit, true, now);
        }
    } else if (rest[0] == 'D') {
        Dial(unit, line.substr(3), now);
    } else if (rest[0] == 'S') {
        SRegister(unit, rest.substr(1), now);
    } else if (rest == "+BTINFO?") {
        StatusLine(unit, at);
    } else if (rest == "+BTINQ?") {
        Inquiry(unit, now);
    } else if (rest.compare(0, 8, "+BTSCAN,") == 0) {
        if (!u.opt.noScanReply) {
            Scan(unit, rest.substr(8), now);
        }
    } else if (rest == "+BTCANCEL") {
        if (u.link == LinkState::Pending) {
            CancelActivity(unit);
        }
        Result(unit, true, at);
    } else if (rest.compare(0, 8, "+BTMODE,") == 0) {
        int mode = 0;
        if (u.link == LinkState::Pending ||
            !ParseInt(std::string_view(rest).substr(8), 0, 3, &mode)) {
            Result(unit, false, at);
        } else {
            if (!u.opt.keepMode) {
                u.mode = mode;
            }
            Result(unit, true, at);
        }
    } else if (rest.compare(0, 12, "+UARTCONFIG,") == 0) {
        UartConfig(unit, rest.substr(12), now);
    } else {
        Result(unit, false, at);
    }
}

void Engine::StatusLine(int unit, TimePoint at) {
    Unit& u = U(unit);
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
    bool ok = (parts.size() == 3 || (parts.size() == 4 && !u.opt.oldFirmware)) &&
              ParseInt(parts[0], 1, 10000000, &uart.baud) &&
              std::find(std::begin(kBauds), std::end(kBauds), uart.baud) != std::end(kBauds) &&
              parts[1].size() == 1 &&
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

void Engine::Inquiry(int unit, TimePoint) {
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

bool Engine::Connectable(int target, int dialer) const {
    const Unit& t = U(target);
    if (t.restarting || t.link != LinkState::Pending) {
        return false;
    }
    return (t.activity == Activity::Scan && (t.scanMode & 2) != 0) ||
           (t.activity == Activity::AutoWait && SameAddress(t.peer, U(dialer).address));
}

void Engine::Establish(int dialer, int target, bool automatic, TimePoint now) {
    for (int unit : {dialer, target}) {
        Unit& u = U(unit);
        CancelActivity(unit);
        u.link = LinkState::Connected;
        u.dataMode = true;
        u.plusRun = 0;
        u.line.clear();
        u.peer = U(Other(unit)).address;
        if (automatic && !u.opt.announceAutoLink) {
            continue;
        }
        Line(unit, u.opt.connectReply == ConnectReply::Bare ? "CONNECT" : "CONNECT " + u.peer, now);
    }
    m_event(dialer, EngineEvent::Connected);
}

void Engine::Unlink(int unit, bool tellThisUnit, TimePoint now) {
    for (int v : {unit, Other(unit)}) {
        Unit& u = U(v);
        if (u.link != LinkState::Connected) {
            continue;
        }
        u.link = LinkState::Standby;
        u.activity = Activity::None;
        u.dataMode = false;
        u.plusRun = 0;
        if (v != unit || tellThisUnit) {
            Line(v, "DISCONNECT", v == unit ? std::max(now, u.replyAt) + Ms(u.opt.lineGapMs) : now);
        }
    }
    m_event(unit, EngineEvent::Disconnected);
}

void Engine::CancelActivity(int unit) {
    Unit& u = U(unit);
    ++u.activityGen;
    if (u.link == LinkState::Pending) {
        u.link = LinkState::Standby;
    }
    u.activity = Activity::None;
    u.scanMode = 0;
}

void Engine::Restart(int unit) {
    Unit& u = U(unit);
    CancelActivity(unit);
    ++u.restartGen;
    u.restarting = false;
    u.active = u.stored;
    u.modeInForce = u.mode;
    u.link = LinkState::Standby;
    u.dataMode = false;
    u.plusRun = 0;
    u.line.clear();
    u.lineOverflow = false;
    ++u.restarts;
    if (u.mode == 2 && IsAddress(u.peer)) {
        // Mode 2 waits for its remembered peer from power-up on.
        u.link = LinkState::Pending;
        u.activity = Activity::AutoWait;
    }
    m_event(unit, EngineEvent::Restarted);
}

bool Engine::Paired() const {
    const Unit& u1 = m_units[0];
    const Unit& u2 = m_units[1];
    return u2.mode == 1 && SameAddress(u2.peer, u1.address) && u1.mode == 2 &&
           SameAddress(u1.peer, u2.address);
}

bool Engine::AnswersAutoDial(int target, int dialer) const {
    const Unit& t = U(target);
    if (!t.powered || t.restarting) {
        return false;
    }
    // A unit in mode 2 takes the call of the peer it remembers even when it is idle, as it does
    // after the wizard stored the mode without a restart.
    return Connectable(target, dialer) ||
           (t.link == LinkState::Standby && t.mode == 2 && SameAddress(t.peer, U(dialer).address));
}

void Engine::AutoConnect(TimePoint now) {
    for (int dialer : {2, 1}) {
        const Unit& d = U(dialer);
        const int target = Other(dialer);
        if (d.powered && !d.restarting && d.mode == 1 && d.link == LinkState::Standby &&
            SameAddress(d.peer, U(target).address) && AnswersAutoDial(target, dialer)) {
            Establish(dialer, target, true, now);
            return;
        }
    }
}

void Engine::PowerCycle(TimePoint now) {
    m_output.clear();
    for (int unit : {1, 2}) {
        Unit& u = U(unit);
        if (!u.powered) {
            continue;
        }
        u.link = LinkState::Standby; // both lose power: nobody announces the lost link
        u.outFree = u.replyAt = now;
        Restart(unit);
    }
    AutoConnect(now);
}

void Engine::PowerOff(int unit, TimePoint now) {
    Unit& u = U(unit);
    if (!u.powered) {
        return;
    }
    if (u.link == LinkState::Connected) {
        Unlink(unit, false, now); // the partner notices the radio going quiet
    }
    CancelActivity(unit);
    ++u.restartGen;
    ++u.escapeGen;
    u.powered = false;
    u.restarting = false;
    u.dataMode = false;
    u.plusRun = 0;
    u.line.clear();
    u.lineOverflow = false;
    for (auto it = m_output.begin(); it != m_output.end();) {
        it = it->second.unit == unit ? m_output.erase(it) : std::next(it);
    }
}

void Engine::PowerOn(int unit, TimePoint now) {
    Unit& u = U(unit);
    if (u.powered) {
        return;
    }
    u.powered = true;
    u.link = LinkState::Standby;
    u.outFree = u.replyAt = now;
    Restart(unit);
    AutoConnect(now);
}

const UartSetting& Engine::ActiveUart(int unit) const {
    return U(unit).active;
}

Verdict Engine::GetVerdict() const {
    Verdict v;
    for (int i = 0; i < 2; ++i) {
        const Unit& u = m_units[i];
        UnitVerdict& uv = v.unit[i];
        uv.address = u.address;
        uv.name = u.name;
        uv.mode = u.mode;
        uv.uart = u.stored;
        uv.peer = u.peer;
        for (int j = 0; j < 2; ++j) {
            if (j != i && SameAddress(u.peer, m_units[j].address)) {
                uv.peerUnit = j + 1;
            }
        }
    }
    v.wouldAutoConnect = Paired();
    return v;
}

UnitSnapshot Engine::Snapshot(int unit) const {
    const Unit& u = U(unit);
    UnitSnapshot s;
    s.address = u.address;
    s.name = u.name;
    s.mode = u.mode;
    s.modeInForce = u.modeInForce;
    s.link = u.link;
    s.dataMode = u.dataMode;
    s.restarting = u.restarting;
    auto reg = [&u](int n) {
        auto it = u.sreg.find(n);
        return it == u.sreg.end() ? 0 : it->second;
    };
    s.s10 = reg(10);
    s.s24 = reg(24);
    s.stored = u.stored;
    s.active = u.active;
    s.peer = u.peer;
    s.flag5 = u.opt.flag5;
    s.flag6 = u.opt.flag6;
    s.commands = u.commands;
    s.lastCommand = u.lastCommand;
    s.restarts = u.restarts;
    s.powered = u.powered;
    return s;
}

} // namespace detail
} // namespace norva::sim
