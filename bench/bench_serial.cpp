// Ring throughput, and how long a reply takes from the wire to the data
// event compared with a bare poll+read on the same pseudo-terminal.

#include "platform/Event.h"
#include "serial/RxBuffer.h"
#include "serial/SerialPort.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

void BM_RingWriteRead(benchmark::State& state) {
    norva::CRxBuffer ring;
    const int n = static_cast<int>(state.range(0));
    std::vector<uint8_t> in(static_cast<size_t>(n), 0x5A), out(static_cast<size_t>(n));
    for (auto _ : state) {
        ring.Write(in.data(), n);
        ring.Read(out.data(), n);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * n);
}
BENCHMARK(BM_RingWriteRead)->Arg(1)->Arg(16)->Arg(256);

using Clock = std::chrono::steady_clock;

struct Stats {
    double median_us;
    double p99_us;
};

Stats Summarise(std::vector<double>& samples) {
    std::sort(samples.begin(), samples.end());
    return {samples[samples.size() / 2], samples[samples.size() * 99 / 100]};
}

constexpr int kRounds = 2000;
const char kReply[] = "\r\nOK\r\n";

std::vector<double> PortLatency(int master, const std::string& path) {
    norva::CSerialPort port;
    std::vector<double> samples;
    if (!port.OpenPath(path)) {
        std::fprintf(stderr, "open failed: %s\n", port.LastOpenError().reason.c_str());
        return samples;
    }
    norva::Event* const set[] = {port.m_hDataEvent.get()};
    uint8_t sink[64];
    for (int i = 0; i < kRounds; ++i) {
        const auto t0 = Clock::now();
        if (write(master, kReply, 6) != 6) {
            break;
        }
        int got = 0;
        while (got < 6 && norva::WaitAny(set, 1000) == 0) {
            const int n = port.m_rxBuffer.GetCount();
            got += port.m_rxBuffer.Read(sink, n);
            if (got >= 1) {
                break; // the first signal is what a waiting transaction sees
            }
        }
        samples.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
        usleep(200);
        port.m_rxBuffer.Clear();
    }
    port.Close();
    return samples;
}

std::vector<double> BareLatency(int master, const std::string& path) {
    std::vector<double> samples;
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    tcsetattr(fd, TCSANOW, &t);
    uint8_t sink[64];
    for (int i = 0; i < kRounds; ++i) {
        const auto t0 = Clock::now();
        if (write(master, kReply, 6) != 6) {
            break;
        }
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 1000) == 1 && read(fd, sink, sizeof sink) > 0) {
            samples.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
        }
        usleep(200);
        while (read(fd, sink, sizeof sink) > 0) {
        }
    }
    close(fd);
    return samples;
}

void ReportReaderLatency() {
    int master = -1, slave = -1;
    char name[128] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        std::perror("openpty");
        return;
    }
    auto bare = BareLatency(master, name);
    auto port = PortLatency(master, name);
    if (bare.empty() || port.empty()) {
        std::fprintf(stderr, "latency run failed\n");
        return;
    }
    const Stats b = Summarise(bare), p = Summarise(port);
    std::printf("\nReader latency, peer write of 6 bytes to data event (%d rounds):\n", kRounds);
    std::printf("  bare poll+read   median %7.1f us   p99 %7.1f us\n", b.median_us, b.p99_us);
    std::printf("  CSerialPort      median %7.1f us   p99 %7.1f us\n", p.median_us, p.p99_us);
    std::printf("  ratio            median %7.2fx     p99 %7.2fx\n", p.median_us / b.median_us,
                p.p99_us / b.p99_us);
    close(master);
    close(slave);
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    ReportReaderLatency();
    return 0;
}
