#include "sim/Trace.h"

namespace norva::sim {

namespace {

// Bytes go out as Latin-1 code points so that every byte survives the round trip.
std::string JsonString(std::string_view bytes) {
    std::string out = "\"";
    for (unsigned char c : bytes) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20 || c >= 0x7f) {
                char buf[8];
                (void)std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

} // namespace

bool Trace::Open(const std::string& path, TimePoint t0) {
    Close();
    m_t0 = t0;
    m_file = std::fopen(path.c_str(), "w");
    return m_file != nullptr;
}

void Trace::Close() {
    if (m_file) {
        (void)std::fclose(m_file);
        m_file = nullptr;
    }
}

void Trace::Line(const std::string& body) {
    double t = std::chrono::duration<double>(std::chrono::steady_clock::now() - m_t0).count();
    (void)std::fprintf(m_file, "{\"t\":%.6f,%s}\n", t, body.c_str());
    // Flushed at once, so that a test or a person reads it while the simulator runs.
    (void)std::fflush(m_file);
}

void Trace::Bytes(int unit, const char* dir, std::string_view bytes, const std::string& note) {
    if (!m_file) {
        return;
    }
    std::string body = "\"unit\":" + std::to_string(unit) + ",\"dir\":\"" + dir +
                       "\",\"bytes\":" + JsonString(bytes);
    if (!note.empty()) {
        body += ",\"note\":" + JsonString(note);
    }
    Line(body);
}

void Trace::Event(int unit, const std::string& what) {
    if (!m_file) {
        return;
    }
    Line("\"unit\":" + std::to_string(unit) + ",\"event\":" + JsonString(what));
}

} // namespace norva::sim
