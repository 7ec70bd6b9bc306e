// The units' core: timers, output, command and data bytes, the radio link, restarts and power.
// The AT commands themselves are in EngineCommands.cpp.
#include "sim/Engine.h"

#include "sim/Text.h"

#include <algorithm>

namespace norva::sim::detail {

namespace {

constexpr size_t kMaxLine = 128;
constexpr const char* kDefaultAddress[2] = {"00A0961B2C01", "00A0961B2C02"};
constexpr const char* kDefaultName[2] = {"Norva-BX01", "Norva-BX02"};

std::chrono::milliseconds Ms(long long ms) {
    return std::chrono::milliseconds(ms);
}

} // namespace

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
            AutoConnect(node.key(), true);
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
                AutoConnect(node.key(), true);
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
        // A command may have made this unit the one a paging peer looks for.
        AutoConnect(now, true);
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
            if (u.opt.escapeCr == EscapeCr::Error) {
                CommandByte(unit, c, now); // the CR is the first byte of command mode
            }
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

// Data reaches the partner's line only while the partner is in data mode too: a partner that
// escaped to command mode does not have its commands mixed with the other side's data.
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
    u.justEscaped = true;
    u.replyAt = now + Ms(u.opt.replyDelayMs);
    Result(unit, true, u.replyAt);
}

void Engine::CommandByte(int unit, char c, TimePoint now) {
    Unit& u = U(unit);
    const bool afterEscape = u.justEscaped;
    u.justEscaped = false;
    const bool typedEcho = u.opt.echo && u.opt.echoForm == EchoForm::Typed;
    if (typedEcho) {
        Raw(unit, std::string(1, c), now);
    }
    if (c == '\n') {
        return; // terminals send CR LF; the CR alone ends a command
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
        if (afterEscape && u.opt.escapeCr == EscapeCr::Error) {
            Result(unit, false, now + Ms(u.opt.replyDelayMs));
        }
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
        const int scanMode = u.activity == Activity::Scan ? u.scanMode : 0;
        CancelActivity(unit);
        u.resumeScan = u.opt.afterScanLink == AfterScanLink::Pending ? scanMode : 0;
        u.link = LinkState::Connected;
        u.dataMode = true;
        u.plusRun = 0;
        u.line.clear();
        u.peer = U(Other(unit)).address;
        if ((automatic && !u.opt.announceAutoLink) || HidesLinkLines(u)) {
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
        if (u.resumeScan != 0) {
            // No timer: the scan that made the link lasts until AT+BTCANCEL or a restart.
            u.link = LinkState::Pending;
            u.activity = Activity::Scan;
            u.scanMode = u.resumeScan;
            u.resumeScan = 0;
        } else if (v != unit && u.opt.modeActs == ModeActs::AtRestart && u.powered) {
            // A link lost from the other end: the mode in force waits or pages again.
            ActOnMode(v, now);
        }
        if ((v != unit || tellThisUnit) && !HidesLinkLines(u)) {
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

void Engine::Restart(int unit, TimePoint now) {
    Unit& u = U(unit);
    CancelActivity(unit);
    ++u.restartGen;
    u.restarting = false;
    u.resumeScan = 0;
    u.active = u.stored;
    u.modeInForce = u.mode;
    u.link = LinkState::Standby;
    u.dataMode = false;
    u.plusRun = 0;
    u.line.clear();
    u.lineOverflow = false;
    ++u.restarts;
    ActOnMode(unit, now);
    m_event(unit, EngineEvent::Restarted);
}

// What the mode in force does by itself: mode 2 waits for its remembered peer, mode 1 pages it
// for its paging time.
void Engine::ActOnMode(int unit, TimePoint now) {
    Unit& u = U(unit);
    if (u.modeInForce == 2 && IsAddress(u.peer)) {
        u.link = LinkState::Pending;
        u.activity = Activity::AutoWait;
    } else if (u.modeInForce == 1 && IsAddress(u.peer) && u.opt.pagingMs > 0) {
        u.link = LinkState::Pending;
        u.activity = Activity::Page;
        std::uint64_t gen = u.activityGen;
        At(now + Ms(u.opt.pagingMs), [this, unit, gen](TimePoint t) {
            if (U(unit).activityGen != gen) {
                return;
            }
            CancelActivity(unit);
            if (U(unit).opt.pageRestart) {
                Reboot(unit, RestartMs(unit), t);
            }
        });
    }
}

void Engine::Reboot(int unit, int ms, TimePoint now) {
    Unit& u = U(unit);
    CancelActivity(unit);
    u.link = LinkState::Standby;
    u.resumeScan = 0;
    u.dataMode = false;
    u.plusRun = 0;
    u.line.clear();
    u.lineOverflow = false;
    u.restarting = true;
    std::uint64_t gen = ++u.restartGen;
    At(now + Ms(ms), [this, unit, gen](TimePoint t) {
        if (U(unit).restartGen == gen) {
            Restart(unit, t);
            AutoConnect(t);
        }
    });
}

int Engine::RestartMs(int unit) const {
    const Unit& u = U(unit);
    return u.opt.bootMs >= 0 ? u.opt.bootMs : m_options.timing.restartMs;
}

int Engine::ActingMode(const Unit& u) const {
    return u.opt.modeActs == ModeActs::AtRestart ? u.modeInForce : u.mode;
}

bool Engine::HidesLinkLines(const Unit& u) const {
    auto s10 = u.sreg.find(10);
    return u.opt.s10OffHides == S10OffHides::AllResults && s10 != u.sreg.end() && s10->second == 0;
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
    // after the wizard stored the mode without a restart, unless its mode waits for one.
    return Connectable(target, dialer) ||
           (t.opt.modeActs == ModeActs::AtOnce && t.link == LinkState::Standby && t.mode == 2 &&
            SameAddress(t.peer, U(dialer).address));
}

// Only a mode-1 unit dials by itself, at a restart or while it pages after one: a mode that acted
// after every hang-up would undo the computer's ATH behind its back.
void Engine::AutoConnect(TimePoint now, bool pagingOnly) {
    for (int dialer : {2, 1}) {
        const Unit& d = U(dialer);
        const int target = Other(dialer);
        const bool paging = d.activity == Activity::Page;
        if ((paging || (!pagingOnly && d.link == LinkState::Standby)) && d.powered &&
            !d.restarting && ActingMode(d) == 1 && SameAddress(d.peer, U(target).address) &&
            AnswersAutoDial(target, dialer)) {
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
        if (u.opt.bootMs > 0) {
            Reboot(unit, u.opt.bootMs, now);
        } else {
            Restart(unit, now);
        }
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
    if (u.opt.bootMs > 0) {
        Reboot(unit, u.opt.bootMs, now);
        return;
    }
    Restart(unit, now);
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

} // namespace norva::sim::detail
