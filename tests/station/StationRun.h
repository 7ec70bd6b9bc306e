#pragma once
// What the norvactl station tests share: simulated pairs, a register in a
// directory of its own, and norvactl as a child process.

#include "sim/Pairs.h"
#include "sim/Simulator.h"
#include "tools/NorvactlRun.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace norva::test {

inline std::unique_ptr<sim::Simulator> StartSim(const sim::SimOptions& options) {
    auto simulator = std::make_unique<sim::Simulator>(options);
    std::string error;
    EXPECT_TRUE(simulator->Start(&error)) << error;
    return simulator;
}

// K simulated pairs with addresses of their own (…01/…02, …03/…04, …).
inline std::vector<std::unique_ptr<sim::Simulator>> StartPairs(int pairs) {
    std::vector<std::unique_ptr<sim::Simulator>> sims;
    for (int p = 1; p <= pairs; ++p) {
        sims.push_back(StartSim(sim::PairOptions(sim::SimOptions{}, p, pairs)));
    }
    return sims;
}

inline std::string BatchText(const std::vector<std::unique_ptr<sim::Simulator>>& sims) {
    std::string text;
    for (const auto& s : sims) {
        text += s->DevicePath(1) + " " + s->DevicePath(2) + "\n";
    }
    return text;
}

inline std::string Shell(const std::string& command) {
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    char buf[4096];
    while (p != nullptr && fgets(buf, sizeof buf, p) != nullptr) {
        out += buf;
    }
    if (p != nullptr) {
        pclose(p);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) {
        out.pop_back();
    }
    return out;
}

inline void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path) << text;
}

} // namespace norva::test
