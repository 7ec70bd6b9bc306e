#include "tools/SignalWatcher.h"

#include "module/ModuleControl.h"

#include <cstdio>

namespace norva::tools {

int SignalWatcher::ExitCode() const {
    const int sig = m_first.load();
    return 128 + (sig == 0 ? kSigInt : sig);
}

std::string SignalWatcher::Describe() const {
    switch (m_first.load()) {
    case kSigTerm:
        return "terminated";
    case kSigHup:
        return "hung up";
    default:
        return "interrupted";
    }
}

void SignalWatcher::Deliver(int signo, CModuleControl* module) {
    int expected = 0;
    m_first.compare_exchange_strong(expected, signo);
    const int n = ++m_count;
    // Direct transactions run on the main thread, so the abort has to be
    // sent from here.
    if (module != nullptr) {
        n == 1 ? module->Abort() : module->Stop();
        std::fprintf(stderr, n == 1 ? "norvactl: interrupted, aborting the module "
                                      "command (again to stop at once)\n"
                                    : "norvactl: stopping\n");
    }
    m_signalled.Set();
    m_notice.Set();
}

} // namespace norva::tools
