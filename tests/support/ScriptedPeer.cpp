#include "support/ScriptedPeer.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace norva::test {

namespace {
using Clock = std::chrono::steady_clock;
constexpr int kWhenGiveUpMs = 10000;
} // namespace

ScriptedPeer::ScriptedPeer() {
    char name[128] = {};
    if (openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) {
        m_master = m_slave = -1;
        return;
    }
    m_path = name;
    // Raw from the start: nothing the peer writes may be echoed or cooked
    // before the port under test sets its own line settings.
    termios raw{};
    if (tcgetattr(m_slave, &raw) == 0) {
        cfmakeraw(&raw);
        tcsetattr(m_slave, TCSANOW, &raw);
    }
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    fcntl(m_master, F_SETFD, FD_CLOEXEC);
    fcntl(m_slave, F_SETFD, FD_CLOEXEC);
    if (pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        m_wake[0] = m_wake[1] = -1;
    }
    m_reader = std::thread(&ScriptedPeer::ReaderLoop, this);
    m_writer = std::thread(&ScriptedPeer::WriterLoop, this);
}

ScriptedPeer::~ScriptedPeer() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_stopping = true;
    }
    m_changed.notify_all();
    if (m_wake[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] ssize_t n = write(m_wake[1], &byte, 1);
    }
    if (m_reader.joinable()) {
        m_reader.join();
    }
    if (m_writer.joinable()) {
        m_writer.join();
    }
    for (int fd : {m_master, m_closedMaster, m_slave, m_wake[0], m_wake[1]}) {
        if (fd >= 0) {
            close(fd);
        }
    }
}

void ScriptedPeer::CloseMaster() {
    std::unique_lock<std::mutex> lock(m_lock);
    if (m_master < 0) {
        return;
    }
    // The reader may be polling the master: it closes it itself, woken
    // through the pipe, so that it never polls a reused descriptor number.
    m_closedMaster = m_master;
    m_master = -1;
    const char byte = 2;
    if (m_wake[1] < 0 || write(m_wake[1], &byte, 1) != 1) {
        return; // closed in the destructor
    }
    m_changed.wait_for(lock, std::chrono::seconds(5), [&] { return m_closedMaster < 0; });
}

void ScriptedPeer::Play(std::vector<Chunk> chunks) {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        for (Chunk& c : chunks) {
            m_queue.push_back(std::move(c));
        }
    }
    m_changed.notify_all();
}

bool ScriptedPeer::WaitWritten(int timeoutMs) const {
    std::unique_lock<std::mutex> lock(m_lock);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [&] { return m_queue.empty() && !m_writing; });
}

bool ScriptedPeer::WaitDrained(int timeoutMs) const {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    if (!WaitWritten(timeoutMs)) {
        return false;
    }
    for (;;) {
        int pending = 0;
        if (ioctl(m_slave, FIONREAD, &pending) != 0 || pending == 0) {
            return true;
        }
        if (Clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void ScriptedPeer::Answer(const std::string& command, std::vector<Chunk> reply, int times) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_rules.push_back({command, std::move(reply), times});
}

void ScriptedPeer::SetResponder(
    std::function<std::vector<Chunk>(const std::string& command)> responder) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_responder = std::move(responder);
}

void ScriptedPeer::ClearRules() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_rules.clear();
    m_responder = nullptr;
}

std::string ScriptedPeer::Received() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_received;
}

std::vector<std::string> ScriptedPeer::Commands() const {
    std::lock_guard<std::mutex> lock(m_lock);
    std::vector<std::string> texts;
    for (const ReceivedCommand& c : m_commands) {
        texts.push_back(c.text);
    }
    return texts;
}

std::vector<ReceivedCommand> ScriptedPeer::CommandLog() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_commands;
}

bool ScriptedPeer::WaitForCommands(size_t count, int timeoutMs) const {
    std::unique_lock<std::mutex> lock(m_lock);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [&] { return m_commands.size() >= count; });
}

bool ScriptedPeer::WaitForReceived(const std::string& needle, int timeoutMs) const {
    std::unique_lock<std::mutex> lock(m_lock);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [&] { return m_received.find(needle) != std::string::npos; });
}

void ScriptedPeer::ClearReceived() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_received.clear();
    m_partial.clear();
    m_commands.clear();
}

void ScriptedPeer::ReaderLoop() {
    int master = -1;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        master = m_master;
    }
    char buf[512];
    for (;;) {
        pollfd fds[2] = {{m_wake[0], POLLIN, 0}, {master, POLLIN, 0}};
        const int r = poll(fds, master >= 0 ? 2 : 1, -1);
        if (r < 0 && errno == EINTR) {
            continue;
        }
        if (r < 0) {
            return;
        }
        if ((fds[0].revents & POLLIN) != 0) {
            char byte = 0;
            while (read(m_wake[0], &byte, 1) == 1) {
                if (byte == 1) {
                    return;
                }
                master = -1; // the master was closed: only the wake pipe is left
            }
            {
                std::lock_guard<std::mutex> lock(m_lock);
                if (m_closedMaster >= 0) {
                    close(m_closedMaster);
                    m_closedMaster = -1;
                }
            }
            m_changed.notify_all();
            continue;
        }
        if (master < 0 || fds[1].revents == 0) {
            continue;
        }
        const ssize_t n = read(master, buf, sizeof buf);
        if (n <= 0) {
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
                continue;
            }
            // EIO: no slave is open right now; poll would report it again at
            // once, so back off instead of spinning.
            pollfd wake{m_wake[0], POLLIN, 0};
            poll(&wake, 1, 5);
            continue;
        }
        std::vector<std::string> lines;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_received.append(buf, static_cast<size_t>(n));
            for (ssize_t i = 0; i < n; ++i) {
                m_partial.push_back(buf[i]);
                if (buf[i] == '\r') {
                    lines.push_back(m_partial);
                    m_commands.push_back({m_partial, Clock::now()});
                    m_partial.clear();
                }
            }
        }
        m_changed.notify_all();
        for (const std::string& line : lines) {
            OnCommand(line);
        }
    }
}

void ScriptedPeer::OnCommand(const std::string& command) {
    std::vector<Chunk> reply;
    std::function<std::vector<Chunk>(const std::string&)> responder;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        bool matched = false;
        for (Rule& rule : m_rules) {
            if (rule.timesLeft != 0 && rule.command == command) {
                if (rule.timesLeft > 0) {
                    --rule.timesLeft;
                }
                reply = rule.reply;
                matched = true;
                break;
            }
        }
        if (!matched) {
            responder = m_responder;
        }
    }
    if (responder) {
        reply = responder(command);
    }
    if (!reply.empty()) {
        Play(std::move(reply));
    }
}

bool ScriptedPeer::Pause(int ms) {
    std::unique_lock<std::mutex> lock(m_lock);
    return !m_changed.wait_for(lock, std::chrono::milliseconds(ms), [&] { return m_stopping; });
}

bool ScriptedPeer::WriteAll(const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        int master;
        ssize_t n;
        {
            // Under the lock so that CloseMaster cannot close it meanwhile.
            std::lock_guard<std::mutex> lock(m_lock);
            if (m_stopping || m_master < 0) {
                return false;
            }
            master = m_master;
            n = write(master, bytes.data() + done, bytes.size() - done);
        }
        if (n > 0) {
            done += static_cast<size_t>(n);
            m_written.fetch_add(static_cast<size_t>(n));
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        }
        pollfd p{master, POLLOUT, 0};
        poll(&p, 1, 10);
    }
    return true;
}

void ScriptedPeer::WriterLoop() {
    for (;;) {
        Chunk chunk;
        {
            std::unique_lock<std::mutex> lock(m_lock);
            m_writing = false;
            m_changed.notify_all();
            m_changed.wait(lock, [&] { return m_stopping || !m_queue.empty(); });
            if (m_stopping) {
                return;
            }
            chunk = std::move(m_queue.front());
            m_queue.pop_front();
            m_writing = true;
        }
        if (chunk.gapMs > 0 && !Pause(chunk.gapMs)) {
            return;
        }
        if (chunk.when) {
            const auto giveUp = Clock::now() + std::chrono::milliseconds(kWhenGiveUpMs);
            while (!chunk.when() && Clock::now() < giveUp) {
                if (!Pause(1)) {
                    return;
                }
            }
        }
        if (!chunk.bytes.empty()) {
            WriteAll(chunk.bytes);
        }
    }
}

} // namespace norva::test
