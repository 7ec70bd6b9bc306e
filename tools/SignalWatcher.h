#pragma once
// Blocks the termination signals in every thread and hands them to a watcher
// that aborts the job under way (first signal) or stops the worker (second).

#include "platform/Event.h"

#include <atomic>
#include <string>
#include <thread>

namespace norva {
class CModuleControl;
}

namespace norva::tools {

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
    void Run(CModuleControl* module);

    int m_fd = -1;
    Event m_quit{Event::Mode::Manual};
    Event m_notice{Event::Mode::Auto};
    Event m_signalled{Event::Mode::Manual};
    std::atomic<int> m_count{0};
    std::atomic<int> m_first{0};
    std::thread m_thread;
};

} // namespace norva::tools
