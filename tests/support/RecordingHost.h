#pragma once
// An IModuleHost for tests and tools: records every upward call and lets a
// test wait for them. Message boxes either answer at once or block until
// released (or until the stop event the caller passed is set).

#include "module/ModuleHost.h"
#include "platform/Event.h"

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

namespace norva::test {

struct JobResult {
    int code = 0;
    int jobId = 0;
    bool operator==(const JobResult&) const = default;
};

struct DeviceRow {
    std::string address;
    std::string name;
    std::string classOfDevice;
    bool operator==(const DeviceRow&) const = default;
};

struct BannerChange {
    Banner which = Banner::Checking;
    bool shown = false;
    bool operator==(const BannerChange&) const = default;
};

struct MessageBoxRecord {
    std::string text;
    bool endedByStop = false; // filled in when the box closes
    bool closed = false;
};

class RecordingHost : public IModuleHost {
public:
    enum class BoxMode { AnswerAtOnce, Block };

    RecordingHost() = default;
    explicit RecordingHost(BoxMode mode) : m_boxMode(mode) {}

    void PostJobResult(int code, int jobId) override;
    void AddDeviceRow(const std::string& address, const std::string& name,
                      const std::string& classOfDevice) override;
    void ShowMessageBox(const std::string& text, const Event* stop) override;
    void ShowBanner(Banner which) override;
    void HideBanner(Banner which) override;

    void SetBoxMode(BoxMode mode);
    // Closes the box that blocks now, or else the next one shown.
    void ReleaseMessageBox();

    std::vector<JobResult> Results() const;
    std::vector<DeviceRow> Rows() const;
    std::vector<MessageBoxRecord> MessageBoxes() const;
    std::vector<std::string> MessageBoxTexts() const;
    std::vector<BannerChange> Banners() const;
    bool BannerShown(Banner which) const;
    int OpenMessageBoxes() const;

    // Each waits until the count is reached; false on time-out.
    bool WaitForResults(size_t count, int timeoutMs) const;
    bool WaitForRows(size_t count, int timeoutMs) const;
    bool WaitForMessageBoxes(size_t count, int timeoutMs) const;
    bool WaitForOpenMessageBox(int timeoutMs) const;

    void Clear();

private:
    template <class Pred> bool WaitFor(Pred pred, int timeoutMs) const;

    mutable std::mutex m_lock;
    mutable std::condition_variable m_changed;
    BoxMode m_boxMode = BoxMode::AnswerAtOnce;
    std::vector<JobResult> m_results;
    std::vector<DeviceRow> m_rows;
    std::vector<MessageBoxRecord> m_boxes;
    std::vector<BannerChange> m_banners;
    bool m_checkingShown = false;
    bool m_applyingShown = false;
    int m_openBoxes = 0;
    Event m_release{Event::Mode::Auto};
};

} // namespace norva::test
