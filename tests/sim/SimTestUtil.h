// Shared set-up for the simulator tests: short radio timings and small reply helpers.
#pragma once

#include "PtyClient.h"
#include "sim/Simulator.h"

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

namespace norva::sim::test {

inline constexpr const char* kUnit1 = "00A0961B2C01";
inline constexpr const char* kUnit2 = "00A0961B2C02";
inline constexpr const char* kOk = "\r\nOK\r\n";
inline constexpr const char* kError = "\r\nERROR\r\n";

// A started simulator in two-port mode with a client open on each unit.
struct Rig {
    explicit Rig(const SimOptions& options) : sim(options) {
        std::string error;
        EXPECT_TRUE(sim.Start(&error)) << error;
        EXPECT_TRUE(com1.Open(sim.DevicePath(1)));
        EXPECT_TRUE(com2.Open(sim.DevicePath(2)));
    }
    Simulator sim;
    PtyClient com1;
    PtyClient com2;
};

inline SimOptions FastOptions() {
    SimOptions o;
    o.timing.inquiryMs = 400;
    o.timing.connectMs = 50;
    o.timing.connectFailMs = 400;
    o.timing.restartMs = 50;
    o.timing.escapeGuardMs = 200;
    return o;
}

// The fields of the first framed line that holds a comma (the status line).
inline std::vector<std::string> StatusFields(const std::string& reply) {
    std::vector<std::string> fields;
    size_t start = reply.find("\r\n");
    while (start != std::string::npos) {
        size_t end = reply.find("\r\n", start + 2);
        if (end == std::string::npos) {
            break;
        }
        std::string line = reply.substr(start + 2, end - start - 2);
        if (line.find(',') != std::string::npos) {
            std::stringstream in(line);
            for (std::string f; std::getline(in, f, ',');) {
                fields.push_back(f);
            }
            return fields;
        }
        start = reply.find("\r\n", end + 2);
    }
    return fields;
}

// Field i (0-based) of the status line, or "" when there is none.
inline std::string StatusField(const std::string& reply, size_t i) {
    std::vector<std::string> f = StatusFields(reply);
    return i < f.size() ? f[i] : std::string();
}

inline int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + 1)) {
        ++n;
    }
    return n;
}

// Polls a condition that the simulator's own thread makes true; a bound against hangs only.
template <typename F> bool Eventually(F condition, int ms = 5000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

inline double CpuSeconds() {
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
           static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

// A fresh directory for a test's port links; removed by the destructor once the simulator that
// kept links in it has stopped.
struct LinkDir {
    LinkDir() {
        static int count = 0;
        path = ::testing::TempDir() + "norva-links-" + std::to_string(getpid()) + "-" +
               std::to_string(++count);
    }
    ~LinkDir() { rmdir(path.c_str()); }
    std::string path;
};

} // namespace norva::sim::test
