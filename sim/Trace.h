// The JSON-lines trace of a simulator: every byte in and out and every port event, one object a
// line. Not thread-safe: the simulator writes it under its own lock.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>

namespace norva::sim {

class Trace {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    ~Trace() { Close(); }

    // Times count from t0. False when the file cannot be written (errno says why).
    bool Open(const std::string& path, TimePoint t0);
    void Close();

    // dir: "in", "out", "unheard" or "lost"; note says why, when there is a reason.
    void Bytes(int unit, const char* dir, std::string_view bytes, const std::string& note = {});
    void Event(int unit, const std::string& what);

private:
    void Line(const std::string& body);

    std::FILE* m_file = nullptr;
    TimePoint m_t0;
};

} // namespace norva::sim
