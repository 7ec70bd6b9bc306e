#pragma once
// The transcript kept in memory, for a log the user saves only when asked:
// the same lines as CTranscriptWriter, the oldest dropped once the buffer
// holds more than its limit. Thread-safe: the reader and the writing thread
// report concurrently while the UI thread may take a copy.

#include "serial/Transcript.h"

#include <chrono>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>

namespace norva {

class CTranscriptBuffer : public CTranscriptLines {
public:
    static constexpr size_t kDefaultLimit = 4 * 1024 * 1024;
    explicit CTranscriptBuffer(size_t limitBytes = kDefaultLimit) : m_limit(limitBytes) {}

    // Every line kept, each ending with LF; a first line says how many older
    // ones were dropped.
    std::string Text() const;
    size_t Bytes() const;
    size_t DroppedLines() const;

protected:
    void Line(const std::string& line) override;

private:
    const size_t m_limit;
    mutable std::mutex m_lock;
    std::deque<std::string> m_lines;
    size_t m_bytes = 0;
    size_t m_dropped = 0;
};

} // namespace norva
