#pragma once
// The setting dialog's search for a module's UART setting, for a front end:
// the search runs on a thread of its own, its progress and outcome are carried
// to the UI thread by the front end's own hand-off, and Stop() ends and joins
// it before it returns.

#include "module/SettingsDetect.h"
#include "platform/Event.h"

#include <functional>
#include <string>
#include <thread>

namespace norva {

// "115200, Even, 2": the dialog's own box texts.
std::string DetectSettingText(const LineSettings& s);
// What the dialog says when the search on `port` ("COM5") has ended.
std::string DetectOutcomeText(const DetectResult& result, const std::string& port);

class DetectJob {
public:
    // Runs `call` on the UI thread, after what was queued before it.
    using Post = std::function<void(std::function<void()> call)>;
    using Progress = std::function<void(int index, int count, const std::string& setting)>;
    using Done = std::function<void(const DetectResult& result)>;

    explicit DetectJob(Post post) : m_post(std::move(post)) {}
    ~DetectJob() { Stop(); }
    DetectJob(const DetectJob&) = delete;
    DetectJob& operator=(const DetectJob&) = delete;

    // UI thread. False when a search is already under way. `progress` and
    // `done` run on the UI thread, never for a search stopped meanwhile.
    bool Start(const std::string& path, Progress progress, Done done);
    // UI thread: the port is closed when it returns, and nothing of the
    // stopped search is reported any more.
    void Stop();
    bool Running() const { return m_thread.joinable() && !m_finished; }

private:
    Post m_post;
    Event m_stop{Event::Mode::Manual};
    std::thread m_thread;
    // UI thread only: a result or progress of an earlier search is dropped.
    int m_generation = 0;
    bool m_finished = true;
};

} // namespace norva
