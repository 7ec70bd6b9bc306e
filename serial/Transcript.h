#pragma once
// A record of everything that crosses the serial line, for support cases: the
// port reports opens, closes, hang-ups and every byte in and out as it
// happens. Off (no recorder set) it costs one pointer test per chunk.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

namespace norva {

class ITranscript {
public:
    virtual ~ITranscript() = default;
    // `settings` reads like "9600 8N1".
    virtual void OnOpen(const std::string& path, const std::string& settings) = 0;
    virtual void OnOpenFailed(const std::string& path, const std::string& reason) = 0;
    virtual void OnClose(const std::string& path) = 0;
    virtual void OnHangUp(const std::string& reason) = 0;
    // Called on the writing thread as the bytes are handed to the line.
    virtual void OnSent(const uint8_t* data, size_t length) = 0;
    // The write of OnSent's bytes ended after `sent` of them.
    virtual void OnSendStopped(size_t /*sent*/, size_t /*length*/) {}
    // Called on the reader thread as each chunk arrives.
    virtual void OnReceived(const uint8_t* data, size_t length) = 0;
    // Several ports into one transcript: the port the events that follow belong to (the caller
    // keeps the two together).
    virtual void OnActivePort(const std::string& /*path*/) {}
};

// Bytes as a quoted C-style literal: printable ASCII as is, \r \n \t \\ \"
// and \xNN for the rest, so a transcript is plain ASCII whatever the module
// sent.
std::string EscapeBytes(const uint8_t* data, size_t length);

// One transcript line: wall-clock time, seconds since `start`, then `text`.
std::string TranscriptLine(std::chrono::steady_clock::time_point start, const std::string& text);

// The transcript's lines: one timestamped line per event, handed to Line().
// The writer and the in-memory buffer differ only in where a line goes.
class CTranscriptLines : public ITranscript {
public:
    void OnOpen(const std::string& path, const std::string& settings) override;
    void OnOpenFailed(const std::string& path, const std::string& reason) override;
    void OnClose(const std::string& path) override;
    void OnHangUp(const std::string& reason) override;
    void OnSent(const uint8_t* data, size_t length) override;
    void OnSendStopped(size_t sent, size_t length) override;
    void OnReceived(const uint8_t* data, size_t length) override;
    void OnActivePort(const std::string& path) override;
    // A free-form line (tools mark steps with it).
    void Note(const std::string& text);
    // Each line names the device last opened (several ports in one file).
    void NamePortOnEachLine() { m_namePort = true; }

protected:
    // `line` is whole and timestamped, without its line break; called on the
    // reporting thread.
    virtual void Line(const std::string& line) = 0;

    const std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();

private:
    void Record(const std::string& text);

    bool m_namePort = false;
    std::mutex m_portLock;
    std::string m_port;
};

// Writes one timestamped line per event to a stream, flushed at once so that
// a crash or an unplug loses nothing. Lines:
//   2026-12-08T10:15:02.123 +1.234 open /dev/ttyUSB0 9600 8N1
//   2026-12-08T10:15:02.130 +1.241 > "AT\r"
//   2026-12-08T10:15:02.141 +1.252 < "\r\nOK\r\n"
// Thread-safe: the reader and the writing thread report concurrently.
class CTranscriptWriter : public CTranscriptLines {
public:
    // Does not own `out`.
    explicit CTranscriptWriter(std::FILE* out) : m_out(out) {}

protected:
    void Line(const std::string& line) override;

private:
    std::FILE* m_out;
    std::mutex m_lock;
};

} // namespace norva
