// What a whole search for the UART setting costs against norva-sim: a silent
// unit (every one of the 36 settings tried, the worst case, which must stay
// within 10 s) and a unit found late (1200 baud, two stop bits). Wall time,
// since the search mostly waits on the line.

#include "module/SettingsDetect.h"
#include "sim/Simulator.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>

namespace {

std::unique_ptr<norva::sim::Simulator> StartUnit(const norva::sim::UartSetting& uart, bool silent) {
    norva::sim::SimOptions options;
    options.unit[0].uart = uart;
    options.unit[0].silent = silent;
    auto simulator = std::make_unique<norva::sim::Simulator>(options);
    std::string error;
    if (!simulator->Start(&error)) {
        std::fprintf(stderr, "norva-sim: %s\n", error.c_str());
        std::exit(1);
    }
    return simulator;
}

void Search(benchmark::State& state, const norva::sim::UartSetting& uart, bool silent,
            norva::DetectResult::Outcome expected) {
    auto simulator = StartUnit(uart, silent);
    const std::string path = simulator->DevicePath(1);
    norva::Event stop(norva::Event::Mode::Manual);
    int tried = 0;
    for (auto _ : state) {
        const norva::DetectResult r = norva::DetectSettings(path, &stop, {});
        if (r.outcome != expected) {
            state.SkipWithError("unexpected outcome");
            return;
        }
        tried = r.tried;
    }
    state.counters["tried"] = tried;
}

void BM_SilentUnitAllSettings(benchmark::State& state) {
    Search(state, {9600, 'N', 1, true}, true, norva::DetectResult::Outcome::NoAnswer);
}
void BM_Found1200TwoStopBits(benchmark::State& state) {
    Search(state, {1200, 'N', 2, true}, false, norva::DetectResult::Outcome::Found);
}

BENCHMARK(BM_SilentUnitAllSettings)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_Found1200TwoStopBits)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace

BENCHMARK_MAIN();
