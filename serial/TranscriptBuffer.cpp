#include "serial/TranscriptBuffer.h"

namespace norva {

CTranscriptBuffer::CTranscriptBuffer(size_t limitBytes)
    : m_limit(limitBytes), m_start(std::chrono::steady_clock::now()) {}

void CTranscriptBuffer::Line(const std::string& text) {
    std::string line = TranscriptLine(m_start, text);
    line += '\n';
    std::lock_guard<std::mutex> lock(m_lock);
    m_bytes += line.size();
    m_lines.push_back(std::move(line));
    // The newest line stays even when it alone is over the limit.
    while (m_bytes > m_limit && m_lines.size() > 1) {
        m_bytes -= m_lines.front().size();
        m_lines.pop_front();
        ++m_dropped;
    }
}

void CTranscriptBuffer::OnOpen(const std::string& path, const std::string& settings) {
    Line("open " + path + " " + settings);
}

void CTranscriptBuffer::OnOpenFailed(const std::string& path, const std::string& reason) {
    Line("open-failed " + path + ": " + reason);
}

void CTranscriptBuffer::OnClose(const std::string& path) {
    Line("close " + path);
}

void CTranscriptBuffer::OnHangUp(const std::string& reason) {
    Line("hang-up " + reason);
}

void CTranscriptBuffer::OnSent(const uint8_t* data, size_t length) {
    Line("> " + EscapeBytes(data, length));
}

void CTranscriptBuffer::OnReceived(const uint8_t* data, size_t length) {
    Line("< " + EscapeBytes(data, length));
}

void CTranscriptBuffer::Note(const std::string& text) {
    Line("# " + text);
}

std::string CTranscriptBuffer::Text() const {
    std::lock_guard<std::mutex> lock(m_lock);
    std::string text;
    text.reserve(m_bytes + 64);
    if (m_dropped > 0) {
        text += "# " + std::to_string(m_dropped) + " older lines dropped\n";
    }
    for (const std::string& line : m_lines) {
        text += line;
    }
    return text;
}

size_t CTranscriptBuffer::Bytes() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_bytes;
}

size_t CTranscriptBuffer::DroppedLines() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_dropped;
}

} // namespace norva
