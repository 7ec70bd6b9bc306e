#include "serial/TranscriptBuffer.h"

namespace norva {

void CTranscriptBuffer::Line(const std::string& text) {
    std::string line = text + '\n';
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
