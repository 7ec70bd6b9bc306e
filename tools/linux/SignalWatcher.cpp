#include "tools/SignalWatcher.h"

#include "platform/posix/FdWait.h"

#include <array>
#include <csignal>
#include <poll.h>
#include <pthread.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace norva::tools {

static_assert(kSigHup == SIGHUP && kSigInt == SIGINT && kSigTerm == SIGTERM);

namespace {

sigset_t TerminationSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

} // namespace

struct SignalWatcher::Source {
    int fd = -1;
};

SignalWatcher::SignalWatcher() : m_source(std::make_unique<Source>()) {
    const sigset_t set = TerminationSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    m_source->fd = signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
    if (m_source->fd < 0) {
        // Without the watcher, Ctrl-C at least still ends the program.
        pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    }
}

SignalWatcher::~SignalWatcher() {
    Stop();
    if (m_source->fd >= 0) {
        close(m_source->fd);
    }
}

void SignalWatcher::Start(CModuleControl* module) {
    if (m_source->fd < 0 || m_thread.joinable()) {
        return;
    }
    m_thread = std::thread([this, module] { Run(module); });
}

void SignalWatcher::Stop() {
    m_quit.Set();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void SignalWatcher::Run(CModuleControl* module) {
    std::array<Event*, 1> events{&m_quit};
    WaitFd extra{m_source->fd, POLLIN, 0};
    for (;;) {
        const int r = WaitAnyOrFd(events, -1, &extra);
        if (r == 0 || r == kWaitFailed) {
            return;
        }
        signalfd_siginfo info{};
        while (read(m_source->fd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
            Deliver(static_cast<int>(info.ssi_signo), module);
        }
    }
}

} // namespace norva::tools
