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

class CTranscriptBuffer : public ITranscript {
public:
    static constexpr size_t kDefaultLimit = 4 * 1024 * 1024;
    explicit CTranscriptBuffer(size_t limitBytes = kDefaultLimit);

    void OnOpen(const std::string& path, const std::string& settings) override;
    void OnOpenFailed(const std::string& path, const std::string& reason) override;
    void OnClose(const std::string& path) override;
    void OnHangUp(const std::string& reason) override;
    void OnSent(const uint8_t* data, size_t length) override;
    void OnReceived(const uint8_t* data, size_t length) override;
    void Note(const std::string& text);

    // Every line kept, each ending with LF; a first line says how many older
    // ones were dropped.
    std::string Text() const;
    size_t Bytes() const;
    size_t DroppedLines() const;

private:
    void Line(const std::string& text);

    const size_t m_limit;
    const std::chrono::steady_clock::time_point m_start;
    mutable std::mutex m_lock;
    std::deque<std::string> m_lines;
    size_t m_bytes = 0;
    size_t m_dropped = 0;
};

} // namespace norva
