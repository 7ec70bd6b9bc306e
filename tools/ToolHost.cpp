#include "tools/ToolHost.h"

#include "res/strings/StringTable.h"

#include <cstdio>

namespace norva::tools {

ToolHost::ToolHost(bool printRows, bool showBanners)
    : m_printRows(printRows), m_showBanners(showBanners) {}

void ToolHost::PostJobResult(int code, int jobId) {
    m_results.Post(code, jobId);
}

void ToolHost::AddDeviceRow(const std::string& address, const std::string& name,
                            const std::string& classOfDevice) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_rows.push_back({address, name, classOfDevice});
    m_rowEvent.Set();
    if (m_printRows) {
        std::printf("device: %s  %s  %s\n", address.c_str(), name.c_str(), classOfDevice.c_str());
        std::fflush(stdout);
    }
}

void ToolHost::ShowMessageBox(const std::string& text, const Event* /*stop*/) {
    const std::string line = OneLine(text);
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_messages.push_back(line);
    }
    std::fprintf(stderr, "norvactl: note: %s\n", line.c_str());
}

void ToolHost::ShowBanner(Banner which) {
    if (m_showBanners) {
        std::fprintf(stderr, "%s\n",
                     which == Banner::Checking ? kCheckingBannerText : kApplyingBannerText);
    }
}

void ToolHost::HideBanner(Banner /*which*/) {}

std::vector<DeviceRow> ToolHost::Rows() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_rows;
}

std::vector<std::string> ToolHost::Messages() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_messages;
}

std::string OneLine(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\r' || c == '\n') {
            if (!out.empty() && out.back() != ' ') {
                out += ' ';
            }
        } else {
            out += c;
        }
    }
    while (!out.empty() && out.back() == ' ') {
        out.pop_back();
    }
    return out;
}

} // namespace norva::tools
