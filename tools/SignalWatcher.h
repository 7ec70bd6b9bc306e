#pragma once
// Hands the termination signals (Linux: SIGINT, SIGTERM, SIGHUP, blocked in
// every thread and read by a watcher thread; Windows: Ctrl-C, Ctrl-Break and
// the console's close, through the console control handler) to code that
// aborts the job under way (first signal) or stops the worker (second).

#include "platform/Event.h"

#include <atomic>
#include <memory>
#include <string>
#include <thread>

namespace norva {
class CModuleControl;
}

namespace norva::tools {

// The signal numbers as Linux has them; Windows console events count as one
// of them, so that exit statuses and texts are the same on both.
inline constexpr int kSigHup = 1, kSigInt = 2, kSigTerm = 15;

class SignalWatcher {
public:
    // Must be constructed before any other thread starts, so that they all
    // inherit the blocked mask.
    SignalWatcher();
    ~SignalWatcher();
    SignalWatcher(const SignalWatcher&) = delete;
    SignalWatcher& operator=(const SignalWatcher&) = delete;

    // `module` may be null: a command without a controller watches Signalled().
    void Start(CModuleControl* module);
    void Stop();

    int Count() const { return m_count.load(); }
    // 128 + the first signal's number, as a shell reports a death by it.
    int ExitCode() const;
    // "interrupted", "terminated" or "hung up".
    std::string Describe() const;
    // Auto-reset: set on every signal.
    Event* Notice() { return &m_notice; }
    // Manual reset: set from the first signal on.
    Event* Signalled() { return &m_signalled; }

private:
    friend struct ConsoleSignals; // Windows: the console control handler

    void Run(CModuleControl* module);
    // What every signal does, whichever way it arrived.
    void Deliver(int signo, CModuleControl* module);

    struct Source; // where the signals arrive (Linux: a signalfd)
    std::unique_ptr<Source> m_source;
    Event m_quit{Event::Mode::Manual};
    Event m_notice{Event::Mode::Auto};
    Event m_signalled{Event::Mode::Manual};
    std::atomic<int> m_count{0};
    std::atomic<int> m_first{0};
    std::thread m_thread;
};

} // namespace norva::tools
