// norva-sim: runs the simulated module pairs until stopped, or around one command.
#include "sim/CommandLine.h"
#include "sim/Pairs.h"
#include "sim/Simulator.h"

#include "NorvaVersion.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace norva::sim;

namespace {

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

bool SocketAddress(const std::string& path, sockaddr_un* addr, std::string* error) {
    *addr = {};
    addr->sun_family = AF_UNIX;
    if (path.size() >= sizeof addr->sun_path) {
        *error = "control socket path too long: " + path;
        return false;
    }
    std::memcpy(addr->sun_path, path.c_str(), path.size() + 1);
    return true;
}

bool WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

void PrintAnswer(const std::string& answer) {
    size_t nl = answer.find('\n');
    std::string status = answer.substr(0, nl);
    std::string body = nl == std::string::npos ? "" : answer.substr(nl + 1);
    if (status.compare(0, 6, "error:") == 0) {
        std::fprintf(stderr, "norva-sim: %s\n", status.c_str() + 7);
    }
    std::fputs(body.c_str(), stdout);
    std::fflush(stdout);
}

int RunClient(const CommandLine& cl) {
    sockaddr_un addr;
    std::string error;
    if (!SocketAddress(cl.controlPath, &addr, &error)) {
        std::fprintf(stderr, "norva-sim: %s\n", error.c_str());
        return 2;
    }
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        std::fprintf(stderr, "norva-sim: cannot reach the simulator at %s: %s\n",
                     cl.controlPath.c_str(), std::strerror(errno));
        if (fd >= 0) {
            close(fd);
        }
        return 2;
    }
    WriteAll(fd, cl.request + "\n");
    shutdown(fd, SHUT_WR);
    std::string answer;
    char buf[4096];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        answer.append(buf, static_cast<size_t>(n));
    }
    close(fd);
    if (answer.empty()) {
        std::fprintf(stderr, "norva-sim: no answer from %s\n", cl.controlPath.c_str());
        return 2;
    }
    PrintAnswer(answer);
    return ExitStatusOfAnswer(answer);
}

// A request is one short line; a client that sends nothing must not hold up the simulator.
std::string ReadRequest(int fd) {
    timeval tv{2, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    std::string line;
    char c = 0;
    while (line.size() < 256) {
        ssize_t n = read(fd, &c, 1);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0 || c == '\n') {
            break;
        }
        line += c;
    }
    return line;
}

int ListenOn(const std::string& path, std::string* error) {
    sockaddr_un addr;
    if (!SocketAddress(path, &addr, error)) {
        return -1;
    }
    struct stat st;
    if (lstat(path.c_str(), &st) == 0) {
        if (!S_ISSOCK(st.st_mode)) {
            *error = path + " exists and is not a socket";
            return -1;
        }
        // A socket left by an earlier run that nobody answers on any more.
        int probe = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        bool alive =
            probe >= 0 && connect(probe, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
        if (probe >= 0) {
            close(probe);
        }
        if (alive) {
            *error = "another simulator answers on " + path;
            return -1;
        }
        unlink(path.c_str());
    }
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        listen(fd, 8) != 0) {
        *error = "cannot listen on " + path + ": " + std::strerror(errno);
        if (fd >= 0) {
            close(fd);
        }
        return -1;
    }
    return fd;
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
    for (std::string& v : vars) {
        envp.push_back(v.data());
    }
    envp.push_back(nullptr);
    std::vector<std::string> args = command;
    std::vector<char*> argv;
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
        *error = std::strerror(rc);
        return -1;
    }
    return pid;
}

// The "# ..." lines that name the units and their ports, as the pair's own simulator sees them.
void PrintUnits(const Simulator& sim, const SimOptions& options, const std::string& pair) {
    Verdict v = sim.GetVerdict();
    auto device = [&sim](int unit) {
        std::string link = sim.LinkPath(unit);
        return sim.DevicePath(unit) + (link.empty() ? "" : " (link " + link + ")");
    };
    auto power = [&options](int unit) {
        return options.unit[unit - 1].startOff ? ", switched off" : "";
    };
    if (options.onePort) {
        std::printf("# %sunits 1 %s (%s%s) and 2 %s (%s%s) share one port, unit 1 attached "
                    "first%s: %s\n",
                    pair.c_str(), v.unit[0].name.c_str(), v.unit[0].address.c_str(), power(1),
                    v.unit[1].name.c_str(), v.unit[1].address.c_str(), power(2),
                    options.follow ? " (follow mode)" : "", device(1).c_str());
    } else {
        for (int u = 1; u <= 2; ++u) {
            std::printf("# %sunit %d %s (%s%s): %s\n", pair.c_str(), u, v.unit[u - 1].name.c_str(),
                        v.unit[u - 1].address.c_str(), power(u), device(u).c_str());
        }
    }
}

int Run(const CommandLine& cl) {
    const int signals = BlockSignals();
    if (signals < 0) {
        std::perror("norva-sim: signalfd");
        return 1;
    }
    signal(SIGPIPE, SIG_IGN);

    std::vector<std::unique_ptr<Simulator>> owned;
    std::vector<Simulator*> pairs;
    std::string error;
    for (int p = 1; p <= cl.pairs; ++p) {
        owned.push_back(std::make_unique<Simulator>(PairOptions(cl.sim, p, cl.pairs)));
        pairs.push_back(owned.back().get());
        if (!pairs.back()->Start(&error)) {
            std::fprintf(stderr, "norva-sim: %s%s\n",
                         cl.pairs > 1 ? ("pair " + std::to_string(p) + ": ").c_str() : "",
                         error.c_str());
            return 1;
        }
    }
    int listenFd = -1;
    if (!cl.controlPath.empty()) {
        listenFd = ListenOn(cl.controlPath, &error);
        if (listenFd < 0) {
            std::fprintf(stderr, "norva-sim: %s\n", error.c_str());
            return 1;
        }
    }

    for (int p = 1; p <= cl.pairs; ++p) {
        const Simulator& sim = *pairs[p - 1];
        const std::string pair = cl.pairs > 1 ? "pair " + std::to_string(p) + ": " : "";
        PrintUnits(sim, cl.sim, pair);
    }
    std::vector<std::string> env = ComAssignments(pairs);
    for (const std::string& line : env) {
        std::printf("%s\n", line.c_str());
    }
    std::fflush(stdout);

    int exitStatus = 0;
    bool quit = false;
    pid_t child = -1;
    if (!cl.command.empty()) {
        child = StartChild(cl.command, env, &error);
        if (child < 0) {
            std::fprintf(stderr, "norva-sim: cannot run %s: %s\n", cl.command[0].c_str(),
                         error.c_str());
            exitStatus = 127;
            quit = true;
        }
    }
    bool readStdin = cl.command.empty();
    std::string stdinLine;
    while (!quit) {
        std::vector<pollfd> fds;
        fds.push_back({signals, POLLIN, 0});
        if (listenFd >= 0) {
            fds.push_back({listenFd, POLLIN, 0});
        }
        if (readStdin) {
            fds.push_back({STDIN_FILENO, POLLIN, 0});
        }
        if (poll(fds.data(), static_cast<nfds_t>(fds.size()), -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            std::perror("norva-sim: poll");
            exitStatus = 1;
            break;
        }
        if (fds[0].revents & POLLIN) {
            signalfd_siginfo info{};
            while (read(signals, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
                if (info.ssi_signo != SIGCHLD) {
                    quit = true;
                    exitStatus = 128 + static_cast<int>(info.ssi_signo);
                    continue;
                }
                // Exits of several children may come as one signal: ask for ours each time.
                int status = 0;
                if (child > 0 && waitpid(child, &status, WNOHANG) == child) {
                    child = -1;
                    exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                    quit = true;
                }
            }
        }
        for (size_t i = 1; i < fds.size(); ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP))) {
                continue;
            }
            if (fds[i].fd == listenFd) {
                int client = accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
                if (client >= 0) {
                    bool stop = false;
                    WriteAll(client, HandleControlRequest(pairs, ReadRequest(client), &stop));
                    close(client);
                    quit = quit || stop;
                }
            } else if (fds[i].fd == STDIN_FILENO) {
                char buf[512];
                ssize_t n = read(STDIN_FILENO, buf, sizeof buf);
                if (n <= 0) {
                    readStdin = false; // no console: run on until a signal or a quit request
                    continue;
                }
                stdinLine.append(buf, static_cast<size_t>(n));
                size_t nl;
                while ((nl = stdinLine.find('\n')) != std::string::npos) {
                    std::string request = stdinLine.substr(0, nl);
                    stdinLine.erase(0, nl + 1);
                    if (request.find_first_not_of(" \t\r") == std::string::npos) {
                        continue;
                    }
                    bool stop = false;
                    PrintAnswer(HandleControlRequest(pairs, request, &stop));
                    quit = quit || stop;
                }
            }
        }
    }
    if (child > 0) {
        kill(child, SIGTERM);
        int status = 0;
        waitpid(child, &status, 0);
    }
    if (listenFd >= 0) {
        close(listenFd);
        unlink(cl.controlPath.c_str());
    }
    bool ignored = false;
    std::string verdict = HandleControlRequest(pairs, "verdict", &ignored);
    std::fprintf(stderr, "norva-sim: %s", verdict.substr(verdict.find('\n') + 1).c_str());
    for (Simulator* sim : pairs) {
        sim->Stop();
    }
    return exitStatus;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    CommandLine cl;
    std::string error;
    if (!ParseCommandLine(args, &cl, &error)) {
        std::fprintf(stderr, "norva-sim: %s\n", error.c_str());
        return 2;
    }
    switch (cl.mode) {
    case CommandLine::Mode::Help:
        std::fputs(UsageText().c_str(), stdout);
        return 0;
    case CommandLine::Mode::Version:
        std::puts("norva-sim " NORVA_VERSION);
        return 0;
    case CommandLine::Mode::Client:
        return RunClient(cl);
    case CommandLine::Mode::Run:
        break;
    }
    return Run(cl);
}
