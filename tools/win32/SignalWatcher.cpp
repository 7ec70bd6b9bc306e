#include "tools/SignalWatcher.h"

#include <windows.h>

namespace norva::tools {

// Windows calls the console control handler on a thread of its own, so the
// handler does what the Linux watcher thread does.
struct ConsoleSignals {
    static inline std::atomic<SignalWatcher*> watcher{nullptr};
    static inline std::atomic<CModuleControl*> module{nullptr};
    static inline std::atomic<bool> stopped{false};
    static constexpr int kCloseGraceMs = 4500;
    static constexpr int kPollMs = 50;

    static BOOL WINAPI Handler(DWORD type) {
        SignalWatcher* w = watcher.load();
        if (w == nullptr) {
            return FALSE;
        }
        // After Stop a signal is swallowed, as a blocked one is on Linux.
        if (stopped.load()) {
            return TRUE;
        }
        const bool interrupt = type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT;
        w->Deliver(interrupt ? kSigInt : kSigHup, module.load());
        if (!interrupt) {
            // Windows ends the process as soon as this returns (and after
            // 5 s at the latest): give the run time to abort the module's
            // command and close the port first.
            for (int waited = 0; waited < kCloseGraceMs && !stopped.load(); waited += kPollMs) {
                Sleep(kPollMs);
            }
        }
        return TRUE;
    }
};

struct SignalWatcher::Source {};

SignalWatcher::SignalWatcher() : m_source(std::make_unique<Source>()) {
    ConsoleSignals::stopped.store(false);
    ConsoleSignals::watcher.store(this);
    SetConsoleCtrlHandler(&ConsoleSignals::Handler, TRUE);
}

SignalWatcher::~SignalWatcher() {
    Stop();
    SetConsoleCtrlHandler(&ConsoleSignals::Handler, FALSE);
    ConsoleSignals::watcher.store(nullptr);
}

void SignalWatcher::Start(CModuleControl* module) {
    ConsoleSignals::module.store(module);
}

void SignalWatcher::Stop() {
    ConsoleSignals::stopped.store(true);
    ConsoleSignals::module.store(nullptr);
}

void SignalWatcher::Run(CModuleControl* /*module*/) {}

} // namespace norva::tools
