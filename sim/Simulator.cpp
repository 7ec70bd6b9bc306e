#include "sim/Simulator.h"

#include "sim/Engine.h"
#include "sim/PtyEvents.h"
#include "sim/Text.h"
#include "sim/Trace.h"
#include "sim/UartRates.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace norva::sim {

using detail::Clock;
using detail::Engine;
using detail::EngineEvent;
using detail::TimePoint;

namespace {

// Without inotify the only sign of an open is the master's hang-up clearing; look this often.
constexpr auto kHangupRecheck = std::chrono::milliseconds(100);
// The computer may stop reading; do not hoard its unread output for ever.
constexpr size_t kMaxUnwritten = 64 * 1024;

const char* EventName(EngineEvent e) {
    switch (e) {
    case EngineEvent::ScanAccepted:
        return "scan accepted";
    case EngineEvent::UartStored:
        return "UART stored";
    case EngineEvent::Connected:
        return "connected";
    case EngineEvent::Disconnected:
        return "disconnected";
    case EngineEvent::Restarted:
        return "restarted";
    case EngineEvent::UartInEffect:
        return "UART in effect";
    }
    return "";
}

} // namespace

class Simulator::Impl {
public:
    explicit Impl(SimOptions options) : m_opt(std::move(options)) {
        if (m_opt.follow) {
            m_opt.onePort = true;
        }
        m_t0 = Clock::now();
        for (int i = 0; i < 2; ++i) {
            m_switchedOn[i] = !m_opt.unit[i].startOff;
        }
        m_engine = std::make_unique<Engine>(
            m_opt, [this](int unit, std::string_view bytes) { Deliver(unit, bytes); },
            [this](int unit, EngineEvent e) { OnEngineEvent(unit, e); }, m_t0);
    }

    ~Impl() { Stop(); }

    bool Start(std::string* error);
    void Stop();

    std::string DevicePath(int unit) const {
        std::lock_guard lock(m_mu);
        int p = m_portCount == 1 ? 0 : unit - 1;
        if (p < 0 || p >= m_portCount) {
            return {};
        }
        return m_ports[p].path;
    }

    std::string LinkPath(int unit) const {
        std::lock_guard lock(m_mu);
        if (m_opt.linkDir.empty() || (unit != 1 && unit != 2)) {
            return {};
        }
        return LinkOf(m_opt.onePort ? 0 : unit - 1);
    }

    bool Unplug(int unit);
    bool Replug(int unit);
    bool SetPower(int unit, bool on);

    void Attach(int unit) {
        if (unit != 1 && unit != 2) {
            return;
        }
        std::lock_guard lock(m_mu);
        if (m_opt.onePort) {
            SetNext(unit, "attach");
        }
    }

    int Attached() const {
        std::lock_guard lock(m_mu);
        return m_attached;
    }

    int NextAttached() const {
        std::lock_guard lock(m_mu);
        return m_next;
    }

    bool PortOpen(int unit) const {
        std::lock_guard lock(m_mu);
        const int p = m_portCount == 1 ? 0 : unit - 1;
        return p >= 0 && p < m_portCount && m_ports[p].open;
    }

    Verdict GetVerdict() const {
        std::lock_guard lock(m_mu);
        return m_engine->GetVerdict();
    }

    void PowerCycle() {
        std::lock_guard lock(m_mu);
        TraceEvent(0, "power cycle");
        m_engine->PowerCycle(Clock::now());
        Wake();
    }

    UnitSnapshot Snapshot(int unit) const {
        std::lock_guard lock(m_mu);
        const int u = unit == 2 ? 2 : 1;
        UnitSnapshot s = m_engine->Snapshot(u);
        s.switchedOn = m_switchedOn[u - 1];
        s.plugged = m_plugged[u - 1];
        return s;
    }

    const SimOptions& Options() const { return m_opt; }

private:
    struct Port {
        int master = -1;
        std::string path;
        int watch = -1; // the watch of the slave's opens; -1: rely on hang-up polling
        int opens = 0;  // open file descriptions of the slave, as the watch counted them
        bool open = false;
        std::string unwritten;
        TimePoint nextHangupCheck;
        int unpluggedUnit = 0; // one-port mode: whose adapter was pulled with the port
        bool closing = false;  // unplugged; the loop closes the master once out of poll
    };

    bool OpenPort(int p, const UartSetting& line, std::string* error);
    void ClosePort(int p);
    std::string LinkOf(int p) const;
    bool PointLink(int p, std::string* error);
    void UpdatePower(int unit, TimePoint now);
    void Loop();
    void ReadSlaveChanges(TimePoint now);
    void ReadMaster(int p, TimePoint now);
    void Opened(int p, TimePoint now);
    void Closed(int p, TimePoint now);
    void Deliver(int unit, std::string_view bytes);
    void Flush(int p);
    bool LineHeard(int p, int unit, std::string* why) const;
    int PortOfUnit(int unit) const;
    int UnitOfPort(int p) const { return m_opt.onePort ? m_attached : p + 1; }
    void SetNext(int unit, const char* why);
    void OnEngineEvent(int unit, EngineEvent e);
    void Wake() const;
    void CloseAll();

    void TraceBytes(int unit, const char* dir, std::string_view bytes,
                    const std::string& note = {}) {
        m_trace.Bytes(unit, dir, bytes, note);
    }
    void TraceEvent(int unit, const std::string& what) { m_trace.Event(unit, what); }

    SimOptions m_opt;
    mutable std::mutex m_mu;
    std::condition_variable m_closed; // a port the loop was asked to close is closed
    std::unique_ptr<Engine> m_engine;
    Port m_ports[2];
    int m_portCount = 0;
    int m_attached = 1;
    int m_next = 1;
    bool m_switchedOn[2] = {true, true};
    bool m_plugged[2] = {true, true};
    WakeFd m_wake;
    SlaveWatch m_slaves;
    bool m_stop = false;
    bool m_started = false;
    bool m_running = false; // the loop thread runs
    std::thread m_thread;
    Trace m_trace;
    TimePoint m_t0;
};

bool Simulator::Impl::Start(std::string* error) {
    auto fail = [&](const std::string& what) {
        if (error) {
            *error = what;
        }
        CloseAll();
        return false;
    };
    std::lock_guard lock(m_mu);
    if (m_started) {
        return fail("the simulator was already started");
    }
    m_started = true;
    if (!m_opt.tracePath.empty()) {
        if (!m_trace.Open(m_opt.tracePath, m_t0)) {
            return fail("cannot write trace file " + m_opt.tracePath + ": " + ErrnoText());
        }
    }
    if (!m_wake.Open()) {
        return fail(std::string("wake-up descriptor: ") + ErrnoText());
    }
    if (m_opt.notifyOpens) {
        m_slaves.Open();
    }
    if (!m_opt.linkDir.empty() && mkdir(m_opt.linkDir.c_str(), 0755) != 0 && errno != EEXIST) {
        return fail("cannot make link directory " + m_opt.linkDir + ": " + ErrnoText());
    }
    m_portCount = m_opt.onePort ? 1 : 2;
    for (int p = 0; p < m_portCount; ++p) {
        std::string why;
        if (!OpenPort(p, m_opt.unit[p].uart, &why)) {
            return fail(why);
        }
    }
    m_stop = false;
    m_thread = std::thread([this] { Loop(); });
    m_running = true;
    TraceEvent(0, "started");
    return true;
}

void Simulator::Impl::Stop() {
    {
        std::lock_guard lock(m_mu);
        m_stop = true;
        Wake();
        m_closed.notify_all();
    }
    if (m_thread.joinable()) {
        m_thread.join();
    }
    std::lock_guard lock(m_mu);
    m_running = false;
    if (m_started) {
        // Opens and closes that happened before the stop belong in the trace.
        ReadSlaveChanges(Clock::now());
    }
    // Closing the masters hangs up whoever still holds a slave, as unplugging would.
    CloseAll();
}

bool Simulator::Impl::OpenPort(int p, const UartSetting& line, std::string* error) {
    Port& port = m_ports[p];
    // Raw from the start, at the unit's own setting: a line discipline that echoed would feed the
    // unit its own replies as commands.
    termios tio{};
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    if (line.stopBits == 2) {
        tio.c_cflag |= CSTOPB;
    }
    cfsetispeed(&tio, SpeedCodeOf(line.baud));
    cfsetospeed(&tio, SpeedCodeOf(line.baud));
    int master = -1;
    int slave = -1;
    char name[128] = {};
    if (openpty(&master, &slave, name, &tio, nullptr) != 0) {
        *error = std::string("openpty: ") + ErrnoText();
        return false;
    }
    // The slave is the computer's end; holding it would hide the computer's closes.
    close(slave);
    port.master = master;
    port.path = name;
    port.open = false;
    port.opens = 0;
    port.unwritten.clear();
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    fcntl(master, F_SETFD, FD_CLOEXEC);
    port.watch = m_slaves.Add(name);
    port.nextHangupCheck = Clock::now();
    return PointLink(p, error);
}

void Simulator::Impl::ClosePort(int p) {
    Port& port = m_ports[p];
    m_slaves.Remove(port.watch);
    port.watch = -1;
    if (port.master >= 0) {
        close(port.master);
        port.master = -1;
    }
    port.path.clear();
    port.open = false;
    port.closing = false;
    port.opens = 0;
    port.unwritten.clear();
    if (!m_opt.linkDir.empty()) {
        unlink(LinkOf(p).c_str());
    }
}

std::string Simulator::Impl::LinkOf(int p) const {
    if (!m_opt.linkNames[p].empty()) {
        return m_opt.linkDir + "/" + m_opt.linkNames[p];
    }
    const char* name = m_opt.onePort ? "com1" : (p == 0 ? "unit1" : "unit2");
    return m_opt.linkDir + "/" + name;
}

bool Simulator::Impl::PointLink(int p, std::string* error) {
    if (m_opt.linkDir.empty()) {
        return true;
    }
    // Renamed over the old link, so an opener never finds it missing or half made.
    const std::string link = LinkOf(p);
    const std::string fresh = link + ".new";
    unlink(fresh.c_str());
    if (symlink(m_ports[p].path.c_str(), fresh.c_str()) != 0 ||
        rename(fresh.c_str(), link.c_str()) != 0) {
        *error = "cannot make link " + link + ": " + ErrnoText();
        unlink(fresh.c_str());
        return false;
    }
    return true;
}

void Simulator::Impl::UpdatePower(int unit, TimePoint now) {
    const bool want = m_switchedOn[unit - 1] && m_plugged[unit - 1];
    if (want == m_engine->Powered(unit)) {
        return;
    }
    TraceEvent(unit, want ? "power on" : "power off");
    if (want) {
        m_engine->PowerOn(unit, now);
    } else {
        m_engine->PowerOff(unit, now);
    }
    Wake();
}

bool Simulator::Impl::Unplug(int unit) {
    if (unit != 1 && unit != 2) {
        return false;
    }
    std::unique_lock lock(m_mu);
    const int p = m_opt.onePort ? 0 : unit - 1;
    if (!m_started || m_stop || p >= m_portCount || m_ports[p].master < 0) {
        return false;
    }
    const int u = m_opt.onePort ? m_attached : unit;
    Port& port = m_ports[p];
    TraceEvent(u, "unplugged");
    port.unpluggedUnit = u;
    m_plugged[u - 1] = false;
    UpdatePower(u, Clock::now());
    if (!m_running) {
        ClosePort(p);
        return true;
    }
    // A poll in progress holds the master's file, and the slave hangs up only when the last
    // hold goes; so the loop closes it between polls, and the caller sees the hang-up done.
    port.open = false;
    port.closing = true;
    Wake();
    m_closed.wait_for(lock, std::chrono::seconds(5), [&] { return !port.closing || m_stop; });
    if (port.closing) {
        ClosePort(p);
    }
    return true;
}

bool Simulator::Impl::Replug(int unit) {
    if (unit != 1 && unit != 2) {
        return false;
    }
    std::lock_guard lock(m_mu);
    const int p = m_opt.onePort ? 0 : unit - 1;
    if (!m_started || m_stop || p >= m_portCount || m_ports[p].master >= 0) {
        return false;
    }
    const int u = m_opt.onePort ? m_ports[p].unpluggedUnit : unit;
    std::string why;
    if (!OpenPort(p, m_engine->Snapshot(u).stored, &why)) {
        TraceEvent(u, "replug failed: " + why);
        ClosePort(p);
        return false;
    }
    TraceEvent(u, "replugged as " + m_ports[p].path);
    m_plugged[u - 1] = true;
    UpdatePower(u, Clock::now());
    Wake();
    return true;
}

bool Simulator::Impl::SetPower(int unit, bool on) {
    if (unit != 1 && unit != 2) {
        return false;
    }
    std::lock_guard lock(m_mu);
    if (m_switchedOn[unit - 1] == on) {
        return false;
    }
    m_switchedOn[unit - 1] = on;
    TraceEvent(unit, on ? "switched on" : "switched off");
    UpdatePower(unit, Clock::now());
    return true;
}

void Simulator::Impl::CloseAll() {
    for (int p = 0; p < 2; ++p) {
        if (m_ports[p].master >= 0) {
            ClosePort(p);
        }
    }
    m_slaves.Close();
    m_wake.Close();
    m_trace.Close();
}

void Simulator::Impl::Wake() const {
    m_wake.Signal();
}

void Simulator::Impl::Loop() {
    std::unique_lock lock(m_mu);
    while (!m_stop) {
        for (int p = 0; p < m_portCount; ++p) {
            if (m_ports[p].closing) {
                ClosePort(p);
                m_closed.notify_all();
            }
        }
        TimePoint now = Clock::now();
        ReadSlaveChanges(now);
        m_engine->Advance(now);
        for (int p = 0; p < m_portCount; ++p) {
            Flush(p);
        }

        std::vector<pollfd> fds;
        std::vector<int> portOf;
        fds.push_back({m_wake.Fd(), POLLIN, 0});
        portOf.push_back(-1);
        if (m_slaves.Fd() >= 0) {
            fds.push_back({m_slaves.Fd(), POLLIN, 0});
            portOf.push_back(-1);
        }
        TimePoint deadline = m_engine->NextDeadline();
        for (int p = 0; p < m_portCount; ++p) {
            Port& port = m_ports[p];
            if (port.open) {
                short events = POLLIN;
                if (!port.unwritten.empty()) {
                    events |= POLLOUT;
                }
                fds.push_back({port.master, events, 0});
                portOf.push_back(p);
            } else if (port.watch < 0 && port.master >= 0 && !port.closing) {
                // A hung-up master polls readable for ever; look again later instead.
                deadline = std::min(deadline, port.nextHangupCheck);
            }
        }
        int timeout = -1;
        if (deadline != TimePoint::max()) {
            auto wait = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
            timeout = static_cast<int>(std::clamp<long long>(wait, 0, 60000));
        }

        lock.unlock();
        int ready = poll(fds.data(), static_cast<nfds_t>(fds.size()), timeout);
        lock.lock();
        if (m_stop) {
            break;
        }
        now = Clock::now();
        if (ready > 0 && (fds[0].revents & POLLIN)) {
            m_wake.Clear();
        }
        // Opens and closes are queued before the bytes that follow them, so they go first.
        ReadSlaveChanges(now);
        for (size_t i = 0; ready > 0 && i < fds.size(); ++i) {
            int p = portOf[i];
            if (p < 0 || !m_ports[p].open) {
                continue;
            }
            if (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) {
                ReadMaster(p, now);
            }
            if ((fds[i].revents & POLLOUT) && m_ports[p].open) {
                Flush(p);
            }
        }
        for (int p = 0; p < m_portCount; ++p) {
            Port& port = m_ports[p];
            if (port.watch < 0 && port.master >= 0 && !port.closing && !port.open &&
                now >= port.nextHangupCheck) {
                pollfd pfd{port.master, POLLIN, 0};
                if (poll(&pfd, 1, 0) >= 0 && !(pfd.revents & POLLHUP)) {
                    Opened(p, now);
                } else {
                    port.nextHangupCheck = now + kHangupRecheck;
                }
            }
        }
    }
}

void Simulator::Impl::ReadSlaveChanges(TimePoint now) {
    for (const SlaveWatch::Change& change : m_slaves.Read()) {
        for (int p = 0; p < m_portCount; ++p) {
            Port& port = m_ports[p];
            if (port.watch < 0 || port.master < 0 || port.closing) {
                continue;
            }
            if (change.kind == SlaveWatch::Kind::CountsLost) {
                // The hang-up state tells whether anyone holds the slave.
                pollfd pfd{port.master, POLLIN, 0};
                bool held = poll(&pfd, 1, 0) >= 0 && !(pfd.revents & POLLHUP);
                port.opens = held ? 1 : 0;
                if (held && !port.open) {
                    Opened(p, now);
                } else if (!held && port.open) {
                    Closed(p, now);
                }
                continue;
            }
            if (change.watch != port.watch) {
                continue;
            }
            if (change.kind == SlaveWatch::Kind::Opened) {
                if (port.opens++ == 0 && !port.open) {
                    Opened(p, now);
                }
            } else {
                port.opens = std::max(0, port.opens - 1);
                if (port.opens == 0 && port.open) {
                    Closed(p, now);
                }
            }
        }
    }
}

void Simulator::Impl::ReadMaster(int p, TimePoint now) {
    Port& port = m_ports[p];
    char buf[1024];
    for (;;) {
        ssize_t n = read(port.master, buf, sizeof buf);
        if (n > 0) {
            int unit = UnitOfPort(p);
            std::string why;
            if (!m_engine->Powered(unit)) {
                TraceBytes(unit, "unheard", std::string_view(buf, n), "unit has no power");
                continue;
            }
            if (m_opt.checkLineSettings && !LineHeard(p, unit, &why)) {
                TraceBytes(unit, "unheard", std::string_view(buf, n), why);
                continue;
            }
            TraceBytes(unit, "in", std::string_view(buf, n));
            m_engine->Feed(unit, std::string_view(buf, n), now);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno == EAGAIN) {
            return;
        }
        // EIO: nobody holds the slave any more.
        if (port.open) {
            port.opens = 0;
            Closed(p, now);
        }
        return;
    }
}

void Simulator::Impl::Opened(int p, TimePoint) {
    Port& port = m_ports[p];
    port.open = true;
    port.unwritten.clear();
    if (m_opt.onePort && m_next != m_attached) {
        m_attached = m_next;
        TraceEvent(m_attached, "attached");
    }
    TraceEvent(UnitOfPort(p), "port opened");
}

void Simulator::Impl::Closed(int p, TimePoint now) {
    Port& port = m_ports[p];
    port.open = false;
    // What the computer wrote just before closing is still readable and the unit heard it, but
    // once the slave is open again the bytes may be the next session's, which go to the unit
    // attached at that open.
    pollfd pfd{port.master, POLLIN, 0};
    bool hungUp = poll(&pfd, 1, 0) > 0 && (pfd.revents & POLLHUP);
    char buf[1024];
    while (hungUp) {
        ssize_t n = read(port.master, buf, sizeof buf);
        if (n > 0) {
            int unit = UnitOfPort(p);
            std::string why;
            if (m_opt.checkLineSettings && !LineHeard(p, unit, &why)) {
                TraceBytes(unit, "unheard", std::string_view(buf, n), why);
            } else {
                TraceBytes(unit, "in", std::string_view(buf, n));
                m_engine->Feed(unit, std::string_view(buf, n), now);
            }
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        break;
    }
    port.unwritten.clear();
    port.nextHangupCheck = now + kHangupRecheck;
    if (m_opt.onePort && m_next != m_attached) {
        m_attached = m_next;
        TraceEvent(m_attached, "attached");
    }
    TraceEvent(UnitOfPort(p), "port closed");
}

int Simulator::Impl::PortOfUnit(int unit) const {
    if (m_opt.onePort) {
        return unit == m_attached ? 0 : -1;
    }
    return unit - 1;
}

bool Simulator::Impl::LineHeard(int p, int unit, std::string* why) const {
    termios tio{};
    if (tcgetattr(m_ports[p].master, &tio) != 0) {
        return true;
    }
    // A pseudo-terminal keeps 8 data bits and no parity, so only baud and stop bits can differ.
    int baud = BaudOfSpeedCode(cfgetospeed(&tio));
    int stopBits = (tio.c_cflag & CSTOPB) ? 2 : 1;
    const UartSetting& uart = m_engine->ActiveUart(unit);
    if (baud == uart.baud && stopBits == uart.stopBits) {
        return true;
    }
    *why = "line " + std::to_string(baud) + "/" + std::to_string(stopBits) + ", unit listens at " +
           std::to_string(uart.baud) + "/" + std::to_string(uart.stopBits);
    return false;
}

void Simulator::Impl::Deliver(int unit, std::string_view bytes) {
    int p = PortOfUnit(unit);
    if (p < 0 || !m_ports[p].open) {
        TraceBytes(unit, "lost", bytes,
                   p < 0 ? "unit not attached"
                         : (m_ports[p].master < 0 ? "port unplugged" : "port closed"));
        return;
    }
    std::string why;
    if (m_opt.checkLineSettings && !LineHeard(p, unit, &why)) {
        TraceBytes(unit, "lost", bytes, why);
        return;
    }
    Port& port = m_ports[p];
    // A close not yet seen: bytes written now would wait in the pty for the next opener.
    pollfd pfd{port.master, POLLOUT, 0};
    if (poll(&pfd, 1, 0) > 0 && (pfd.revents & POLLHUP)) {
        TraceBytes(unit, "lost", bytes, "port closed");
        return;
    }
    if (port.unwritten.size() + bytes.size() > kMaxUnwritten) {
        TraceBytes(unit, "lost", bytes, "computer not reading");
        return;
    }
    TraceBytes(unit, "out", bytes);
    port.unwritten.append(bytes);
    Flush(p);
}

void Simulator::Impl::Flush(int p) {
    Port& port = m_ports[p];
    while (!port.unwritten.empty()) {
        ssize_t n = write(port.master, port.unwritten.data(), port.unwritten.size());
        if (n > 0) {
            port.unwritten.erase(0, static_cast<size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno != EAGAIN) {
            port.unwritten.clear();
        }
        return;
    }
}

void Simulator::Impl::SetNext(int unit, const char* why) {
    m_next = unit;
    TraceEvent(unit, std::string("next open finds this unit (") + why + ")");
    if (!m_ports[0].open) {
        m_attached = unit;
    }
}

void Simulator::Impl::OnEngineEvent(int unit, EngineEvent e) {
    TraceEvent(unit, EventName(e));
    if (!m_opt.follow) {
        return;
    }
    if (unit == 1 && e == EngineEvent::ScanAccepted) {
        SetNext(2, "follow: unit 1 scans");
    } else if (unit == 2 && e == EngineEvent::UartStored) {
        SetNext(1, "follow: unit 2 stored its settings");
    }
}

Simulator::Simulator(SimOptions options) : m_impl(std::make_unique<Impl>(std::move(options))) {}
Simulator::~Simulator() = default;
bool Simulator::Start(std::string* error) {
    return m_impl->Start(error);
}
void Simulator::Stop() {
    m_impl->Stop();
}
std::string Simulator::DevicePath(int unit) const {
    return m_impl->DevicePath(unit);
}
std::string Simulator::LinkPath(int unit) const {
    return m_impl->LinkPath(unit);
}
bool Simulator::Unplug(int unit) {
    return m_impl->Unplug(unit);
}
bool Simulator::Replug(int unit) {
    return m_impl->Replug(unit);
}
bool Simulator::SetPower(int unit, bool on) {
    return m_impl->SetPower(unit, on);
}
void Simulator::Attach(int unit) {
    m_impl->Attach(unit);
}
int Simulator::Attached() const {
    return m_impl->Attached();
}
int Simulator::NextAttached() const {
    return m_impl->NextAttached();
}
bool Simulator::PortOpen(int unit) const {
    return m_impl->PortOpen(unit);
}
Verdict Simulator::GetVerdict() const {
    return m_impl->GetVerdict();
}
void Simulator::PowerCycle() {
    m_impl->PowerCycle();
}
UnitSnapshot Simulator::Snapshot(int unit) const {
    return m_impl->Snapshot(unit);
}
const SimOptions& Simulator::Options() const {
    return m_impl->Options();
}

} // namespace norva::sim
