#include "serial/Transcript.h"

#include <ctime>

namespace norva {

std::string EscapeBytes(const uint8_t* data, size_t length) {
    static const char kHex[] = "0123456789abcdef";
    std::string out = "\"";
    for (size_t i = 0; i < length; ++i) {
        const uint8_t c = data[i];
        switch (c) {
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '"':
            out += "\\\"";
            break;
        default:
            if (c >= 0x20 && c < 0x7f) {
                out += static_cast<char>(c);
            } else {
                out += "\\x";
                out += kHex[c >> 4];
                out += kHex[c & 0xf];
            }
        }
    }
    out += '"';
    return out;
}

std::string TranscriptLine(std::chrono::steady_clock::time_point start, const std::string& text) {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const long long millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    tm local{};
    localtime_r(&seconds, &local);
    char stamp[40];
    const size_t n = std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", &local);
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    char head[80];
    (void)std::snprintf(head, sizeof head, "%.*s.%03ld +%.3f ", static_cast<int>(n), stamp,
                        static_cast<long>(millis), elapsed);
    return head + text;
}

void CTranscriptWriter::Line(const std::string& line) {
    if (m_out == nullptr) {
        return;
    }
    std::lock_guard<std::mutex> lock(m_lock);
    // A transcript that cannot be written must not stop the work it records.
    (void)std::fprintf(m_out, "%s\n", line.c_str());
    (void)std::fflush(m_out);
}

void CTranscriptLines::Record(const std::string& text) {
    if (!m_namePort) {
        Line(TranscriptLine(m_start, text));
        return;
    }
    std::string port;
    {
        std::lock_guard<std::mutex> lock(m_portLock);
        port = m_port;
    }
    Line(TranscriptLine(m_start, (port.empty() ? std::string("-") : port) + " " + text));
}

void CTranscriptLines::OnOpen(const std::string& path, const std::string& settings) {
    {
        std::lock_guard<std::mutex> lock(m_portLock);
        m_port = path;
    }
    Record("open " + path + " " + settings);
}

void CTranscriptLines::OnOpenFailed(const std::string& path, const std::string& reason) {
    {
        std::lock_guard<std::mutex> lock(m_portLock);
        m_port = path;
    }
    Record("open-failed " + path + ": " + reason);
}

void CTranscriptLines::OnActivePort(const std::string& path) {
    std::lock_guard<std::mutex> lock(m_portLock);
    m_port = path;
}

void CTranscriptLines::OnClose(const std::string& path) {
    Record("close " + path);
}

void CTranscriptLines::OnHangUp(const std::string& reason) {
    Record("hang-up " + reason);
}

void CTranscriptLines::OnSent(const uint8_t* data, size_t length) {
    Record("> " + EscapeBytes(data, length));
}

void CTranscriptLines::OnSendStopped(size_t sent, size_t length) {
    Record("write stopped after " + std::to_string(sent) + " of " + std::to_string(length) +
           " bytes");
}

void CTranscriptLines::OnReceived(const uint8_t* data, size_t length) {
    Record("< " + EscapeBytes(data, length));
}

void CTranscriptLines::Note(const std::string& text) {
    Record("# " + text);
}

} // namespace norva
