#pragma once
// Runs the search for a module's UART setting on a worker thread for a
// dialog: progress and the outcome come back to the UI thread by queued
// invocation, and Stop() ends and joins the search before it returns.

#include "module/SettingsDetect.h"

#include <QObject>
#include <functional>
#include <string>
#include <thread>

namespace norva {

class CSettingsSearch : public QObject {
    Q_OBJECT
public:
    explicit CSettingsSearch(QObject* parent = nullptr);
    ~CSettingsSearch() override;

    // UI thread. False when a search is already under way.
    bool Start(const std::string& path);
    // UI thread: the port is closed when it returns, and nothing of the
    // stopped search is reported any more.
    void Stop();
    bool Running() const { return m_thread.joinable() && !m_finished; }

signals:
    void Progress(int index, int count, QString setting);
    void Finished(norva::DetectResult result);

protected:
    bool event(QEvent* event) override;

private:
    // Any thread: runs `call` on the UI thread, after what was queued before.
    void Queue(std::function<void()> call);
    void Deliver(int generation, const DetectResult& result);

    Event m_stop{Event::Mode::Manual};
    std::thread m_thread;
    // UI thread only: a result or progress of an earlier search is dropped.
    int m_generation = 0;
    bool m_finished = true;
};

// "115200, Even, 2": the dialog's own box texts.
QString SettingText(const LineSettings& s);

} // namespace norva

Q_DECLARE_METATYPE(norva::DetectResult)
