#include "sim/ChildProcess.h"

#include <csignal>
#include <cstring>
#include <string_view>
#include <system_error>

#include <spawn.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace norva::sim {

// Signals are read from a descriptor in the main loop, never caught by a handler: a handler
// runs on whichever thread the signal lands on, and a runtime that defers handlers to the
// thread's next library call (ThreadSanitizer does) never runs it on a simulator thread asleep
// in poll, so a child's exit could go unnoticed for ever. Blocked before any thread starts, the
// signals stay blocked in every thread the simulator makes.
int BlockSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGCHLD}) {
        sigaddset(&set, sig);
    }
    if (pthread_sigmask(SIG_BLOCK, &set, nullptr) != 0) {
        return -1;
    }
    return signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
}

// Everything the child needs is made here: between fork and exec a child of a threaded process
// may only make async-signal-safe calls, and posix_spawn makes none of ours.
pid_t StartChild(const std::vector<std::string>& command,
                 const std::vector<std::string>& assignments, std::string* error) {
    std::vector<std::string> vars;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string_view var(*e);
        const std::string_view name = var.substr(0, var.find('='));
        bool replaced = false;
        for (const std::string& a : assignments) {
            replaced = replaced || a.compare(0, a.find('='), name) == 0;
        }
        if (!replaced) {
            vars.emplace_back(var);
        }
    }
    vars.insert(vars.end(), assignments.begin(), assignments.end());
    std::vector<char*> envp;
    envp.reserve(vars.size() + 1);
    for (std::string& v : vars) {
        envp.push_back(v.data());
    }
    envp.push_back(nullptr);
    std::vector<std::string> args = command;
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);

    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int sig : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGCHLD}) {
        sigaddset(&defaults, sig);
    }
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, argv[0], nullptr, &attr, argv.data(), envp.data());
    posix_spawnattr_destroy(&attr);
    if (rc != 0) {
        *error = std::error_code(rc, std::generic_category()).message();
        return -1;
    }
    return pid;
}
} // namespace norva::sim
