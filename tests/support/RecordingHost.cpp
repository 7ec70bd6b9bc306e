#include "support/RecordingHost.h"

#include <chrono>

namespace norva::test {

template <class Pred> bool RecordingHost::WaitFor(Pred pred, int timeoutMs) const {
    std::unique_lock<std::mutex> lock(m_lock);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), pred);
}

void RecordingHost::PostJobResult(int code, int jobId) {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_results.push_back({code, jobId});
    }
    m_changed.notify_all();
}

void RecordingHost::AddDeviceRow(const std::string& address, const std::string& name,
                                 const std::string& classOfDevice) {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_rows.push_back({address, name, classOfDevice});
    }
    m_changed.notify_all();
}

void RecordingHost::ShowMessageBox(const std::string& text, const Event* stop) {
    size_t index = 0;
    BoxMode mode;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        index = m_boxes.size();
        m_boxes.push_back({text, false, false});
        mode = m_boxMode;
        ++m_openBoxes;
    }
    m_changed.notify_all();

    bool byStop = false;
    if (mode == BoxMode::Block) {
        std::vector<Event*> waitOn;
        if (stop != nullptr && stop->Valid()) {
            waitOn.push_back(const_cast<Event*>(stop)); // a manual event: never consumed
        }
        waitOn.push_back(&m_release);
        const int r = WaitAny(waitOn, -1);
        byStop = stop != nullptr && stop->Valid() && r == 0;
    } else {
        byStop = stop != nullptr && stop->Valid() && stop->IsSet();
    }
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (index < m_boxes.size()) { // Clear() may have run meanwhile
            m_boxes[index].endedByStop = byStop;
            m_boxes[index].closed = true;
        }
        --m_openBoxes;
    }
    m_changed.notify_all();
}

void RecordingHost::ShowBanner(Banner which) {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_banners.push_back({which, true});
        (which == Banner::Checking ? m_checkingShown : m_applyingShown) = true;
    }
    m_changed.notify_all();
}

void RecordingHost::HideBanner(Banner which) {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_banners.push_back({which, false});
        (which == Banner::Checking ? m_checkingShown : m_applyingShown) = false;
    }
    m_changed.notify_all();
}

void RecordingHost::SetBoxMode(BoxMode mode) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_boxMode = mode;
}

void RecordingHost::ReleaseMessageBox() {
    m_release.Set();
}

std::vector<JobResult> RecordingHost::Results() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_results;
}

std::vector<DeviceRow> RecordingHost::Rows() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_rows;
}

std::vector<MessageBoxRecord> RecordingHost::MessageBoxes() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_boxes;
}

std::vector<std::string> RecordingHost::MessageBoxTexts() const {
    std::lock_guard<std::mutex> lock(m_lock);
    std::vector<std::string> texts;
    for (const MessageBoxRecord& box : m_boxes) {
        texts.push_back(box.text);
    }
    return texts;
}

std::vector<BannerChange> RecordingHost::Banners() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_banners;
}

bool RecordingHost::BannerShown(Banner which) const {
    std::lock_guard<std::mutex> lock(m_lock);
    return which == Banner::Checking ? m_checkingShown : m_applyingShown;
}

int RecordingHost::OpenMessageBoxes() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_openBoxes;
}

bool RecordingHost::WaitForResults(size_t count, int timeoutMs) const {
    return WaitFor([&] { return m_results.size() >= count; }, timeoutMs);
}

bool RecordingHost::WaitForRows(size_t count, int timeoutMs) const {
    return WaitFor([&] { return m_rows.size() >= count; }, timeoutMs);
}

bool RecordingHost::WaitForMessageBoxes(size_t count, int timeoutMs) const {
    return WaitFor([&] { return m_boxes.size() >= count; }, timeoutMs);
}

bool RecordingHost::WaitForOpenMessageBox(int timeoutMs) const {
    return WaitFor([&] { return m_openBoxes > 0; }, timeoutMs);
}

void RecordingHost::Clear() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_results.clear();
    m_rows.clear();
    m_boxes.clear();
    m_banners.clear();
}

} // namespace norva::test
