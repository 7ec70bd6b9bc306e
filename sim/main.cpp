// norva-sim: runs the simulated module pairs until stopped, or around one command.
#include "sim/ChildProcess.h"
#include "sim/CommandLine.h"
#include "sim/ControlRequests.h"
#include "sim/ControlSocket.h"
#include "sim/ModuleProfiles.h"
#include "sim/Pairs.h"
#include "sim/Simulator.h"

#include "NorvaVersion.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <poll.h>
#include <sys/signalfd.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace norva::sim;

namespace {

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
    if (cl.randomProfile) {
        // What the seed chose, as switches that recreate it without the seed.
        std::string chosen = DescribeUnitOptions(cl.sim.unit[0], "--unit1-");
        const std::string unit2 = DescribeUnitOptions(cl.sim.unit[1], "--unit2-");
        chosen += (chosen.empty() || unit2.empty() ? "" : " ") + unit2;
        std::fprintf(stderr, "# profile: %s\n", chosen.c_str());
        std::fflush(stderr);
    }

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
    // The program it runs can tell its user that no cable is to be moved.
    if (cl.sim.follow) {
        env.push_back("NORVAWIZARD_SIMULATED=follow");
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
                AnswerClient(listenFd, pairs, &quit);
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
        return RunClient(cl.controlPath, cl.request);
    case CommandLine::Mode::Run:
        break;
    }
    return Run(cl);
}
