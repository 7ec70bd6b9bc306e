// What the command engine costs per exchange: "AT\r" answered by "\r\nOK\r\n"
// through CModuleControl::Probe (reader thread, receive buffer, data event,
// wait lock) against the same bytes written, polled and read directly on the
// same pty, with the same instant responder on the other end. Prints both
// medians and their ratio, from Google Benchmark's repetitions and from
// alternating blocks of individually timed round trips.

#include "module/ModuleControl.h"
#include "module/Protocol.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <poll.h>
#include <pty.h>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr char kCommand[] = "AT\r";
constexpr char kReply[] = "\r\nOK\r\n";
constexpr int kCommandLen = sizeof kCommand - 1;
constexpr int kReplyLen = sizeof kReply - 1;

void MakeRaw(int fd) {
    termios t{};
    if (tcgetattr(fd, &t) == 0) {
        cfmakeraw(&t);
        tcsetattr(fd, TCSANOW, &t);
    }
}

// The module's end: answers every CR-terminated line with OK at once.
class Responder {
public:
    Responder() {
        char name[128] = {};
        if (openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) {
            std::perror("openpty");
            std::exit(1);
        }
        m_path = name;
        MakeRaw(m_slave);
        if (pipe(m_wake) != 0) {
            std::exit(1);
        }
        m_thread = std::thread([this] { Run(); });
    }
    ~Responder() {
        const char b = 0;
        [[maybe_unused]] ssize_t n = write(m_wake[1], &b, 1);
        m_thread.join();
        for (int fd : {m_master, m_slave, m_wake[0], m_wake[1]}) {
            close(fd);
        }
    }
    const std::string& Path() const { return m_path; }

private:
    void Run() {
        char buf[256];
        for (;;) {
            pollfd fds[2] = {{m_master, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
            if (poll(fds, 2, -1) < 0) {
                continue;
            }
            if (fds[1].revents != 0) {
                return;
            }
            const ssize_t n = read(m_master, buf, sizeof buf);
            for (ssize_t i = 0; i < n; ++i) {
                if (buf[i] == '\r') {
                    [[maybe_unused]] ssize_t w = write(m_master, kReply, kReplyLen);
                }
            }
        }
    }

    int m_master = -1;
    int m_slave = -1;
    int m_wake[2] = {-1, -1};
    std::string m_path;
    std::thread m_thread;
};

Responder* g_responder = nullptr;

int OpenBare() {
    const int fd = open(g_responder->Path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd >= 0) {
        MakeRaw(fd);
    }
    return fd;
}

// One exchange without the engine: write, then poll and read until the whole
// reply is in.
bool BareExchange(int fd) {
    if (write(fd, kCommand, kCommandLen) != kCommandLen) {
        return false;
    }
    char buf[64];
    int got = 0;
    while (got < kReplyLen) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 2000) <= 0) {
            return false;
        }
        const ssize_t n = read(fd, buf + got, sizeof buf - static_cast<size_t>(got));
        if (n > 0) {
            got += static_cast<int>(n);
        } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
            return false;
        }
    }
    return std::memcmp(buf, kReply, kReplyLen) == 0;
}

void BM_BareExchange(benchmark::State& state) {
    const int fd = OpenBare();
    if (fd < 0) {
        state.SkipWithError("cannot open the pty");
        return;
    }
    for (auto _ : state) {
        if (!BareExchange(fd)) {
            state.SkipWithError("bare exchange failed");
            break;
        }
    }
    close(fd);
}

void BM_Probe(benchmark::State& state) {
    norva::CModuleControl module(nullptr);
    if (module.OpenPortPath(g_responder->Path(), 115200, 0, 0) != 1) {
        state.SkipWithError("cannot open the port");
        return;
    }
    for (auto _ : state) {
        if (module.Probe(2000) != norva::RC_OK) {
            state.SkipWithError("Probe did not return RC_OK");
            break;
        }
    }
    module.ClosePort();
}

// The machine is shared: load drifts during a run. Alternating short blocks
// of both exchanges and timing each one gives both the same conditions.
struct Paired {
    double bareUs = 0;
    double probeUs = 0;
    bool ok = false;
};

double MedianUs(std::vector<double>& v) {
    std::nth_element(v.begin(), v.begin() + static_cast<long>(v.size() / 2), v.end());
    return v[v.size() / 2];
}

Paired MeasurePaired(int blocks, int perBlock) {
    using Clock = std::chrono::steady_clock;
    std::vector<double> bare, probe;
    for (int b = 0; b < blocks; ++b) {
        const int fd = OpenBare();
        if (fd < 0) {
            return {};
        }
        for (int i = 0; i < perBlock; ++i) {
            const auto t0 = Clock::now();
            if (!BareExchange(fd)) {
                close(fd);
                return {};
            }
            bare.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
        }
        close(fd);

        norva::CModuleControl module(nullptr);
        if (module.OpenPortPath(g_responder->Path(), 115200, 0, 0) != 1) {
            return {};
        }
        for (int i = 0; i < perBlock; ++i) {
            const auto t0 = Clock::now();
            if (module.Probe(2000) != norva::RC_OK) {
                return {};
            }
            probe.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
        }
        module.ClosePort();
    }
    return {MedianUs(bare), MedianUs(probe), true};
}

BENCHMARK(BM_BareExchange)->Repetitions(9)->UseRealTime();
BENCHMARK(BM_Probe)->Repetitions(9)->UseRealTime();

// Keeps the console output and notes each benchmark's median.
class MedianReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                m_medianNs[run.run_name.function_name] = run.GetAdjustedRealTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> m_medianNs;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    Responder responder;
    g_responder = &responder;
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const auto bare = reporter.m_medianNs.find("BM_BareExchange");
    const auto probe = reporter.m_medianNs.find("BM_Probe");
    if (bare != reporter.m_medianNs.end() && probe != reporter.m_medianNs.end()) {
        std::printf("\nmedian of 9 repetitions: bare write+poll+read %.1f us, Probe %.1f us, "
                    "ratio %.2fx\n",
                    bare->second / 1000.0, probe->second / 1000.0, probe->second / bare->second);
    }
    constexpr int kBlocks = 40;
    constexpr int kPerBlock = 250;
    const Paired paired = MeasurePaired(kBlocks, kPerBlock);
    if (!paired.ok) {
        std::printf("paired measurement failed\n");
        return 1;
    }
    std::printf("median of %d round trips each, in %d alternating blocks: bare write+poll+read "
                "%.1f us, Probe %.1f us, ratio %.2fx\n",
                kBlocks * kPerBlock, kBlocks, paired.bareUs, paired.probeUs,
                paired.probeUs / paired.bareUs);
    return 0;
}
