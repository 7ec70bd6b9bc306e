// Pairs per hour of one station: `norvactl pair` on two ports against
// norva-sim with its default radio times, next to the floor (the module's own
// times and the fixed pauses on the path), and K = 8 pairs in a batch with
// and without the register on SQLite. --before names a norvactl that waits
// for the whole device search (one built before the search ended at unit 1),
// to put the two side by side. Last, what --verify adds to a pairing, per kind
// of module.
//
//   bench_station [--runs N] [--before PATH]
//   bench_station --linked      (the linked pair's section alone)

#include "module/Catalogue.h"
#include "sim/Pairs.h"
#include "sim/Simulator.h"
#include "support/ModuleKinds.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

namespace cat = norva::catalogue;

// As bench_pairing counts it: the pauses the path cannot avoid and the
// module's own times, with the search lasting `searchMs`.
double FloorMs(const norva::sim::SimTiming& timing, double searchMs) {
    const double job = cat::kJobPauseMs;
    const double status = job + cat::kBannerPauseMs + cat::kQueryPauseMs;
    const double apply = job + cat::kBannerPauseMs + cat::kQueryPauseMs;
    return status + job + status + job + searchMs + job + timing.connectMs + job +
           cat::kEscapePauseMs + apply + status + apply;
}

bool Spawn(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    int status = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        waitpid(pid, &status, 0);
    }
    posix_spawn_file_actions_destroy(&actions);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Wall time of one run pairing `pairs` simulated pairs; < 0 when one was not
// paired.
double PairMs(const std::string& tool, int pairs, const std::string& record,
              const norva::sim::SimOptions& base = {}, const std::vector<std::string>& extra = {}) {
    std::vector<std::unique_ptr<norva::sim::Simulator>> sims;
    std::string batch;
    for (int p = 1; p <= pairs; ++p) {
        sims.push_back(
            std::make_unique<norva::sim::Simulator>(norva::sim::PairOptions(base, p, pairs)));
        std::string error;
        if (!sims.back()->Start(&error)) {
            std::fprintf(stderr, "norva-sim: %s\n", error.c_str());
            std::exit(1);
        }
        batch += sims.back()->DevicePath(1) + " " + sims.back()->DevicePath(2) + "\n";
    }
    char path[] = "/tmp/norva-bench-station-XXXXXX";
    close(mkstemp(path));
    std::ofstream(path) << batch;
    std::vector<std::string> args = {tool, "pair"};
    if (pairs == 1) {
        args.insert(args.end(),
                    {"--unit1", sims[0]->DevicePath(1), "--unit2", sims[0]->DevicePath(2)});
    } else {
        args.insert(args.end(), {"--batch", path});
    }
    if (!record.empty()) {
        args.insert(args.end(), {"--record", record});
    }
    args.insert(args.end(), extra.begin(), extra.end());
    const auto start = std::chrono::steady_clock::now();
    bool ok = Spawn(args);
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::remove(path);
    for (auto& s : sims) {
        ok = ok && s->GetVerdict().wouldAutoConnect;
        s->Stop();
    }
    return ok ? ms : -1;
}

double MeanMs(const std::string& tool, int pairs, int runs, bool record) {
    double sum = 0;
    for (int r = 0; r < runs; ++r) {
        std::string db;
        char dir[] = "/tmp/norva-bench-register-XXXXXX";
        if (record) {
            db = std::string(mkdtemp(dir)) + "/pairs.db";
        }
        // --record verifies unless told not to: --no-verify keeps the two rows comparable.
        const double ms =
            PairMs(tool, pairs, db, {},
                   record ? std::vector<std::string>{"--no-verify"} : std::vector<std::string>{});
        if (record) {
            std::system(("rm -rf '" + db.substr(0, db.rfind('/')) + "'").c_str());
        }
        if (ms < 0) {
            std::fprintf(stderr, "bench_station: %s did not pair all %d pairs\n", tool.c_str(),
                         pairs);
            std::exit(1);
        }
        sum += ms;
    }
    return sum / runs;
}

void Row(const char* what, int pairs, double ms) {
    std::printf("%-44s %9.0f %12.0f\n", what, ms, pairs * 3600000.0 / ms);
}

// What --verify adds to one pairing on two ports, for every kind of module the tests pair, next
// to the bound it must stay within: the unit's restart, the link, and 2 s.
void VerifyRows(int runs) {
    std::printf("\n%-26s %9s %11s %9s %9s\n", "--verify, two ports", "pair ms", "+verify ms",
                "added", "bound");
    for (const norva::test::ModuleKind& kind : norva::test::ModuleKinds()) {
        norva::sim::SimOptions options;
        norva::test::SetKind(options, kind);
        double plain = 0;
        double verified = 0;
        for (int r = 0; r < runs; ++r) {
            const double a = PairMs(NORVACTL_PATH, 1, {}, options);
            const double b = PairMs(NORVACTL_PATH, 1, {}, options, {"--verify"});
            if (a < 0 || b < 0) {
                std::fprintf(stderr, "bench_station: %s did not pair%s\n", kind.name.c_str(),
                             a < 0 ? "" : " and verify");
                std::exit(1);
            }
            plain += a / runs;
            verified += b / runs;
        }
        const int boot = std::max(options.unit[0].bootMs, options.unit[1].bootMs);
        const int restart = boot >= 0 ? boot : options.timing.restartMs;
        std::printf("%-26s %9.0f %11.0f %9.0f %9d\n", kind.name.c_str(), plain, verified,
                    verified - plain, restart + options.timing.connectMs + 2000);
    }
}

// A pair paired and verified into a register is left linked: what the next touches cost.
void LinkedPairRows() {
    char dir[] = "/tmp/norva-bench-linked-XXXXXX";
    const std::string db = std::string(mkdtemp(dir)) + "/pairs.db";
    norva::sim::Simulator sim{norva::sim::SimOptions{}};
    std::string error;
    if (!sim.Start(&error)) {
        std::fprintf(stderr, "norva-sim: %s\n", error.c_str());
        std::exit(1);
    }
    auto run = [&](std::vector<std::string> extra) {
        std::vector<std::string> args = {NORVACTL_PATH,     "pair",    "--unit1",
                                         sim.DevicePath(1), "--unit2", sim.DevicePath(2),
                                         "--record",        db};
        args.insert(args.end(), extra.begin(), extra.end());
        const auto start = std::chrono::steady_clock::now();
        const bool ok = Spawn(args);
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        if (!ok) {
            std::fprintf(stderr, "bench_station: norvactl pair failed\n");
            std::exit(1);
        }
        return ms;
    };
    std::printf("\n%-44s %9s\n", "a verified pair, left linked (--record)", "ms/run");
    std::printf("%-44s %9.0f\n", "fresh pairing, verified", run({}));
    std::printf("%-44s %9.0f\n", "--skip-done", run({"--skip-done"}));
    std::printf("%-44s %9.0f\n", "re-pair, verified", run({}));
    sim.Stop();
    std::system(("rm -rf '" + db.substr(0, db.rfind('/')) + "'").c_str());
}

} // namespace

int main(int argc, char** argv) {
    int runs = 3;
    std::string before;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0) {
            runs = std::max(1, std::atoi(argv[i + 1]));
        } else if (std::strcmp(argv[i], "--before") == 0) {
            before = argv[i + 1];
        }
    }
    if (argc > 1 && std::strcmp(argv[1], "--linked") == 0) {
        LinkedPairRows(); // that section alone
        return 0;
    }
    if (argc > 1 && std::strcmp(argv[1], "--register") == 0) {
        // What the register adds to a batch, alone.
        Row("K = 8 batch", 8, MeanMs(NORVACTL_PATH, 8, runs, false));
        Row("K = 8 batch, --record on SQLite", 8, MeanMs(NORVACTL_PATH, 8, runs, true));
        return 0;
    }
    const norva::sim::SimTiming timing;
    std::printf("%-44s %9s %12s\n", "one station, two ports", "ms/run", "pairs/hour");
    if (!before.empty()) {
        Row("whole search (--before)", 1, MeanMs(before, 1, runs, false));
    }
    Row("search ends at unit 1", 1, MeanMs(NORVACTL_PATH, 1, runs, false));
    // The simulator reports its one device half way through the inquiry.
    Row("floor, whole search", 1, FloorMs(timing, timing.inquiryMs));
    Row("floor, search ends at unit 1", 1, FloorMs(timing, timing.inquiryMs / 2.0));
    Row("K = 8 batch", 8, MeanMs(NORVACTL_PATH, 8, runs, false));
    Row("K = 8 batch, --record on SQLite", 8, MeanMs(NORVACTL_PATH, 8, runs, true));
    if (!before.empty()) {
        Row("K = 8 batch, whole search (--before)", 8, MeanMs(before, 8, runs, false));
    }
    VerifyRows(runs);
    LinkedPairRows();
    return 0;
}
