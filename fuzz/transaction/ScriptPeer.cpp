#include "ScriptPeer.h"

#include "CompressedClock.h"
#include "module/ModuleControl.h"
#include "module/Protocol.h"

#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

namespace norva::fuzz {
namespace {

constexpr int64_t kNsPerMs = 1000000;
// Bytes written before the hang-up must reach the controller's reader, or
// the hang-up would flush them: bounded in case the reader has stopped or
// dropped them.
constexpr int64_t kDrainLimitNs = 200 * kNsPerMs;

int64_t CompressedToRealNs(int ms) {
    return static_cast<int64_t>(ms) * kNsPerMs / kTimeDivisor;
}

// The interposed poll() is scaled; the peer's own waits are in real time.
int RealPoll(pollfd* fds, nfds_t count, int64_t timeoutNs) {
    if (timeoutNs < 0) {
        timeoutNs = 0;
    }
    const timespec t{static_cast<time_t>(timeoutNs / 1000000000),
                     static_cast<long>(timeoutNs % 1000000000)};
    return ppoll(fds, count, &t, nullptr);
}

} // namespace

ScriptPeer::ScriptPeer(const Script& script, CModuleControl& module)
    : m_script(script), m_module(module) {
    char name[128] = {};
    if (openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) {
        m_master = m_slave = -1;
        return;
    }
    m_path = name;
    termios raw{};
    if (tcgetattr(m_slave, &raw) == 0) {
        cfmakeraw(&raw);
        tcsetattr(m_slave, TCSANOW, &raw);
    }
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    fcntl(m_master, F_SETFD, FD_CLOEXEC);
    fcntl(m_slave, F_SETFD, FD_CLOEXEC);
    m_done = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

ScriptPeer::~ScriptPeer() {
    Finish();
    m_module.SetTranscript(nullptr);
    for (int fd : {m_master, m_slave, m_done}) {
        if (fd >= 0) {
            close(fd);
        }
    }
}

void ScriptPeer::Start() {
    m_module.SetTranscript(&m_counter);
    m_thread = std::thread(&ScriptPeer::Run, this);
}

void ScriptPeer::Finish() {
    if (m_thread.joinable()) {
        const uint64_t one = 1;
        [[maybe_unused]] ssize_t n = write(m_done, &one, sizeof one);
        m_thread.join();
    }
}

void ScriptPeer::Run() {
    const std::vector<Segment>& segments = m_script.segments;
    for (;;) {
        if (m_answered < m_commands.size() && m_answered < segments.size()) {
            if (!Play(segments[m_answered++])) {
                return;
            }
            continue;
        }
        if (m_answered >= segments.size()) {
            HangUp();
            return;
        }
        bool idle = false;
        if (!WaitInput(RealNowNs() + CompressedToRealNs(kIdleHangUpMs), &idle)) {
            if (idle) {
                HangUp();
            }
            return;
        }
    }
}

bool ScriptPeer::WaitInput(int64_t untilNs, bool* idle) {
    for (;;) {
        pollfd p[2] = {{m_master, POLLIN, 0}, {m_done, POLLIN, 0}};
        const int64_t left = untilNs - RealNowNs();
        if (left <= 0) {
            *idle = true;
            return false;
        }
        const int r = RealPoll(p, 2, left);
        if (r < 0 && errno != EINTR) {
            return false;
        }
        if ((p[1].revents & POLLIN) != 0) {
            return false;
        }
        if ((p[0].revents & POLLIN) == 0) {
            continue;
        }
        char buf[256];
        const ssize_t n = read(m_master, buf, sizeof buf);
        if (n <= 0) {
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
                continue;
            }
            return false;
        }
        for (ssize_t i = 0; i < n; ++i) {
            m_partial.push_back(buf[i]);
            if (buf[i] == '\r') {
                m_commands.push_back(std::move(m_partial));
                m_partial.clear();
            }
        }
        return true;
    }
}

bool ScriptPeer::Play(const Segment& segment) {
    for (const Step& step : segment) {
        switch (step.kind) {
        case Step::Kind::Bytes:
            if (!WriteAll(step.bytes)) {
                return false;
            }
            break;
        case Step::Kind::Gap: {
            // Commands that come in during the gap are answered in turn.
            const int64_t until = RealNowNs() + CompressedToRealNs(step.gapMs);
            bool idle = false;
            while (RealNowNs() < until) {
                if (!WaitInput(until, &idle) && !idle) {
                    return false;
                }
            }
            break;
        }
        case Step::Kind::HangUp:
            HangUp();
            return false;
        case Step::Kind::Abort:
            m_abortSent.store(true);
            m_module.Abort();
            break;
        }
    }
    return true;
}

bool ScriptPeer::WriteAll(const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(m_master, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            m_written += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        }
        pollfd p[2] = {{m_master, POLLOUT, 0}, {m_done, POLLIN, 0}};
        RealPoll(p, 2, 100 * kNsPerMs);
        if ((p[1].revents & POLLIN) != 0) {
            return false;
        }
    }
    return true;
}

void ScriptPeer::HangUp() {
    const int64_t until = RealNowNs() + kDrainLimitNs;
    // The pty's own queue empties before its reader has the bytes, so the
    // reader's count is what tells.
    while (m_counter.received.load() < m_written && RealNowNs() < until) {
        pollfd p{m_done, POLLIN, 0};
        if (RealPoll(&p, 1, 20000) > 0) {
            break;
        }
    }
    m_hungUp.store(true);
    close(m_master);
    m_master = -1;
}

} // namespace norva::fuzz
