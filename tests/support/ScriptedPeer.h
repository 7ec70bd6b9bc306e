#pragma once
// The module's end of a real pseudo-terminal. The code under test opens
// Path(); the peer writes scripted byte chunks with exact gaps, records what
// it receives, and answers received command lines (ending with CR) with
// scripted replies. Its own slave descriptor stays open so that the pty
// survives the port's closes and reopens.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace norva::test {

struct Chunk {
    Chunk() = default;
    Chunk(std::string b, int gap = 0, std::function<bool()> condition = {}) // NOLINT
        : bytes(std::move(b)), gapMs(gap), when(std::move(condition)) {}
    Chunk(const char* b, int gap = 0, std::function<bool()> condition = {}) // NOLINT
        : Chunk(std::string(b), gap, std::move(condition)) {}

    std::string bytes;
    // Pause before this chunk is written.
    int gapMs = 0;
    // If set, the chunk is written only once this holds (polled every
    // millisecond, given up after 10 s): lets a test pin chunk boundaries to
    // what the code under test has consumed.
    std::function<bool()> when;
};

struct ReceivedCommand {
    std::string text; // including its CR
    std::chrono::steady_clock::time_point at;
};

class ScriptedPeer {
public:
    ScriptedPeer();
    ~ScriptedPeer();
    ScriptedPeer(const ScriptedPeer&) = delete;
    ScriptedPeer& operator=(const ScriptedPeer&) = delete;

    bool Ok() const { return m_master >= 0; }
    const std::string& Path() const { return m_path; }
    int MasterFd() const { return m_master; }

    // Queues chunks; one writer thread writes everything queued in order.
    void Play(std::vector<Chunk> chunks);
    void Send(const std::string& bytes) { Play({Chunk(bytes)}); }
    // True once everything queued so far has been written.
    bool WaitWritten(int timeoutMs) const;
    // True once everything queued has been written and the other side has
    // read it all from the pty.
    bool WaitDrained(int timeoutMs) const;

    // The first rule whose command equals a received command line and that
    // has uses left plays its reply. times < 0: no limit.
    void Answer(const std::string& command, std::vector<Chunk> reply, int times = 1);
    // Asked for every command line that no rule takes.
    void SetResponder(std::function<std::vector<Chunk>(const std::string& command)> responder);
    void ClearRules();

    std::string Received() const;
    std::vector<std::string> Commands() const;
    std::vector<ReceivedCommand> CommandLog() const;
    bool WaitForCommands(size_t count, int timeoutMs) const;
    bool WaitForReceived(const std::string& needle, int timeoutMs) const;
    void ClearReceived();
    // Bytes written to the master so far.
    size_t WrittenBytes() const { return m_written.load(); }

    // Closes the master: the other side sees the line hang up.
    void CloseMaster();

private:
    struct Rule {
        std::string command;
        std::vector<Chunk> reply;
        int timesLeft;
    };

    void ReaderLoop();
    void WriterLoop();
    void OnCommand(const std::string& command);
    bool Pause(int ms);
    bool WriteAll(const std::string& bytes);

    int m_master = -1;
    int m_closedMaster = -1; // closed by the reader, which may be polling it
    int m_slave = -1;
    int m_wake[2] = {-1, -1}; // wakes the reader on shutdown
    std::string m_path;

    mutable std::mutex m_lock;
    mutable std::condition_variable m_changed;
    bool m_stopping = false;
    std::deque<Chunk> m_queue;
    bool m_writing = false;
    std::vector<Rule> m_rules;
    std::function<std::vector<Chunk>(const std::string&)> m_responder;
    std::string m_received;
    std::string m_partial;
    std::vector<ReceivedCommand> m_commands;
    std::atomic<size_t> m_written{0};

    std::thread m_reader;
    std::thread m_writer;
};

} // namespace norva::test
