// What pairing K pairs at once costs: `norvactl pair --batch` against K
// simulated pairs (K = 1, 2, 4, 8), wall time and CPU, each figure the mean
// of --runs runs. The simulated pairs run in this process, so its own CPU is
// the simulator's and the child's is norvactl's.
//
//   bench_batch [--runs N]

#include "sim/Pairs.h"
#include "sim/Simulator.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

double CpuSeconds(int who) {
    rusage u{};
    getrusage(who, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct Run {
    double wallMs = 0;
    double toolCpuMs = 0;
    double simCpuMs = 0;
    bool ok = false;
};

Run PairAll(int pairs) {
    std::vector<std::unique_ptr<norva::sim::Simulator>> sims;
    std::string batch;
    for (int p = 1; p <= pairs; ++p) {
        sims.push_back(std::make_unique<norva::sim::Simulator>(
            norva::sim::PairOptions(norva::sim::SimOptions{}, p, pairs)));
        std::string error;
        if (!sims.back()->Start(&error)) {
            std::fprintf(stderr, "norva-sim: %s\n", error.c_str());
            std::exit(1);
        }
        batch += sims.back()->DevicePath(1) + " " + sims.back()->DevicePath(2) + "\n";
    }
    char path[] = "/tmp/norva-bench-batch-XXXXXX";
    close(mkstemp(path));
    std::ofstream(path) << batch;

    std::vector<std::string> args = {NORVACTL_PATH, "pair", "--batch", path, "--json"};
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);

    Run run;
    const double toolBefore = CpuSeconds(RUSAGE_CHILDREN);
    const double simBefore = CpuSeconds(RUSAGE_SELF);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = -1;
    int status = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        waitpid(pid, &status, 0);
    }
    run.wallMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    run.toolCpuMs = (CpuSeconds(RUSAGE_CHILDREN) - toolBefore) * 1000;
    run.simCpuMs = (CpuSeconds(RUSAGE_SELF) - simBefore) * 1000;
    posix_spawn_file_actions_destroy(&actions);
    std::remove(path);

    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    for (auto& s : sims) {
        run.ok = run.ok && s->GetVerdict().wouldAutoConnect;
        s->Stop();
    }
    return run;
}

} // namespace

int main(int argc, char** argv) {
    int runs = 3;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0) {
            runs = std::max(1, std::atoi(argv[i + 1]));
        }
    }
    std::printf("%6s %12s %10s %16s %15s\n", "pairs", "wall ms", "vs K=1", "norvactl CPU ms",
                "simulator CPU ms");
    double single = 0;
    for (int pairs : {1, 2, 4, 8}) {
        Run sum;
        for (int r = 0; r < runs; ++r) {
            const Run one = PairAll(pairs);
            if (!one.ok) {
                std::fprintf(stderr, "bench_batch: a run with %d pairs did not pair them all\n",
                             pairs);
                return 1;
            }
            sum.wallMs += one.wallMs / runs;
            sum.toolCpuMs += one.toolCpuMs / runs;
            sum.simCpuMs += one.simCpuMs / runs;
        }
        if (pairs == 1) {
            single = sum.wallMs;
        }
        std::printf("%6d %12.0f %10.2f %16.0f %15.0f\n", pairs, sum.wallMs, sum.wallMs / single,
                    sum.toolCpuMs, sum.simCpuMs);
    }
    return 0;
}
