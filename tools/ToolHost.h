#pragma once
// The command-line host of the module controller: job results are queued for
// the main thread, device rows are printed as they arrive, message boxes go to
// stderr and are answered at once.

#include "module/JobWait.h"
#include "module/ModuleHost.h"
#include "platform/Event.h"

#include <mutex>
#include <string>
#include <vector>

namespace norva::tools {

struct DeviceRow {
    std::string address;
    std::string name;
    std::string classOfDevice;
};

class ToolHost : public IModuleHost {
public:
    // `printRows`: print each device row to stdout when it arrives;
    // `showBanners`: print the wait banners to stderr.
    ToolHost(bool printRows, bool showBanners);

    void PostJobResult(int code, int jobId) override;
    void AddDeviceRow(const std::string& address, const std::string& name,
                      const std::string& classOfDevice) override;
    void ShowMessageBox(const std::string& text, const Event* stop) override;
    void ShowBanner(Banner which) override;
    void HideBanner(Banner which) override;

    // The finished jobs' results, for the waits of module/JobWait.h.
    JobResultQueue& Results() { return m_results; }
    // Set when a device row arrives; a wait on it clears it.
    Event* RowEvent() { return &m_rowEvent; }
    std::vector<DeviceRow> Rows() const;
    std::vector<std::string> Messages() const;

private:
    const bool m_printRows;
    const bool m_showBanners;
    Event m_rowEvent{Event::Mode::Auto};
    mutable std::mutex m_lock;
    JobResultQueue m_results;
    std::vector<DeviceRow> m_rows;
    std::vector<std::string> m_messages;
};

// Text without the line breaks a message box would show.
std::string OneLine(const std::string& text);

} // namespace norva::tools
