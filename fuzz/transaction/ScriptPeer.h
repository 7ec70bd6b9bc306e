#pragma once
// The module's end of a fresh pseudo-terminal for one fuzz input. A thread
// reads the command lines the controller writes and answers the n-th with
// the script's n-th segment (bytes, gaps, an abort, the hang-up). Once the
// script is played, or the line has been idle past every step's time-out,
// it hangs up, so that no wait of the controller lasts beyond its time-outs.

#include "Script.h"
#include "serial/Transcript.h"

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace norva {
class CModuleControl;
}

namespace norva::fuzz {

// Longer than any fixed step (scan confirmation 3 s) plus its pauses.
inline constexpr int kIdleHangUpMs = 4000;

// Counts the bytes the controller's reader has taken off the line.
class ReceivedCounter : public ITranscript {
public:
    void OnOpen(const std::string&, const std::string&) override {}
    void OnOpenFailed(const std::string&, const std::string&) override {}
    void OnClose(const std::string&) override {}
    void OnHangUp(const std::string&) override {}
    void OnSent(const uint8_t*, size_t) override {}
    void OnReceived(const uint8_t*, size_t length) override { received.fetch_add(length); }
    std::atomic<size_t> received{0};
};

class ScriptPeer {
public:
    ScriptPeer(const Script& script, CModuleControl& module);
    ~ScriptPeer();
    ScriptPeer(const ScriptPeer&) = delete;
    ScriptPeer& operator=(const ScriptPeer&) = delete;

    bool Ok() const { return m_master >= 0 && m_done >= 0; }
    const std::string& Path() const { return m_path; }
    // Starts answering; the controller's port must be open on Path().
    void Start();
    // Ends the peer where it stands (no hang-up) and joins it.
    void Finish();

    // True from just before the master closes.
    bool HungUp() const { return m_hungUp.load(); }
    bool AbortSent() const { return m_abortSent.load(); }
    // Complete command lines received (valid after Finish).
    const std::vector<std::string>& Commands() const { return m_commands; }

private:
    void Run();
    // false: Finish was called, or the line is gone.
    bool WaitInput(int64_t untilNs, bool* idle);
    bool Play(const Segment& segment);
    bool WriteAll(const std::string& bytes);
    void HangUp();

    const Script& m_script;
    CModuleControl& m_module;
    int m_master = -1;
    int m_slave = -1;
    int m_done = -1; // eventfd: Finish
    std::string m_path;
    std::thread m_thread;
    ReceivedCounter m_counter;
    size_t m_written = 0;
    std::atomic<bool> m_hungUp{false};
    std::atomic<bool> m_abortSent{false};
    std::string m_partial;
    std::vector<std::string> m_commands;
    size_t m_answered = 0;
};

} // namespace norva::fuzz
